#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian packages from the build, checks them with lintian (no error), installs them
# into a scratch root and checks what lies where: the program's package holds the launcher as its
# one command, the program outside PATH and no practice site; each has its manual page, copyright
# file and changelog. The program's dependencies name the GTK and WebKitGTK libraries (read from
# the binaries) and the GStreamer plug-ins that play courseware videos, the practice site's
# jQuery; each symbols package holds the debugging information of its package's binaries by
# build id.
# Usage: package_test.sh BUILD_DIR APP_ID VERSION
set -euo pipefail
build=$1 app_id=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
arch=$(dpkg --print-architecture)
packages=(larkwend larkwend-practice)
for package in "${packages[@]}"; do
  for file in "${package}_${version}_$arch.deb" "${package}-dbgsym_${version}_$arch.ddeb"; do
    [ -f "$work/$file" ] || fail "no $file: $(ls "$work")"
  done
done

# lintian: no error; each warning is mended or overridden with its reason.
command -v lintian >/dev/null || fail "lintian is not installed"
lintian --fail-on error --info "$work"/*.deb "$work"/*.ddeb >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log" >&2; fail "lintian finds errors"; }
echo "lintian: $(grep -c '^E:' "$work/lintian.log" || true) errors," \
  "$(grep -c '^W:' "$work/lintian.log" || true) warnings"

# Installed into a scratch root, each package into its own.
for package in "${packages[@]}"; do
  dpkg-deb -x "$work/${package}_${version}_$arch.deb" "$work/$package"
  (cd "$work/$package" && find . ! -type d | sort) >"$work/$package.files"
  for file in "./usr/share/man/man1/$package.1.gz" "./usr/share/doc/$package/copyright" \
    "./usr/share/doc/$package/changelog.gz"; do
    grep -qxF "$file" "$work/$package.files" || fail "$file is not in $package"
  done
done
program=$work/larkwend practice=$work/larkwend-practice
[ "$(grep '^./usr/bin/' "$work/larkwend.files")" = ./usr/bin/larkwend ] ||
  fail "/usr/bin in larkwend: $(grep '^./usr/bin/' "$work/larkwend.files")"
[ "$(grep '^./usr/bin/' "$work/larkwend-practice.files")" = ./usr/bin/larkwend-practice ] ||
  fail "/usr/bin in larkwend-practice: $(grep '^./usr/bin/' "$work/larkwend-practice.files")"
! grep -Ei 'practice|jquery' "$work/larkwend.files" || fail "the practice site in larkwend"
for file in ./usr/libexec/larkwend/larkwend "./usr/share/applications/$app_id.desktop" \
  "./usr/share/metainfo/$app_id.metainfo.xml" "./usr/share/icons/hicolor/48x48/apps/$app_id.png" \
  "./usr/share/icons/hicolor/256x256/apps/$app_id.png"; do
  grep -qxF "$file" "$work/larkwend.files" || fail "$file is not in larkwend"
done
# The menu entry names the launcher, and the launcher the program, where the package puts them.
grep -qx "Exec=/usr/bin/larkwend" "$program/usr/share/applications/$app_id.desktop" ||
  fail "the entry's $(grep '^Exec=' "$program/usr/share/applications/$app_id.desktop")"
grep -qF "exec '/usr/libexec/larkwend/larkwend' \"\$@\"" "$program/usr/bin/larkwend" ||
  fail "the launcher does not start /usr/libexec/larkwend/larkwend"

depends() { dpkg-deb -f "$work/${1}_${version}_$arch.deb" Depends; }
echo "larkwend Depends: $(depends larkwend)"
for library in 'libgtk-3-0(t64)?' 'libwebkit2gtk-4\.1-0'; do
  grep -qE "(^|, )$library( |,|$)" <<<"$(depends larkwend)" || fail "Depends does not name $library"
done
# Courseware videos: what decodes H.264 with AAC (-libav), VP8/VP9 and the demuxers (-good), Opus
# and Vorbis (-base) is depended on, never only recommended; -bad is recommended.
for plugins in gstreamer1.0-libav gstreamer1.0-plugins-good gstreamer1.0-plugins-base; do
  grep -qE "(^|, )$plugins( |,|$)" <<<"$(depends larkwend)" || fail "Depends does not name $plugins"
done
recommends=$(dpkg-deb -f "$work/larkwend_${version}_$arch.deb" Recommends)
grep -qE "(^|, )gstreamer1\.0-plugins-bad( |,|$)" <<<"$recommends" ||
  fail "Recommends does not name gstreamer1.0-plugins-bad: $recommends"
grep -qE "fonts-wqy-microhei" <<<"$recommends" || fail "Recommends lost the font: $recommends"
! grep -q jquery <<<"$(depends larkwend)" || fail "larkwend depends on jQuery"
grep -qE "(^|, )libjs-jquery( |,|$)" <<<"$(depends larkwend-practice)" ||
  fail "larkwend-practice does not depend on libjs-jquery"

# The symbols packages, each for its very package's binaries.
for package in "${packages[@]}"; do
  symbols=$work/${package}-dbgsym_${version}_$arch.ddeb
  [ "$(dpkg-deb -f "$symbols" Package)" = "$package-dbgsym" ] || fail "symbols package misnamed"
  [ "$(dpkg-deb -f "$symbols" Depends)" = "$package (= $version)" ] ||
    fail "$package-dbgsym depends on $(dpkg-deb -f "$symbols" Depends)"
  dpkg-deb -x "$symbols" "$work/symbols"
done
for binary in "$program/usr/libexec/larkwend/larkwend" "$practice/usr/bin/larkwend-practice"; do
  id=$(readelf -n "$binary" | sed -n 's/^ *Build ID: //p')
  [ -n "$id" ] || fail "$binary has no build id"
  if grep -q '\.debug_info' <<<"$(readelf -S "$binary")"; then
    fail "$binary is not stripped in the package"
  fi
  debug=$work/symbols/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug
  [ -f "$debug" ] || fail "no debugging information for $binary (build id $id)"
  # readelf complains of the missing program interpreter in a debug file: only its output counts.
  grep -q "Build ID: $id" <<<"$(readelf -n "$debug" 2>/dev/null || true)" ||
    fail "$debug is another build's"
  # The debugging sections themselves, not their empty places (NOBITS) in a stripped copy.
  grep -A1 '\.debug_info' <<<"$(readelf -S "$debug" 2>/dev/null || true)" | grep -q PROGBITS ||
    fail "$debug holds no debugging information"
done
echo "packages: $(cd "$work" && echo ./*.deb ./*.ddeb)"
