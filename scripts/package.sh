#!/usr/bin/env bash
# Builds the Debian packages into dist/: libzelprinter0 (the library and its
# diagnostic build), libzelprinter-dev (header, link, pkg-config and CMake
# files) and zelctl. A Release build with Debian's hardening flags
# (dpkg-buildflags) in a build directory of its own, made afresh each time,
# so that a clean clone and a used one give the same packages; cpack strips
# the binaries and computes the library dependencies (cmake/packaging.cmake).
#
# Usage: scripts/package.sh [--skip-install] [--build-dir DIR] [--out DIR]
#                            [--from-build DIR]
#   --skip-install  do not run scripts/install-deps.sh first
#   --build-dir     the build directory (default build/package; removed first)
#   --out           where the .deb files go (default dist; old ones removed)
#   --from-build    package an existing build configured with the prefix /usr
#                   instead (the test command packages its own g++ build so,
#                   for lintian, without building again)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

skip_install=0 build=build/package out=dist from_build=
while [ $# -gt 0 ]; do
  case $1 in
    --skip-install) skip_install=1 ;;
    --build-dir) build=${2:?--build-dir needs a directory}; shift ;;
    --out) out=${2:?--out needs a directory}; shift ;;
    --from-build) from_build=${2:?--from-build needs a directory}; shift ;;
    -h|--help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) printf 'package: unknown argument %s\n' "$1" >&2; exit 2 ;;
  esac
  shift
done
[ "$skip_install" = 1 ] || bash scripts/install-deps.sh

if [ -n "$from_build" ]; then
  build=$from_build
  prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
  [ "$prefix" = /usr ] || { echo "package: $build is configured for the prefix $prefix, not /usr" >&2; exit 2; }
  rm -rf "$build/packages"
else
  launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  # Debian's build flags: stack protector, fortified functions, relro, now.
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  eval "$(dpkg-buildflags --export=sh)"
  export CFLAGS="$CPPFLAGS $CFLAGS" CXXFLAGS="$CPPFLAGS $CXXFLAGS"

  rm -rf "$build"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZEL_TESTS=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
    "${launcher[@]}" >/dev/null
  cmake --build "$build" -j "$(nproc)"
fi
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log" >&2; exit 1; }

mkdir -p "$out"
rm -f "$out"/*.deb
cp "$build"/packages/*.deb "$out"/
for deb in "$out"/*.deb; do
  printf '%s  %s\n' "$(dpkg-deb -f "$deb" Package Version Depends | paste -sd' ')" "$deb"
done
