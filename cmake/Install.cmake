# Where an installed Corvellan puts its files (GNU install directories):
#
#   bin/Corvellan, bin/corvdb           the programs
#   lib/<multiarch>/libCorvdb.so.N      the engine, with its SONAME link
#   lib/<multiarch>/libCorvdb.so,      the development files (package corvellan-dev)
#   include/corvdb.h, lib/.../pkgconfig/corvdb.pc
#   libexec/corvellan/corvdb-labels     the label printer that `corvdb labels` runs
#   share/corvellan/                    program files: Corvellan.Cfg, docs/, fonts/,
#                                       data/ (the sample inputs of corvdb sample)
#   share/applications, share/icons/hicolor, share/metainfo, share/man/man1
#
# The programs find the library and the program files relative to their own
# directory, so an installed tree works wherever it is unpacked (a package
# extracted into a temporary root, a prefix other than /usr).
include(GNUInstallDirs)

# Two packages come from one install: "corvellan" (programs, engine library,
# program files) and "dev" (the development link libCorvdb.so, corvdb.h and
# corvdb.pc). Everything not marked otherwise belongs to the first.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME corvellan)

set(CORVELLAN_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/corvellan)
file(RELATIVE_PATH CORVELLAN_BIN_TO_DATA ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/corvellan)
# Helper programs the programs run (corvdb labels), and the way from there
# to the program files.
set(CORVELLAN_INSTALL_LIBEXECDIR ${CMAKE_INSTALL_LIBEXECDIR}/corvellan)
file(RELATIVE_PATH CORVELLAN_BIN_TO_LIBEXEC ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBEXECDIR}/corvellan)
file(RELATIVE_PATH CORVELLAN_LIBEXEC_TO_DATA ${CMAKE_INSTALL_FULL_LIBEXECDIR}/corvellan
     ${CMAKE_INSTALL_FULL_DATADIR}/corvellan)
file(RELATIVE_PATH CORVELLAN_BIN_TO_LIB ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
# Installed programs look for libCorvdb.so.N in the library directory beside
# their own bin/ (lintian accepts $ORIGIN-relative run paths).
set(CMAKE_INSTALL_RPATH "$ORIGIN/${CORVELLAN_BIN_TO_LIB}")

# corvellan_install_programs(target...): installs programs into bin/.
function(corvellan_install_programs)
  install(TARGETS ${ARGN} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

# corvellan_install_data(DESTINATION sub FILES file...): files for share/corvellan/<sub>.
function(corvellan_install_data)
  cmake_parse_arguments(D "" "DESTINATION" "FILES" ${ARGN})
  install(FILES ${D_FILES} DESTINATION ${CORVELLAN_INSTALL_DATADIR}/${D_DESTINATION})
endfunction()
