# Warnings are errors only where we ask for it (the development and CI presets):
# a user's or packager's plain build must never fail on a newer compiler's warning.
option(CORVELLAN_WERROR "Treat warnings in our own code as errors" OFF)

# corvellan_warnings(target): strict warnings for our own code only.
function(corvellan_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(CORVELLAN_WERROR)
    target_compile_options(${target} PRIVATE -Werror -Wno-error=deprecated-declarations)
  endif()
endfunction()

# corvellan_test(name SOURCES... LABELS ... LIBS ...): a GoogleTest executable
# registered with CTest, every case labelled.
function(corvellan_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LABELS;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  corvellan_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} PROPERTIES LABELS "${T_LABELS}" DISCOVERY_TIMEOUT 60
                       WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()
