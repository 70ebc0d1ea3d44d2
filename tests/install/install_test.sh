#!/usr/bin/env bash
# Installs the built tree into a temporary prefix, checks that the installed
# header compiles alone as C99 and as C++11, and builds the host guide's two
# example programs (tests/install/host.c and host_threads.cc) against the
# installed files twice: with pkg-config and with a CMake project that calls
# find_package(zelprinter). The C host runs without a device (ZelInit,
# ZelTransportAvailable(1), ZelUnInit) and against a silent loopback address,
# where the device open must fail with a status text; the threaded host reads
# two silent addresses at once. Last, the installed zelctl --log must load the
# installed diagnostic library.
#
# Usage: install_test.sh BUILD_DIR SOURCE_DIR LIBDIR INCLUDEDIR CC CMAKE CXX
# ZEL_HOST_FLAGS, ZEL_HOST_LIBS (environment): extra compile-and-link flags
# and link-only libraries, for sanitizer builds whose library needs the
# sanitizer runtime in the host.
set -euo pipefail
build=$1 src=$(cd "$2" && pwd) libdir=$3 includedir=$4 cc=$5 cmake=$6 cxx=$7
# Nothing listens on these (loopback, port 161): a device open times out.
silent1=127.0.27.1 silent2=127.0.27.2
flags=${ZEL_HOST_FLAGS:-} libs=${ZEL_HOST_LIBS:-}

work=$(mktemp -d /tmp/zel-install-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { printf 'install test: %s\n' "$*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" ||
  { cat "$work/install.log" >&2; fail "cmake --install failed"; }

# The layout a host relies on.
lib=$prefix/$libdir
for f in "$includedir/zelprinter/zel_api.h" "$includedir/zelprinter/plugin/export.h" \
         "$libdir/pkgconfig/zelprinter.pc" "$libdir/cmake/zelprinter/zelprinterConfig.cmake" \
         "$libdir/cmake/zelprinter/zelprinterConfigVersion.cmake" \
         "$libdir/libzelprinter-diag.so" bin/zelctl; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
[ "$(readlink "$lib/libzelprinter.so")" = libzelprinter.so.0 ] ||
  fail "libzelprinter.so does not link to the soname"
real=$(readlink "$lib/libzelprinter.so.0") || fail "no soname link libzelprinter.so.0"
[[ "$real" =~ ^libzelprinter\.so\.0\.[0-9]+\.[0-9]+$ ]] || fail "soname link points at '$real'"
[ -f "$lib/$real" ] || fail "no versioned library $real"
readelf -d "$lib/$real" | grep -q 'SONAME.*\[libzelprinter\.so\.0\]' ||
  fail "installed library has no soname libzelprinter.so.0"
if find "$prefix/$includedir" -name '*option*' | grep -q .; then
  fail "option class headers installed: they need internal headers"
fi

needs_soname() {
  readelf -d "$1" | grep -q 'NEEDED.*\[libzelprinter\.so\.0\]' ||
    fail "$1 does not record libzelprinter.so.0"
}

# 1. pkg-config, as a Makefile would call it; only the installed .pc is seen.
pc_flags=$(PKG_CONFIG_LIBDIR="$lib/pkgconfig" PKG_CONFIG_PATH= pkg-config --cflags --libs zelprinter) ||
  fail "pkg-config does not find zelprinter"
pc_cflags=$(PKG_CONFIG_LIBDIR="$lib/pkgconfig" PKG_CONFIG_PATH= pkg-config --cflags zelprinter)
# The header alone, as the oldest languages it promises.
# shellcheck disable=SC2086
echo '#include <zelprinter/zel_api.h>' |
  "$cc" -std=c99 -Wall -Wextra -Werror -pedantic -x c -fsyntax-only $pc_cflags - ||
  fail "the installed header does not compile as C99"
# shellcheck disable=SC2086
echo '#include <zelprinter/zel_api.h>' |
  "$cxx" -std=c++11 -Wall -Wextra -Werror -pedantic -x c++ -fsyntax-only $pc_cflags - ||
  fail "the installed header does not compile as C++11"
# shellcheck disable=SC2086
"$cc" -std=c11 -Wall -Wextra -Werror -pedantic "$src/tests/install/host.c" \
  -o "$work/host-pc" $pc_flags $flags $libs || fail "the pkg-config host does not build"
needs_soname "$work/host-pc"
LD_LIBRARY_PATH="$lib" "$work/host-pc" || fail "the pkg-config host failed"
# shellcheck disable=SC2086
"$cxx" -std=c++17 -Wall -Wextra -Werror -pedantic -pthread "$src/tests/install/host_threads.cc" \
  -o "$work/host-threads-pc" $pc_flags $flags || fail "the pkg-config C++ host does not build"
needs_soname "$work/host-threads-pc"
# A device that does not answer: the open fails (exit 2) and says why.
rc=0
out=$(LD_LIBRARY_PATH="$lib" "$work/host-pc" "$silent1" 100 2>&1) || rc=$?
[ "$rc" = 2 ] && grep -q '^host: ZelInitDevice: [a-z].* (-[0-9]*)$' <<<"$out" ||
  fail "the C host against a silent address: exit $rc, '$out'"
# Two threads, two contexts, two silent devices: one failure line each.
rc=0
out=$(LD_LIBRARY_PATH="$lib" "$work/host-threads-pc" --timeout 100 "$silent1" "$silent2" 2>&1) || rc=$?
[ "$rc" = 1 ] && [ "$(grep -c '^127\.0\.27\.[12]: [a-z].* (-[0-9]*)$' <<<"$out")" = 2 ] ||
  fail "the threaded host against two silent addresses: exit $rc, '$out'"

# 2. find_package in a CMake project, with nothing but the prefix to go by.
"$cmake" -S "$src/tests/install/cmake_host" -B "$work/cmake-host" \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_PACKAGE_NO_PACKAGE_REGISTRY=ON \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags $libs" \
  -DZEL_HOST_SOURCE="$src/tests/install/host.c" \
  -DZEL_HOST_CXX_SOURCE="$src/tests/install/host_threads.cc" >"$work/cmake-host.log" 2>&1 ||
  { cat "$work/cmake-host.log" >&2; fail "find_package(zelprinter) failed"; }
"$cmake" --build "$work/cmake-host" >>"$work/cmake-host.log" 2>&1 ||
  { cat "$work/cmake-host.log" >&2; fail "the CMake host does not build"; }
needs_soname "$work/cmake-host/host"
needs_soname "$work/cmake-host/host_threads"
"$work/cmake-host/host" || fail "the CMake host failed"
# 3. The installed zelctl --log finds the diagnostic library beside the
# shipped one; a device open to a silent loopback address logs its failure.
log=$("$prefix/bin/zelctl" --log --log-level error --timeout 100 --retries 0 \
        status 127.0.13.3 2>&1 >/dev/null || true)
grep -q ', Zel  *, Error, ' <<<"$log" ||
  fail "installed zelctl --log wrote no log line of the plug-in: $log"
echo "install test: ok"
