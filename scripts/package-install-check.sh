#!/usr/bin/env bash
# Installs the Debian packages from dist/ into a clean Debian 12 chroot the
# way a user does (apt-get install ./*.deb, so that apt resolves Net-SNMP's
# runtime library and the rest), then checks what a user and a host
# developer rely on: zelctl --help; zelctl finds the installed plug-in and
# its diagnostic build through the loader's search path (a read of a silent
# loopback address ends in "no answer", and --log writes the plug-in's own
# line); pkg-config --modversion zelprinter gives the packages' version; the
# host guide's C example (tests/install/host.c) builds against the installed
# header and library with pkg-config and runs; and the packages remove again.
#
# The chroot is debootstrap --variant=minbase bookworm with the C compiler
# and pkg-config, kept as a tarball in /var/cache/zelprinter/ between runs
# (ZEL_CHROOT_CACHE overrides the folder, --refresh makes it anew). Needs
# root and the network (the Debian mirror, ZEL_DEBIAN_MIRROR, default
# http://deb.debian.org/debian). Builds the packages first when dist/ has
# none.
#
# Usage: scripts/package-install-check.sh [--skip-install] [--dist DIR] [--refresh]
#   --skip-install  install neither debootstrap nor the build dependencies
#   --dist          where the .deb files are (default dist)
# Exit status: 0 passed; 1 a check failed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

skip_install=0 dist=dist refresh=0
while [ $# -gt 0 ]; do
  case $1 in
    --skip-install) skip_install=1 ;;
    --dist) dist=${2:?--dist needs a directory}; shift ;;
    --refresh) refresh=1 ;;
    -h|--help) sed -n '2,22p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) printf 'install check: unknown argument %s\n' "$1" >&2; exit 2 ;;
  esac
  shift
done
fail() { printf 'install check: FAILED: %s\n' "$*" >&2; exit 1; }
step() { printf '\n==== %s\n' "$*"; }
[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap, chroot, mount)"

if ! command -v debootstrap >/dev/null; then
  if [ "$skip_install" = 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends debootstrap
  fi
  command -v debootstrap >/dev/null || fail "debootstrap is not installed"
fi
if ! compgen -G "$dist/*.deb" >/dev/null; then
  step "no packages in $dist: scripts/package.sh"
  args=(--out "$dist")
  [ "$skip_install" = 1 ] && args+=(--skip-install)
  bash scripts/package.sh "${args[@]}"
fi
debs=("$dist"/*.deb)
version=$(dpkg-deb -f "${debs[0]}" Version)

# The chroot, from the cache or made afresh. The compiler is part of the
# cached tree; nothing the packages need is (checked below).
cache=${ZEL_CHROOT_CACHE:-/var/cache/zelprinter}
tarball=$cache/bookworm-minbase-$(dpkg --print-architecture).tar.gz
mirror=${ZEL_DEBIAN_MIRROR:-http://deb.debian.org/debian}
work=$(mktemp -d /var/tmp/zel-install-check.XXXXXX)
chroot_dir=$work/root
mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount -R "${mounted[i]}" 2>/dev/null || umount -R -l "${mounted[i]}" 2>/dev/null || true
  done
  # Only once nothing is mounted below it.
  if ! grep -q " $work" /proc/mounts; then rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
mkdir -p "$chroot_dir" "$cache"

if [ "$refresh" = 1 ] || [ ! -s "$tarball" ]; then
  step "debootstrap --variant=minbase bookworm (cached in $tarball)"
  timeout 1200 debootstrap --variant=minbase --include=gcc,libc6-dev,pkg-config \
    bookworm "$chroot_dir" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -n 20 "$work/debootstrap.log" >&2; fail "debootstrap failed"; }
  rm -rf "$chroot_dir"/var/cache/apt/archives/*.deb "$chroot_dir"/var/lib/apt/lists/*
  tar -C "$chroot_dir" -czf "$tarball.tmp" . && mv "$tarball.tmp" "$tarball"
else
  step "the cached chroot $tarball"
  tar -C "$chroot_dir" -xzf "$tarball"
fi

# A private bind mount of the tree first, so that the mounts inside stay out
# of the machine's own mount table's propagation.
mount --bind "$chroot_dir" "$chroot_dir" && mounted+=("$chroot_dir")
mount --make-private "$chroot_dir"
mount -t proc proc "$chroot_dir/proc" && mounted+=("$chroot_dir/proc")
# /dev with its pseudo-terminals (apt's log needs one); as a slave, so that
# nothing done inside propagates back to the machine's /dev.
mount --rbind /dev "$chroot_dir/dev" && mounted+=("$chroot_dir/dev")
mount --make-rslave "$chroot_dir/dev"
mount -t sysfs sysfs "$chroot_dir/sys" && mounted+=("$chroot_dir/sys")
cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf"
printf 'deb %s bookworm main\ndeb %s bookworm-updates main\n' "$mirror" "$mirror" \
  >"$chroot_dir/etc/apt/sources.list"
mkdir -p "$chroot_dir/tmp/zel/debs"
cp "${debs[@]}" "$chroot_dir/tmp/zel/debs/"
cp tests/install/host.c "$chroot_dir/tmp/zel/host.c"

in_chroot() {
  timeout 900 chroot "$chroot_dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root LC_ALL=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"
}

step "apt-get install ./*.deb (${debs[*]##*/})"
in_chroot sh -c '! dpkg -s libsnmp40 >/dev/null 2>&1' ||
  fail "the clean chroot already has libsnmp40"
in_chroot apt-get update -qq || fail "apt-get update"
in_chroot sh -c 'cd /tmp/zel/debs && apt-get install -y -q --no-install-recommends ./*.deb' ||
  fail "apt-get install of the packages"
in_chroot dpkg -s libsnmp40 >/dev/null || fail "apt did not install libsnmp40"

step "zelctl --help"
in_chroot zelctl --help >"$work/help.txt" || fail "zelctl --help"
head -n 3 "$work/help.txt"

step "zelctl loads the installed plug-in"
# Nothing listens on this loopback address: a read ends in "no answer" (4),
# which needs the library loaded; 3 would be a library that did not load.
rc=0
in_chroot zelctl --no-progress -t 100 -r 0 status 127.0.34.1 >"$work/status.txt" 2>&1 || rc=$?
cat "$work/status.txt"
[ "$rc" = 4 ] || fail "zelctl status against a silent address exited $rc, not 4"
rc=0
in_chroot zelctl --no-progress --log --log-level error -t 100 -r 0 status 127.0.34.2 \
  >/dev/null 2>"$work/log.txt" || rc=$?
grep -q ', Zel  *, Error, ' "$work/log.txt" ||
  fail "zelctl --log wrote no line of the diagnostic library (exit $rc): $(tail -n 3 "$work/log.txt")"

step "pkg-config --modversion zelprinter"
got=$(in_chroot pkg-config --modversion zelprinter) || fail "pkg-config does not know zelprinter"
echo "$got"
[ "$got" = "${version%%-*}" ] || fail "pkg-config says $got, the packages are $version"

step "the host guide's C example against the installed package"
# shellcheck disable=SC2016  # expanded inside the chroot
in_chroot sh -c 'cd /tmp/zel && gcc -std=c11 -Wall -Wextra -Werror -pedantic host.c \
    -o host $(pkg-config --cflags --libs zelprinter) && ./host' ||
  fail "the C example does not build or run"

step "apt-get purge"
in_chroot apt-get purge -y -q zelctl libzelprinter-dev libzelprinter0 >/dev/null ||
  fail "apt-get purge of the packages"
in_chroot sh -c '! ls /usr/lib/*/libzelprinter* 2>/dev/null' || fail "files left after purge"

printf '\ninstall check: ok (%s)\n' "$version"
