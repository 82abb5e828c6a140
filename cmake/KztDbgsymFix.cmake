# Run by cpack once the packages are made. cpack writes the -dbgsym package's md5sums with
# the paths of its own staging folder, and leaves the package without the copyright and
# changelog every Debian package carries; it is rebuilt here with both right, the documents
# by a link to the main package's, as Debian's own debug packages have them.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "/([a-z0-9.+-]+)-dbgsym_[^/]*\\.ddeb$")
    continue()
  endif()
  set(name ${CMAKE_MATCH_1})
  set(root "${package}.tree")
  file(REMOVE_RECURSE "${root}")
  execute_process(COMMAND dpkg-deb --raw-extract "${package}" "${root}" COMMAND_ERROR_IS_FATAL ANY)
  file(MAKE_DIRECTORY "${root}/usr/share/doc")
  file(CREATE_LINK ${name} "${root}/usr/share/doc/${name}-dbgsym" SYMBOLIC)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${root}" "${root}/usr/*")
  list(SORT files)
  set(sums "")
  foreach(path IN LISTS files)
    if(NOT IS_SYMLINK "${root}/${path}")
      file(MD5 "${root}/${path}" sum)
      string(APPEND sums "${sum}  ${path}\n")
    endif()
  endforeach()
  file(WRITE "${root}/DEBIAN/md5sums" "${sums}")
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build "${root}" "${package}"
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${root}")
endforeach()
