#!/usr/bin/env bash
# The table-walk benchmark: builds it (Release, benchmarks on) and runs every
# walk REPS times (default 10), interleaved at random so that a change in the
# machine's load falls on all of them alike, and prints the median, minimum
# and maximum of wall time, client CPU time and datagrams per walk.
#   scripts/bench-walk.sh                 # all walks, 10 repetitions
#   REPS=3 scripts/bench-walk.sh snmpd    # a filter (regular expression)
# Needs snmpsimd, snmpd and snmpwalk (scripts/install-deps.sh) and the
# loopback addresses 127.0.15.2 (snmpsimd) and 127.0.15.3 (snmpd).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ZEL_BENCH_BUILD:-build/bench-walk}
reps=${REPS:-10}
filter=${1:-.}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZEL_BENCHMARKS=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j 2 --target table_walk_benchmark >/dev/null
exec "$build/benchmarks/table_walk_benchmark" \
  --benchmark_filter="$filter" \
  --benchmark_repetitions="$reps" \
  --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true \
  --benchmark_counters_tabular=true
