# Run by CPack after it has built the packages (CPACK_POST_BUILD_SCRIPTS).
#
# CPack writes a postinst and a postrm calling ldconfig into every package that
# holds a shared library in /usr/lib, unless the project ships its own. Our
# package refreshes the loader cache through the ldconfig trigger instead, so
# those scripts would only do the work twice, and a package with a postrm is
# left in the "rc" state by apt-get remove. Each .deb is unpacked, loses the
# two scripts and is packed again (owner root, as CPack made it).
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${package}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb -R "${package}" "${tree}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -R ${package} failed")
  endif()
  set(changed FALSE)
  foreach(script postinst postrm)
    if(EXISTS "${tree}/DEBIAN/${script}")
      file(REMOVE "${tree}/DEBIAN/${script}")
      set(changed TRUE)
    endif()
  endforeach()
  if(changed)
    execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip -b "${tree}" "${package}"
                    OUTPUT_QUIET RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "dpkg-deb -b ${package} failed")
    endif()
  endif()
  file(REMOVE_RECURSE "${tree}")
endforeach()
