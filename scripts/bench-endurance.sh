#!/usr/bin/env bash
# Endurance of the built plug-in: many full device reads (open, options, every
# table, jobs, close) in one process against a simulated printer serving the
# supported-device recording on a loopback address.
#
#   1. the g++ RelWithDebInfo build: resident memory (VmRSS) at the start,
#      after 100 reads and at the end, requests, octets and allocations per read;
#   2. the clang AddressSanitizer build with LeakSanitizer on: any leak, any
#      memory error or any read that differs from the first fails the run.
#
# Usage: scripts/bench-endurance.sh [READS] [AGENT]
#   READS  full reads per run (default 10000)
#   AGENT  snmpd (default; Net-SNMP's agent serves the recording through
#          "override" lines, about twenty times faster than snmpsimd) or
#          snmpsimd
# Environment: BUILD and ASAN_BUILD (build folders, default build/endurance
# and build/endurance-asan), ADDRESS and ASAN_ADDRESS (loopback addresses of
# the two agents, default 127.0.17.10 and 127.0.17.11), RUN_TIMEOUT (seconds
# per run, default 1800). Run as root (the agents listen on port 161).
set -euo pipefail

cd "$(dirname "$0")/.."
READS="${1:-10000}"
AGENT="${2:-snmpd}"
BUILD="${BUILD:-build/endurance}"
ASAN_BUILD="${ASAN_BUILD:-build/endurance-asan}"
ADDRESS="${ADDRESS:-127.0.17.10}"
ASAN_ADDRESS="${ASAN_ADDRESS:-127.0.17.11}"
RUN_TIMEOUT="${RUN_TIMEOUT:-1800}"
LAUNCHER=()
if command -v ccache >/dev/null 2>&1; then
  LAUNCHER=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=gcc \
  -DCMAKE_CXX_COMPILER=g++ -DZEL_BENCHMARKS=ON "${LAUNCHER[@]}" >/dev/null
cmake --build "$BUILD" -j2 --target device_read_benchmark
cmake -S . -B "$ASAN_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DZEL_SANITIZE=ON -DZEL_BENCHMARKS=ON "${LAUNCHER[@]}" >/dev/null
cmake --build "$ASAN_BUILD" -j2 --target device_read_benchmark

echo "== $READS full reads, g++ build, $AGENT on $ADDRESS"
timeout "$RUN_TIMEOUT" "$BUILD/benchmarks/device_read_benchmark" \
  --endurance="$READS" --agent="$AGENT" --address="$ADDRESS"

echo "== $READS full reads, clang AddressSanitizer build, LeakSanitizer on, $AGENT on $ASAN_ADDRESS"
# Resident memory is not meaningful here (the sanitizer keeps freed blocks
# in quarantine); the run fails on any leak found at exit.
ASAN_OPTIONS="detect_leaks=1:exitcode=23" timeout "$RUN_TIMEOUT" \
  "$ASAN_BUILD/benchmarks/device_read_benchmark" \
  --endurance="$READS" --agent="$AGENT" --address="$ASAN_ADDRESS"
echo "== no leaks, no memory errors, every read equal to the first"
