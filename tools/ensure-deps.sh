#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the practice site need, when missing.
# Sourced by ./test and ./run; fast when everything is there. dbus-daemon brings the private
# session bus (dbus-run-session) a download test starts its browser on.
set -euo pipefail

LARKWEND_PACKAGES=(
  g++ cmake make pkg-config clang-format
  libgtk-3-dev libwebkit2gtk-4.1-dev libglib2.0-dev-bin
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev libjs-jquery
  xvfb xauth x11-apps x11-utils imagemagick fonts-wqy-microhei
  desktop-file-utils appstream dpkg-dev file libglib2.0-bin
  clang-14 libclang-rt-14-dev  # the sanitizer build and the fuzzing harnesses
  dbus-daemon
)

missing=()
for package in "${LARKWEND_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi
