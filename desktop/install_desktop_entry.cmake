# Run by `cmake --install` (desktop/CMakeLists.txt sets the LARKWEND_ variables before it):
# writes the menu entry with the launcher's full path under the prefix of this installation, and
# installs it. DESTDIR (a package being staged) is not part of that path; file(INSTALL) adds it.
foreach(dir BINDIR APPLICATIONS_DIR)
  if(NOT IS_ABSOLUTE "${LARKWEND_${dir}}")
    set(LARKWEND_${dir} "${CMAKE_INSTALL_PREFIX}/${LARKWEND_${dir}}")
  endif()
endforeach()

# A path with characters outside the plain set is quoted as the desktop entry format asks: ", `,
# $ and \ escaped with a backslash inside double quotes, and every backslash doubled again, as
# the value is a string; a % is doubled, as it would start a field code.
set(LARKWEND_START "${LARKWEND_BINDIR}/larkwend-start")
if(NOT LARKWEND_START MATCHES "^[A-Za-z0-9/._+-]+$")
  string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" quoted "${LARKWEND_START}")
  string(REPLACE "\\" "\\\\" quoted "${quoted}")
  string(REPLACE "%" "%%" quoted "${quoted}")
  set(LARKWEND_START "\"${quoted}\"")
endif()

configure_file("${LARKWEND_ENTRY_TEMPLATE}" "${LARKWEND_ENTRY}" @ONLY)
file(INSTALL "${LARKWEND_ENTRY}" DESTINATION "${LARKWEND_APPLICATIONS_DIR}")
