# SPDX-License-Identifier: GPL-3.0-or-later
# `cmake --build build --target package`: the Debian packages of what `cmake --install` puts in
# place (desktop/CMakeLists.txt), for /usr, one for each install component, named
# <package>_<version>_<architecture>.deb:
#   larkwend           the program, its launcher /usr/bin/larkwend, the menu entry, the icons, the
#                      software centre's description and the manual page; it depends on the
#                      GStreamer plug-ins that decode courseware videos (below);
#   larkwend-practice  the practice site, which serves Debian's jQuery: the student's package
#                      carries neither.
# Their dependencies on libraries are read from the installed binaries by dpkg-shlibdeps. Each
# carries its copyright file, the Debian changelog and its manual pages; `lintian` finds neither
# error nor warning in them (tests/install/package_test.sh checks there is no error). A warning
# that is to be let pass goes, with its reason, into an override file installed as
# /usr/share/lintian/overrides/<package>.
#
# Beside each, <package>-dbgsym_<version>_<architecture>.ddeb (a Debian package, installed with
# dpkg or apt as the others are) holds its binaries' debugging information, split off as Debian's
# own packages have theirs: under /usr/lib/debug/.build-id/ by build id, where gdb looks for it,
# so a backtrace from a student's machine can be read. The packages carry the binaries stripped,
# each with a link to its file.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME larkwend)
set(CPACK_PACKAGE_VERSION "${LARKWEND_PACKAGE_VERSION}")
set(CPACK_PACKAGE_VENDOR "The Larkwend developers")
set(CPACK_PACKAGE_HOMEPAGE_URL "${LARKWEND_HOMEPAGE_URL}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# CPack strips what it has split; stripping before would leave nothing to split.
set(CPACK_STRIP_FILES OFF)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
if(NOT CMAKE_BUILD_TYPE MATCHES "^(RelWithDebInfo|Debug)$")
  message(WARNING "A ${CMAKE_BUILD_TYPE} build has no debugging information for the symbols "
    "package to hold; packages are made from RelWithDebInfo builds.")
endif()

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL larkwend practice)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE larkwend)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LARKWEND_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SECTION education)

set(CPACK_DEBIAN_LARKWEND_PACKAGE_NAME larkwend)
set(CPACK_DEBIAN_LARKWEND_DESCRIPTION "study assistant for an online continuing-education programme
Larkwend is one window: a strip of controls above an embedded web browser.
It remembers the student's portal account, logs in with one click, jumps
between the portal and the study platform, and works through a course's
chapters by itself.

The practice site, to rehearse on this machine, is in larkwend-practice.")
# Study platforms serve chapters as courseware videos, and a chapter counts only while its video
# plays: WebKitGTK plays them through GStreamer, and decodes only what its plug-ins decode. H.264
# with AAC, what most platforms serve, needs gstreamer1.0-libav (WebKit only recommends it, so an
# install without recommendations has none, and every such chapter fails with
# MEDIA_ERR_SRC_NOT_SUPPORTED); VP8 and VP9 come with -good, Opus and Vorbis with -base, and the
# MP4 and WebM demuxers with -good. Without them the program could study nothing on such a
# platform, so they are dependencies, not recommendations. Debian 12 and 13 name them alike.
set(CPACK_DEBIAN_LARKWEND_PACKAGE_DEPENDS
  "gstreamer1.0-libav, gstreamer1.0-plugins-good, gstreamer1.0-plugins-base")
# The program's texts are Chinese. -bad adds the parsers WebKit puts into a Media Source
# Extensions player's pipeline when it finds them, and WebVTT subtitles: the practice site's
# clips, fed or not, play without it, so it is only recommended.
set(CPACK_DEBIAN_LARKWEND_PACKAGE_RECOMMENDS
  "fonts-wqy-microhei | fonts-noto-cjk, gstreamer1.0-plugins-bad")
set(CPACK_DEBIAN_LARKWEND_PACKAGE_SUGGESTS larkwend-practice)

set(CPACK_DEBIAN_PRACTICE_PACKAGE_NAME larkwend-practice)
set(CPACK_DEBIAN_PRACTICE_DESCRIPTION "practice site for the Larkwend study assistant
larkwend-practice stands in, on this machine, for the continuing-education
portal, the study platform and the update service that Larkwend drives, so
that a student can rehearse. It listens on 127.0.0.1 only.")
# The practice site serves Debian's jQuery.
set(CPACK_DEBIAN_PRACTICE_PACKAGE_DEPENDS libjs-jquery)
# The symbols packages made again as Debian has them (see the script).
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/repack_dbgsym.cmake)
include(CPack)
