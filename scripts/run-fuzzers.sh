#!/usr/bin/env bash
# Runs every built fuzz target (BUILD_DIR/**/*_fuzzer) for SECONDS each, seeded
# from fuzz/corpus/NAME; new inputs go to a scratch folder, not the repository.
set -euo pipefail
build=${1:?build dir}; seconds=${2:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
mapfile -t targets < <(find "$build" -type f -name '*_fuzzer' -perm -u+x | sort)
if [ ${#targets[@]} -eq 0 ]; then echo "no fuzz targets built"; exit 0; fi
for t in "${targets[@]}"; do
  name=$(basename "$t")
  scratch=$(mktemp -d)
  seeds=()
  [ -d "$root/fuzz/corpus/$name" ] && seeds=("$root/fuzz/corpus/$name")
  echo "-- $name (${seconds}s)"
  "$t" -max_total_time="$seconds" -print_final_stats=1 "$scratch" "${seeds[@]}" 2>&1 | tail -n 12
  rm -rf "$scratch"
done
