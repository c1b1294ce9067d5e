#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# tools/ensure-deps.sh against a stand-in dpkg, apt-get and clang: which packages each kind of
# run asks for, the sanitizer runtime named after the installed clang, and no apt at all when
# everything is there.
set -euo pipefail
ensure_deps=$(cd "$(dirname "$0")/../.." && pwd)/tools/ensure-deps.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir "$work/bin"
cat >"$work/bin/dpkg-query" <<'STANDIN'
#!/bin/bash
grep -qxF "${!#}" "$FAKE_INSTALLED" && printf 'install ok installed' || exit 1
STANDIN
cat >"$work/bin/apt-get" <<'STANDIN'
#!/bin/sh
echo "$*" >>"$FAKE_APT_LOG"
[ "$1" = install ] || exit 0
for word in "$@"; do case "$word" in -*|install) ;; *) echo "$word" >>"$FAKE_INSTALLED" ;; esac; done
STANDIN
printf '#!/bin/sh\necho "$FAKE_CLANG_VERSION"\n' >"$work/bin/clang"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*

# Runs ensure-deps.sh KIND on a machine that has nothing yet; the apt-get calls go to $work/apt.
run_on_bare_machine() {
  : >"$work/installed"
  : >"$work/apt"
  PATH="$work/bin:$PATH" FAKE_INSTALLED="$work/installed" FAKE_APT_LOG="$work/apt" \
    FAKE_CLANG_VERSION="${2:-19}" "$ensure_deps" "$1" >/dev/null
}
asked_for() { grep -q "^install .* $1\( \|$\)" "$work/apt"; }

run_on_bare_machine run
asked_for libwebkit2gtk-4.1-dev || fail "run: no WebKit"
asked_for libjs-jquery || fail "run: no jQuery for the practice site"
# Courseware videos: H.264 + AAC, VP9, Opus, and their demuxers.
for plugins in gstreamer1.0-libav gstreamer1.0-plugins-good gstreamer1.0-plugins-base; do
  asked_for "$plugins" || fail "run: no $plugins for courseware videos"
done
for tool in libgtest-dev clang clang-format xvfb imagemagick lintian; do
  ! asked_for "$tool" || fail "run asks for $tool"
done
[ "$(grep -c '^update' "$work/apt")" = 1 ] || fail "run: $(cat "$work/apt")"

run_on_bare_machine headless
asked_for xvfb && asked_for imagemagick || fail "headless: no Xvfb or ImageMagick"
! asked_for clang || fail "headless asks for clang"

run_on_bare_machine test 19
for tool in libgtest-dev libbenchmark-dev clang clang-format lintian xvfb iproute2 libcpp-httplib-dev \
  libssl-dev; do
  asked_for "$tool" || fail "test does not ask for $tool"
done
asked_for libclang-rt-19-dev || fail "test: no runtime for clang 19: $(cat "$work/apt")"
[ "$(grep -c '^update' "$work/apt")" = 1 ] || fail "test updates apt's lists more than once"

run_on_bare_machine test 14.0.6
asked_for libclang-rt-14-dev || fail "test: no runtime for clang 14.0.6: $(cat "$work/apt")"

# Everything there now: not a single apt call.
: >"$work/apt"
PATH="$work/bin:$PATH" FAKE_INSTALLED="$work/installed" FAKE_APT_LOG="$work/apt" \
  FAKE_CLANG_VERSION=14.0.6 "$ensure_deps" test >/dev/null
[ ! -s "$work/apt" ] || fail "apt called with everything installed: $(cat "$work/apt")"

status=0
"$ensure_deps" everything 2>/dev/null || status=$?
[ "$status" = 2 ] || fail "an unknown kind ends with $status"
echo "PASS"
