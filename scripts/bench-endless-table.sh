#!/usr/bin/env bash
# A device whose tables never end, read through the built .so: builds the
# program (Release, benchmarks on) and runs it three times: the storage count
# call with rows of 60,000 octets (the 64 MiB limit ends it), the same with
# rows of four small integers (the 100,000-row limit ends it) and the option
# refresh (its hrDevice walk) with rows of 60,000 octets. Each run prints the
# status (-12 expected), the time to it, the GetNext requests answered and
# the host process's peak resident memory before and after the call.
#   scripts/bench-endless-table.sh [ADDRESS]     (default 127.0.21.2)
# The responder listens on ADDRESS:161 (a loopback address; needs root).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ZEL_BENCH_BUILD:-build/bench-endless}
address=${1:-127.0.21.2}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZEL_BENCHMARKS=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j 2 --target endless_table_benchmark >/dev/null
program="$build/benchmarks/endless_table_benchmark"
status=0
"$program" --address="$address" --call=storage --value-octets=60000 || status=1
"$program" --address="$address" --call=storage --value-octets=0 || status=1
"$program" --address="$address" --call=refresh --value-octets=60000 || status=1
exit $status
