# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack once the packages are made (CPACK_POST_BUILD_SCRIPTS, package.cmake): each symbols
# package (*.ddeb) is made again as Debian's own are, for lintian: its md5sums naming its files
# by their paths in the package (CPack 3.25 writes the paths it staged them at), its files not
# executable (CPack keeps the binaries' modes), and its documentation folder
# /usr/share/doc/<package>-dbgsym a link to that of the package it depends on, whose copyright
# file and changelog hold for it too.
foreach(ddeb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT ddeb MATCHES "\\.ddeb$")
    continue()
  endif()
  set(tree "${ddeb}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb -R "${ddeb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND dpkg-deb -f "${ddeb}" Package Depends OUTPUT_VARIABLE fields
    COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCH "Package: ([^\n]+)" _ "${fields}")
  set(package "${CMAKE_MATCH_1}")
  string(REGEX MATCH "Depends: ([^ \n]+)" _ "${fields}")
  set(owner "${CMAKE_MATCH_1}")
  file(MAKE_DIRECTORY "${tree}/usr/share/doc")
  file(CREATE_LINK "${owner}" "${tree}/usr/share/doc/${package}" SYMBOLIC)

  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${tree}" "${tree}/usr/*")
  list(SORT files)
  set(md5sums "")
  foreach(file IN LISTS files)
    if(NOT IS_SYMLINK "${tree}/${file}")
      file(CHMOD "${tree}/${file}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
      file(MD5 "${tree}/${file}" sum)
      string(APPEND md5sums "${sum}  ${file}\n")
    endif()
  endforeach()
  file(WRITE "${tree}/DEBIAN/md5sums" "${md5sums}")
  file(CHMOD "${tree}/DEBIAN/md5sums" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build "${tree}" "${ddeb}"
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
