#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Pictures of the main window on the practice site's login page as three desktops show it: at
# the usual scale, at a scale of 2 and with a dark theme. Each runs under an Xvfb of its own,
# large enough for the window at scale 2; the program runs in a fresh directory, so no settings
# file is left behind.
#
# Usage: tools/screenshots.sh OUTPUT-DIRECTORY   (after building larkwend and larkwend-practice
# in build/; the practice site takes 127.0.0.1:18080 and 19527 while it runs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)
bin="$root/build/bin"

# Under Xvfb: show the window, give the page time to draw, take the window, end.
if [ "${2:-}" = "--inside-xvfb" ]; then
  "$bin/larkwend" &
  program=$!
  for _ in $(seq 300); do
    xwininfo -root -tree 2>/dev/null | grep -q '"Larkwend V3.1"' && break
    kill -0 "$program" 2>/dev/null || { echo "screenshots: the program ended early" >&2; exit 1; }
    sleep 0.1
  done
  sleep 5
  import -window "$(xwininfo -name 'Larkwend V3.1' | awk '/Window id:/ { print $4 }')" "png:$3"
  kill "$program"
  wait "$program" 2>/dev/null || true
  exit 0
fi

work=$(mktemp -d)
"$bin/larkwend-practice" >"$work/practice-site.log" 2>&1 &
site=$!
trap 'kill "$site" 2>/dev/null; wait "$site" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do
  (exec 3<>/dev/tcp/127.0.0.1/18080) 2>/dev/null && break
  sleep 0.1
done

shoot() {  # NAME VARIABLE=VALUE...
  local name=$1
  shift
  (cd "$work" && env XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config" "$@" \
    xvfb-run -a -s "-screen 0 2600x1400x24" "$root/tools/screenshots.sh" "$out" --inside-xvfb \
    "$out/$name.png")
  echo "$out/$name.png"
}
shoot main-window-normal
shoot main-window-scale-2 GDK_SCALE=2
shoot main-window-dark GTK_THEME=Adwaita:dark
