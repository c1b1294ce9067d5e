# SPDX-License-Identifier: GPL-3.0-or-later
# Run by `cmake --install` (desktop/CMakeLists.txt sets the LARKWEND_ variables before it):
# writes the launcher with the program's full path, and the menu entry with the launcher's, under
# the prefix of this installation, and installs both. DESTDIR (a package being staged) is not
# part of those paths; file(INSTALL) adds it.
foreach(dir BINDIR PROGRAM_DIR APPLICATIONS_DIR)
  if(NOT IS_ABSOLUTE "${LARKWEND_${dir}}")
    set(LARKWEND_${dir} "${CMAKE_INSTALL_PREFIX}/${LARKWEND_${dir}}")
  endif()
endforeach()

# The launcher: a shell script naming the program inside single quotes, a quote in the path
# closing them, quoted by a backslash, and opening them again.
string(REPLACE "'" "'\\''" LARKWEND_PROGRAM "${LARKWEND_PROGRAM_DIR}/larkwend")
configure_file("${LARKWEND_LAUNCHER_TEMPLATE}" "${LARKWEND_LAUNCHER}" @ONLY)
file(INSTALL "${LARKWEND_LAUNCHER}" DESTINATION "${LARKWEND_BINDIR}"
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
    WORLD_EXECUTE)

# A path with characters outside the plain set is quoted as the desktop entry format asks: ", `,
# $ and \ escaped with a backslash inside double quotes, and every backslash doubled again, as
# the value is a string; a % is doubled, as it would start a field code.
set(LARKWEND_START "${LARKWEND_BINDIR}/larkwend")
if(NOT LARKWEND_START MATCHES "^[A-Za-z0-9/._+-]+$")
  string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" quoted "${LARKWEND_START}")
  string(REPLACE "\\" "\\\\" quoted "${quoted}")
  string(REPLACE "%" "%%" quoted "${quoted}")
  set(LARKWEND_START "\"${quoted}\"")
endif()

configure_file("${LARKWEND_ENTRY_TEMPLATE}" "${LARKWEND_ENTRY}" @ONLY)
file(INSTALL "${LARKWEND_ENTRY}" DESTINATION "${LARKWEND_APPLICATIONS_DIR}")
