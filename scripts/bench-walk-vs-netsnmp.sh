#!/usr/bin/env bash
# The input-tray walk of our reader against Net-SNMP's library doing the
# identical 1,001 GetNext exchanges of 15 columns, same snmpd agent, same
# run (benchmarks/walk_vs_netsnmp.cc): wall time, CPU time and allocations
# per walk, then the user-space instructions per walk counted by callgrind
# inside each walk function alone (three walks minus one, so that what the
# first walk makes once does not count).
#   scripts/bench-walk-vs-netsnmp.sh              # 20 alternating walks
#   WALKS=50 ADDRESS=127.0.30.2 scripts/bench-walk-vs-netsnmp.sh
# Needs snmpd and valgrind (scripts/install-deps.sh). The client is pinned to
# one CPU with taskset when it is there.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ZEL_BENCH_BUILD:-build/bench}
walks=${WALKS:-20}
address=${ADDRESS:-127.0.30.1}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# An existing build folder keeps its own configuration (ZEL_BENCH_BUILD=build
# measures the RelWithDebInfo build); a new one is a Release build.
if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZEL_BENCHMARKS=ON "${launcher[@]}" >/dev/null
fi
cmake --build "$build" -j 2 --target walk_vs_netsnmp >/dev/null
program="$build/benchmarks/walk_vs_netsnmp"
pin=()
if command -v taskset >/dev/null; then pin=(taskset -c 0); fi

echo "== wall time, CPU time, allocations per walk ($walks walks each, alternating)"
"${pin[@]}" "$program" --walks="$walks" --address="$address"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Instructions callgrind collects inside the walk function of `client`
# over `n` walks.
instructions() {
  local client=$1 n=$2
  valgrind --tool=callgrind --collect-atstart=no \
    --toggle-collect="walk_vs_netsnmp_$client" \
    --callgrind-out-file="$scratch/$client.$n" \
    "$program" --client="$client" --walks="$n" --address="$address" \
    >"$scratch/$client.$n.log" 2>&1 || { cat "$scratch/$client.$n.log"; exit 1; }
  awk '/^(summary|totals):/ { print $2; exit }' "$scratch/$client.$n"
}
echo "== user-space instructions per walk (callgrind, 3 walks minus 1, halved)"
declare -A per_walk
for client in ours netsnmp; do
  three=$(instructions "$client" 3)
  one=$(instructions "$client" 1)
  per_walk[$client]=$(( (three - one) / 2 ))
  printf '%-8s %d instructions per walk (first walk %d)\n' "$client" "${per_walk[$client]}" "$one"
done
awk -v o="${per_walk[ours]}" -v n="${per_walk[netsnmp]}" \
  'BEGIN { printf "ratio    instructions=%.2fx\n", o / n }'
