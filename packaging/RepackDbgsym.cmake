# Run by CPack after it has built the packages. CPack writes the debug-symbols
# package's md5sums with paths of the build tree, and gives it no documentation
# folder; repack it as Debian's own tools would, with its documentation folder
# a link to the main package's (which it depends on).
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "-dbgsym_[^/]*\\.ddeb$")
    continue()
  endif()
  set(tree "${package}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb -R "${package}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND sh -c "find usr -type f -print0 | sort -z | xargs -0 md5sum > DEBIAN/md5sums"
                  WORKING_DIRECTORY "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE ".*/([^/_]+)-dbgsym_[^/]*$" "\\1" main "${package}")
  file(MAKE_DIRECTORY "${tree}/usr/share/doc")
  file(CREATE_LINK "${main}" "${tree}/usr/share/doc/${main}-dbgsym" SYMBOLIC)
  execute_process(COMMAND dpkg-deb --root-owner-group -b "${tree}" "${package}" OUTPUT_QUIET
                  COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
