#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Larkwend needs, when missing; fast when everything is there.
#
#   tools/ensure-deps.sh run        building and running the program and the practice site (./run)
#   tools/ensure-deps.sh headless   that, and Xvfb with the tools ./run takes its screenshot with
#   tools/ensure-deps.sh test       that, and every test tool (./test)
#
# The names are those of Debian 12 and Debian 13 alike. Where a release names a package after a
# version, the release's default is followed: `clang` is the release's clang, and its sanitizer
# and fuzzing runtime, libclang-rt-<N>-dev, is looked up from that installed compiler's version.
set -euo pipefail

what=${1:-run}

build_packages=(
  g++ cmake make pkg-config
  libgtk-3-dev libwebkit2gtk-4.1-dev libglib2.0-dev-bin libcpp-httplib-dev
  libssl-dev  # the practice site makes its TLS certificates with libcrypto
)
# The practice site serves Debian's jQuery; the program's texts are Chinese. Courseware videos
# play through GStreamer: H.264 with AAC needs -libav, which WebKit only recommends (the Debian
# package `larkwend` depends on what is named here; desktop/package.cmake says why).
run_packages=(libjs-jquery fonts-wqy-microhei
  gstreamer1.0-libav gstreamer1.0-plugins-good gstreamer1.0-plugins-base)
# Without a display: the window is shown under Xvfb, dumped with xwd and saved as PNG.
headless_packages=(xvfb xauth x11-apps imagemagick)
# dbus-daemon brings the private session bus (dbus-run-session) some end-to-end tests run on;
# desktop-file-utils, AppStream, dpkg-dev, file, gio (libglib2.0-bin), xprop (x11-utils) and
# lintian check the installed program and its Debian package. iproute2 brings up the loopback
# of the network namespace each end-to-end test runs in, where it may (tests/tools/own-loopback).
test_packages=(
  clang-format libgtest-dev libgmock-dev libbenchmark-dev
  x11-utils dbus-daemon libglib2.0-bin iproute2
  desktop-file-utils appstream dpkg-dev file lintian
  clang  # the sanitizer build and the fuzzing harnesses; its runtime follows below
)

case "$what" in
  run) wanted=("${build_packages[@]}" "${run_packages[@]}") ;;
  headless) wanted=("${build_packages[@]}" "${run_packages[@]}" "${headless_packages[@]}") ;;
  test)
    wanted=("${build_packages[@]}" "${run_packages[@]}" "${headless_packages[@]}"
      "${test_packages[@]}")
    ;;
  *)
    echo "usage: $0 [run|headless|test]" >&2
    exit 2
    ;;
esac

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
updated=

install_missing() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  ((${#missing[@]})) || return 0
  echo "Installing: ${missing[*]}"
  if [ -z "$updated" ]; then
    "${sudo_cmd[@]}" apt-get update -qq
    updated=yes
  fi
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
}

install_missing "${wanted[@]}"

if [ "$what" = test ]; then
  # clang 14 prints 14.0.6, clang 19 prints 19; the runtime's package carries the major only.
  clang_major=$(clang -dumpversion)
  clang_major=${clang_major%%.*}
  install_missing "libclang-rt-$clang_major-dev"
fi
