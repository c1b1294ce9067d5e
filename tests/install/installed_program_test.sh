#!/usr/bin/env bash
# Installs the build into a fresh prefix, checks the desktop files with the desktop's own
# validators, and starts the installed program as its menu entry does (run under Xvfb).
# Usage: installed_program_test.sh BUILD_DIR APP_ID
set -euo pipefail
build=$1 app_id=$2
work=$(mktemp -d)
program_pid=
cleanup() {
  if [ -n "$program_pid" ]; then
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
entry=$prefix/share/applications/$app_id.desktop
desktop-file-validate "$entry"
appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml"

# The entry, the icon and the metadata name one another by the one id.
key() { sed -n "s/^$1=//p" "$entry"; }
[ "$(key Icon)" = "$app_id" ] || fail "Icon= is $(key Icon)"
[ "$(key StartupWMClass)" = "$app_id" ] || fail "StartupWMClass= is $(key StartupWMClass)"
launcher=$(key Exec)
[ -x "$prefix/bin/$launcher" ] || fail "Exec= names $launcher, not installed in bin/"
for size in 16 22 24 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x$size/apps/$app_id.png
  identify -format '%wx%h' "$icon" | grep -qx "${size}x$size" || fail "no ${size}px icon"
done

# Started as the menu does, for a user whose data folder does not exist yet.
home=$work/home
mkdir -p "$home"
env -u XDG_DATA_HOME HOME="$home" PATH="$prefix/bin:$PATH" "$launcher" \
  >"$work/program.log" 2>&1 &
program_pid=$!
for _ in $(seq 600); do
  xprop -name "Larkwend V3.1" WM_CLASS >"$work/class" 2>/dev/null && break
  kill -0 "$program_pid" 2>/dev/null || { cat "$work/program.log" >&2; fail "the program ended"; }
  sleep 0.1
done
grep -qx "WM_CLASS(STRING) = \"$app_id\", \"$app_id\"" "$work/class" ||
  fail "no main window with the class $app_id: $(cat "$work/class")"
folder=$home/.local/share/larkwend
[ "$(readlink "/proc/$program_pid/cwd")" = "$folder" ] || fail "runs in $(readlink "/proc/$program_pid/cwd")"
[ "$(stat -c %a "$folder")" = 700 ] || fail "$folder is open to others"
echo "installed program reached its main window in $folder"
