#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the two commands as on a fresh Debian machine: a root of the named release made with
# debootstrap, a clone of this repository's HEAD in it (/src), then ./run and ./test there, each
# timed. ./test runs in a network namespace of its own with only loopback, so the tests cannot
# reach anything else and their fixed ports meet nothing on this machine; the test tools are
# installed before it, while apt still has the network. As root:
#
#   tools/fresh-debian.sh trixie /work/roots/trixie            # Debian 13
#   tools/fresh-debian.sh bookworm /work/roots/bookworm        # Debian 12
#
# The root must not exist yet; --reuse takes an existing one as it is (the clone is made anew),
# for trying a change again without fetching the release again. --mirror URL picks the Debian
# mirror (http://deb.debian.org/debian).
set -euo pipefail

usage() {
  echo "usage: $0 [--reuse] [--mirror URL] RELEASE ROOT" >&2
  exit 2
}
reuse=
mirror=http://deb.debian.org/debian
while (($#)); do
  case "$1" in
    --reuse) reuse=yes ;;
    --mirror) mirror=${2:?}; shift ;;
    -*) usage ;;
    *) break ;;
  esac
  shift
done
(($# == 2)) || usage
release=$1
root=$(realpath -m "$2")
repo=$(cd "$(dirname "$0")/.." && pwd)

[ "$(id -u)" -eq 0 ] || { echo "$0: debootstrap and chroot need root" >&2; exit 1; }
case "$root/" in
  "$repo"/*) echo "$0: the root must be outside the repository" >&2; exit 1 ;;
esac

# The mounts live in a mount namespace of this script's own: whatever way the script ends, they
# go with it, and the machine's own /dev and /proc never see them.
if [ -z "${LARKWEND_FRESH_DEBIAN_NS:-}" ]; then
  LARKWEND_FRESH_DEBIAN_NS=yes exec unshare --mount --propagation private "$0" \
    ${reuse:+--reuse} --mirror "$mirror" "$release" "$root"
fi

step_started=
step() {
  echo
  echo "=== $1"
  step_started=$SECONDS
}
took() { echo "=== $1: $((SECONDS - step_started)) s"; }

if [ -e "$root" ] && [ -z "$reuse" ]; then
  echo "$0: $root exists; remove it, or pass --reuse" >&2
  exit 1
fi
if [ ! -e "$root" ]; then
  command -v debootstrap >/dev/null ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
  step "debootstrap $release into $root"
  debootstrap --variant=minbase "$release" "$root" "$mirror"
  took "debootstrap"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"

mounted=()
unmount_all() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" || true; done
}
trap unmount_all EXIT
mount_in_root() {  # TYPE SOURCE TARGET [OPTIONS]
  mount -t "$1" ${4:+-o "$4"} "$2" "$root$3"
  mounted+=("$root$3")
}
mount_in_root proc proc /proc
mount_in_root sysfs sysfs /sys
mount_in_root tmpfs udev /dev mode=0755,size=16m
for node in null zero full random urandom tty; do
  touch "$root/dev/$node"
  mount --bind "/dev/$node" "$root/dev/$node"
  mounted+=("$root/dev/$node")
done
ln -s /proc/self/fd "$root/dev/fd"
ln -s /proc/self/fd/0 "$root/dev/stdin"
ln -s /proc/self/fd/1 "$root/dev/stdout"
ln -s /proc/self/fd/2 "$root/dev/stderr"
mkdir -p "$root/dev/pts" "$root/dev/shm"
mount_in_root devpts devpts /dev/pts newinstance,ptmxmode=0666,mode=0620
ln -s pts/ptmx "$root/dev/ptmx"
mount_in_root tmpfs shm /dev/shm mode=1777
# Its own /tmp: the ports lock and Xvfb's sockets are the root's, not this machine's.
mount_in_root tmpfs tmp /tmp mode=1777

rm -rf "$root/src"
git clone -q "$repo" "$root/src"
echo "Cloned $(git -C "$root/src" log -1 --format='%h %s')"

in_root() {
  env -i HOME=/root LANG=C.UTF-8 PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    chroot "$root" bash -c "cd /src && $1"
}

step "./run in $release"
in_root ./run
took "./run"
[ -s "$root/src/build/larkwend-main-window.png" ] || { echo "$0: no screenshot" >&2; exit 1; }

step "the test tools in $release"
in_root "tools/ensure-deps.sh test"
took "the test tools"

step "./test in $release, on loopback only"
env -i HOME=/root LANG=C.UTF-8 PATH=/usr/sbin:/usr/bin:/sbin:/bin \
  unshare --net bash -c 'ip link set lo up && exec chroot "$0" bash -c "cd /src && ./test"' "$root"
took "./test"
