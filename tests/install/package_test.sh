#!/usr/bin/env bash
# Builds the Debian package from the build and checks its name, its files and that its
# dependencies, read from the binaries, name the GTK and WebKitGTK libraries.
# Usage: package_test.sh BUILD_DIR APP_ID
set -euo pipefail
build=$1 app_id=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
deb=$work/larkwend_3.1.0_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$work")"

dpkg-deb -c "$deb" | awk '{ print $NF }' >"$work/files"
for file in ./usr/bin/larkwend ./usr/bin/larkwend-practice ./usr/bin/larkwend-start \
  "./usr/share/applications/$app_id.desktop" "./usr/share/metainfo/$app_id.metainfo.xml" \
  "./usr/share/icons/hicolor/48x48/apps/$app_id.png" \
  "./usr/share/icons/hicolor/256x256/apps/$app_id.png"; do
  grep -qxF "$file" "$work/files" || fail "$file is not in the package"
done

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libgtk-3-0 libwebkit2gtk-4.1-0 libjs-jquery; do
  grep -qE "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends does not name $library"
done
