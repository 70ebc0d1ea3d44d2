#!/usr/bin/env bash
# The whole test suite: installs what it needs, then builds and tests the
# plug-in with g++ and builds its Debian packages (checked with lintian),
# with clang under AddressSanitizer and UndefinedBehaviorSanitizer (the same
# build carries the fuzz targets), and the threaded tests under
# ThreadSanitizer; then runs every fuzz target for a bounded time. Every test
# build treats warnings as errors (ZEL_WERROR=ON; a plain cmake build and the
# package build leave it off). Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/install-deps.sh
jobs=$(nproc)
fuzz_seconds=${ZEL_FUZZ_SECONDS:-30}

stage() { printf '\n==== %s\n' "$*"; }

stage "g++ build and tests (the benchmarks are built too, so that they keep building)"
# Configured for the prefix /usr, so that its packages lie as Debian's do.
cmake -S . -B build/gcc -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_BENCHMARKS=ON -DZEL_WERROR=ON \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build build/gcc -j "$jobs"
(cd build/gcc && ctest -j "$jobs" --output-on-failure)

stage "Debian packages of the g++ build, and lintian"
# The g++ build packaged as it is (a second, Release build would cost minutes;
# CI builds the release packages with scripts/package.sh afterwards). Fails on
# lintian errors; docs/packaging.md lists the warnings kept.
bash scripts/package.sh --skip-install --from-build build/gcc --out build/gcc/dist
lintian --fail-on error build/gcc/dist/*.deb

stage "clang ASan+UBSan build and tests"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DZEL_SANITIZE=ON -DZEL_FUZZ=ON -DZEL_WERROR=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/asan -j "$jobs"
(cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest -j "$jobs" --output-on-failure)

stage "clang ThreadSanitizer build and threaded tests"
# The tests that run threads of their own: the trap facility, the fault
# relay, and the first-use and many-thread cases of the shared services.
threaded='^(ObserverInvoker|WorkerThread|TrapSession|FaultRelay)\.|FirstUseFromManyThreads|EightThreads|FourThreads'
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DZEL_TSAN=ON -DZEL_WERROR=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
tsan_targets=(log_test network_address_test observer_invoker_test trap_session_test
  request_session_test session_dispatcher_test v3_request_session_agent_test
  v3_device_library_test fault_relay_test)
cmake --build build/tsan -j "$jobs" --target "${tsan_targets[@]}"
(cd build/tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest -j "$jobs" --output-on-failure --no-tests=error -R "$threaded")

stage "fuzz targets, ${fuzz_seconds} s each (clang, ASan+UBSan)"
bash scripts/run-fuzzers.sh build/asan "$fuzz_seconds"
