#!/usr/bin/env bash
# The host guide quotes its example programs: a code block right after a line
# "<!-- quoted from FILE -->" holds lines of FILE. Every quoted line other
# than "..." must still be a whole line of FILE, and every example program
# must be quoted at least once, so the guide cannot drift from the programs
# that the install test builds and runs.
#
# Usage: check_guide_quotes.sh SOURCE_DIR
set -euo pipefail
src=$1
guide=$src/docs/host-integration.md
fail() { printf 'guide quotes: %s\n' "$*" >&2; exit 1; }

# One "FILE<TAB>LINE" per quoted line.
quotes=$(awk '
  /^<!-- quoted from [^ ]+ -->$/ { file = $4; want = 1; next }
  want && /^```/ { want = 0; inside = 1; next }
  inside && /^```$/ { inside = 0; file = ""; next }
  inside { print file "\t" $0 }
' "$guide")

for example in tests/install/host.c tests/install/host_threads.cc; do
  grep -q "^$example"$'\t' <<<"$quotes" || fail "$example is not quoted"
done
checked=0
while IFS=$'\t' read -r file line; do
  [[ "$line" =~ ^[[:space:]]*\.\.\.$ ]] && continue
  [ -f "$src/$file" ] || fail "quoted file $file does not exist"
  grep -qxF -- "$line" "$src/$file" || fail "not a line of $file: '$line'"
  checked=$((checked + 1))
done <<<"$quotes"
echo "guide quotes: $checked lines match"
