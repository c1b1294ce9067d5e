#!/usr/bin/env bash
# Builds the Debian packages from the build and checks their names, their files, that the
# program's dependencies, read from the binaries, name the GTK and WebKitGTK libraries, and that
# the symbols package holds the debugging information of each binary by its build id.
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
for library in 'libgtk-3-0(t64)?' libwebkit2gtk-4.1-0 libjs-jquery; do  # t64: Debian 13's name
  grep -qE "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends does not name $library"
done

# The menu entry names the launcher where the package puts it.
mkdir "$work/program" "$work/symbols"
dpkg-deb -x "$deb" "$work/program"
grep -qx "Exec=/usr/bin/larkwend-start" "$work/program/usr/share/applications/$app_id.desktop" ||
  fail "the entry's $(grep '^Exec=' "$work/program/usr/share/applications/$app_id.desktop")"

# The symbols package, for this very package's binaries.
symbols=$work/larkwend-dbgsym_3.1.0_$(dpkg --print-architecture).ddeb
[ -f "$symbols" ] || fail "no $(basename "$symbols"): $(ls "$work")"
[ "$(dpkg-deb -f "$symbols" Package)" = larkwend-dbgsym ] || fail "symbols package misnamed"
[ "$(dpkg-deb -f "$symbols" Depends)" = "larkwend (= 3.1.0)" ] ||
  fail "symbols package depends on $(dpkg-deb -f "$symbols" Depends)"
dpkg-deb -x "$symbols" "$work/symbols"
for binary in larkwend larkwend-practice; do
  program=$work/program/usr/bin/$binary
  id=$(readelf -n "$program" | sed -n 's/^ *Build ID: //p')
  [ -n "$id" ] || fail "$binary has no build id"
  if grep -q '\.debug_info' <<<"$(readelf -S "$program")"; then
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
echo "symbols package: $(basename "$symbols")"
