# `cmake --build build --target package`: a Debian package of what `cmake --install` puts in
# place, for /usr, named larkwend_<version>_<architecture>.deb. Its dependencies are read from
# the installed binaries by dpkg-shlibdeps.
#
# Beside it, larkwend-dbgsym_<version>_<architecture>.ddeb (a Debian package, installed with dpkg
# or apt as the other is) holds the binaries' debugging information, split off as Debian's own
# packages have theirs: under /usr/lib/debug/.build-id/ by build id, where gdb looks for it, so
# a backtrace from a student's machine can be read. The program's package carries the binaries
# stripped, each with a link to its file.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME larkwend)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0")
set(CPACK_PACKAGE_VENDOR "The Larkwend developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "study assistant for an online continuing-education programme")
set(CPACK_PACKAGE_DESCRIPTION "Larkwend remembers the student's portal account, logs in with one \
click, jumps between the portal and the study platform, and works through a course's chapters by \
itself. The practice site larkwend-practice stands in for the sites on this machine.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# CPack strips what it has split; stripping before would leave nothing to split.
set(CPACK_STRIP_FILES OFF)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
if(NOT CMAKE_BUILD_TYPE MATCHES "^(RelWithDebInfo|Debug)$")
  message(WARNING "A ${CMAKE_BUILD_TYPE} build has no debugging information for the symbols "
    "package to hold; packages are made from RelWithDebInfo builds.")
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Larkwend developers <larkwend@localhost>")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The practice site serves Debian's jQuery; the program's texts are Chinese.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libjs-jquery")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")
include(CPack)
