#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a fresh prefix, checks the desktop files with the desktop's own
# validators, asks the launcher on PATH for --help and --version without a display, starts the
# installed program from its menu entry as the desktop does, on the
# installed practice site (which serves its courseware clips wherever it runs) playing the
# student until its study run sets its window timers, and ends it as logging out does (run under
# Xvfb).
# Usage: installed_program_test.sh BUILD_DIR APP_ID VERSION
set -euo pipefail
build=$1 app_id=$2 version=$3
work=$(mktemp -d)
program_pid= practice_pid=
stop() {
  if [ -n "$1" ]; then
    kill "$1" 2>/dev/null || true
    for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  fi
}
cleanup() {
  stop "$program_pid"
  stop "$practice_pid"
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A space in it, as in a home folder named after its owner: the entry must quote the path.
prefix="$work/a prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
entry=$prefix/share/applications/$app_id.desktop
desktop-file-validate "$entry"
appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml"

# The entry, the icon and the metadata name one another by the one id.
key() { sed -n "s/^$1=//p" "$entry"; }
[ "$(key Icon)" = "$app_id" ] || fail "Icon= is $(key Icon)"
[ "$(key StartupWMClass)" = "$app_id" ] || fail "StartupWMClass= is $(key StartupWMClass)"
# The launcher by its full path under the prefix, so the menu finds it whatever PATH says; on
# PATH it is the one command beside the practice site, the program lies outside it.
launcher=$prefix/bin/larkwend
[ "$(key Exec)" = "\"$launcher\"" ] || fail "Exec= is $(key Exec), not \"$launcher\""
commands=$(cd "$prefix/bin" && echo *)
[ "$commands" = "larkwend larkwend-practice" ] || fail "bin/ holds $commands"
[ -x "$prefix/libexec/larkwend/larkwend" ] || fail "the program is not in libexec/larkwend/"
for page in larkwend larkwend-practice; do
  zcat "$prefix/share/man/man1/$page.1.gz" | grep -q '^\.TH ' || fail "no manual page for $page"
done
for size in 16 22 24 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x$size/apps/$app_id.png
  identify -format '%wx%h' "$icon" | grep -qx "${size}x$size" || fail "no ${size}px icon"
done

# The practice site's pages play the student: they log in and go on to a course's chapter page,
# where the program's study run arms and sets its window timers.
"$prefix/bin/larkwend-practice" --auto-student >"$work/practice.log" 2>&1 &
practice_pid=$!
for _ in $(seq 150); do
  (: >/dev/tcp/127.0.0.1/18080) 2>/dev/null && break
  kill -0 "$practice_pid" 2>/dev/null || { cat "$work/practice.log" >&2; fail "no practice site"; }
  sleep 0.1
done

# The installed site serves the courseware clips built into it, from wherever it runs, in the
# byte ranges a media player asks for: bytes 4 to 11 of the MP4 clip are its "ftyp" box's type
# and brand.
clip=$(cd "$(dirname "$0")/../.." && pwd)/practice/clips/courseware.mp4
exec 3<>/dev/tcp/127.0.0.1/18080
printf 'GET /clips/courseware.mp4 HTTP/1.1\r\nHost: %s\r\nRange: %s\r\nConnection: close\r\n\r\n' \
  learn.qmstudy.localhost:18080 bytes=4-11 >&3
clip_answer=$(timeout 10 cat <&3 | tr -d '\r')
exec 3<&-
grep -qx "HTTP/1.1 206 Partial Content" <<<"$clip_answer" || fail "clip: $clip_answer"
grep -qx "Content-Range: bytes 4-11/$(stat -c %s "$clip")" <<<"$clip_answer" ||
  fail "the installed site's clip is not the source's: $clip_answer"
[ "${clip_answer: -8}" = "$(dd if="$clip" bs=1 skip=4 count=8 2>/dev/null)" ] ||
  fail "clip bytes: $clip_answer"

# The period of window timer 3000 (waiting for the chapter list) as the program's diagnostics in
# LOG tell it, once the program PID has set it.
timer_period() {
  local log=$1 pid=$2 period
  for _ in $(seq 600); do
    period=$(sed -n 's/.*window timer 3000: every \([0-9]*\) ms.*/\1/p' "$log" | head -n 1)
    [ -n "$period" ] && { echo "$period"; return 0; }
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  cat "$log" >&2
  return 1
}
# Diagnostics on, and the timer scale that only the build made for tests and benchmarks reads.
tuned_run=(LARKWEND_TIMER_SCALE=0.05 G_MESSAGES_DEBUG=Larkwend)

# The command line answers without a display, and without opening a window.
home=$work/home
mkdir -p "$home"
answer() { env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_DATA_HOME HOME="$home" timeout 10 "$@" 2>&1; }
help=$(answer "$launcher" --help) || fail "larkwend --help: $help"
grep -q -- '--version' <<<"$help" || fail "larkwend --help: $help"
[ "$(answer "$launcher" --version)" = "larkwend $version" ] || fail "larkwend --version"
[ "$(answer "$prefix/bin/larkwend-practice" --version)" = "larkwend-practice $version" ] ||
  fail "larkwend-practice --version"
echo "larkwend --help and --version answered without a display"

# Started from its entry as the desktop does, with the prefix's bin/ not on PATH, for a user whose
# data folder does not exist yet.
rm -rf "$home/.local"
env -u XDG_DATA_HOME -u XDG_STATE_HOME HOME="$home" "${tuned_run[@]}" gio launch "$entry" \
  >"$work/program.log" 2>&1
for _ in $(seq 600); do
  xprop -name "Larkwend V3.1" WM_CLASS _NET_WM_PID >"$work/window" 2>/dev/null && break
  sleep 0.1
done
grep -qx "WM_CLASS(STRING) = \"$app_id\", \"$app_id\"" "$work/window" ||
  { cat "$work/program.log" >&2; fail "no main window with the class $app_id: $(cat "$work/window")"; }
program_pid=$(sed -n 's/^_NET_WM_PID(CARDINAL) = //p' "$work/window")
folder=$home/.local/share/larkwend
[ "$(readlink "/proc/$program_pid/cwd")" = "$folder" ] || fail "runs in $(readlink "/proc/$program_pid/cwd")"
[ "$(stat -c %a "$folder")" = 700 ] || fail "$folder is open to others"
exe=$(readlink "/proc/$program_pid/exe")
[ "$exe" = "$prefix/libexec/larkwend/larkwend" ] || fail "the launcher started $exe"
echo "installed program reached its main window in $folder"

# The installed program reads no setting of its own: its timers keep their periods.
period=$(timer_period "$work/program.log" "$program_pid") || fail "the study run never armed"
[ "$period" = 3000 ] || fail "the installed program's timer 3000 runs every $period ms"
echo "installed program ignores LARKWEND_TIMER_SCALE: timer 3000 every $period ms"

# Logging out sends SIGTERM: the program ends as when its window is closed, its journal's last
# line written.
kill -TERM "$program_pid"
for _ in $(seq 300); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program_pid" 2>/dev/null && fail "still running 30 s after SIGTERM"
program_pid=
journal=$home/.local/state/larkwend/journal.log
[ "$(tail -n 1 "$journal" | cut -c 21-)" = "程序结束" ] ||
  { cat "$journal" >&2; fail "the journal does not end with the program's end"; }
echo "installed program ended on SIGTERM with its journal's last line"

# larkwend-tuned, built beside it and never installed, takes the scale.
mkdir "$work/tuned"
(cd "$work/tuned" && exec env HOME="$home" "${tuned_run[@]}" "$build/bin/larkwend-tuned") \
  >"$work/tuned.log" 2>&1 &
program_pid=$!
period=$(timer_period "$work/tuned.log" "$program_pid") || fail "the tuned study run never armed"
[ "$period" = 150 ] || fail "larkwend-tuned's timer 3000 runs every $period ms, not 150"
[ ! -e "$prefix/bin/larkwend-tuned" ] || fail "larkwend-tuned was installed"
echo "larkwend-tuned scales its timers: timer 3000 every $period ms"
