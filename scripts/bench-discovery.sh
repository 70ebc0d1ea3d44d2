#!/usr/bin/env bash
# Discovery of many printers at once: starts the printer lab with N simulated
# printers (default 100), every one serving a supported device, and discovers
# them through the real plug-in with zelctl: IPv4 broadcast and IPv6 multicast,
# one try each (one listening window). Reports how many were found, whether
# any was missed or invented, and how long each call lasted against its
# budget (the time-out). Repeats each discovery ROUNDS times.
#
# Usage: scripts/bench-discovery.sh [--build-dir DIR] [--printers N]
#                                   [--timeout MS] [--rounds K]
# Exit status: 0 every printer found in every round; 1 otherwise; 77 when this
# machine does not permit network namespaces.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# --- inside the lab ----------------------------------------------------------

# The client namespace's count of UDP datagrams (v4 and v6) dropped because a
# socket's receive buffer was full.
udp_receive_buffer_errors() {
  local v4 v6
  v4=$(awk '/^Udp:/ { if (!h) { for (i = 1; i <= NF; i++) if ($i == "RcvbufErrors") c = i; h = 1 }
                       else print $c }' /proc/net/snmp)
  v6=$(awk '$1 == "Udp6RcvbufErrors" { print $2 }' /proc/net/snmp6)
  echo $((${v4:-0} + ${v6:-0}))
}

in_lab() {
  local zelctl=$1 timeout=$2 rounds=$3 out=$4
  local failures=0 proto dest want got round start end
  # What a call costs besides its window: process start, library load, the
  # socket; a discovery with a 1 ms budget shows it.
  start=$(date +%s%N)
  "$zelctl" --no-progress --json -p ipv4 -t 1 -r 0 discover >/dev/null 2>&1 || true
  end=$(date +%s%N)
  printf 'zelctl start-up, load and a 1 ms discovery: %d ms\n' $(((end - start) / 1000000))
  for proto in ipv4 ipv6; do
    dest=255.255.255.255 want=$ZEL_LAB_SUPPORTED
    [ "$proto" = ipv6 ] && dest=ff02::1 want=$ZEL_LAB_SUPPORTED6
    want=$(tr ' ' '\n' <<<"$want" | sed '/^$/d' | sort)
    for round in $(seq 1 "$rounds"); do
      local drops_before drops_after
      drops_before=$(udp_receive_buffer_errors)
      start=$(date +%s%N)
      "$zelctl" --no-progress --json -p "$proto" -t "$timeout" -r 0 discover \
        >"$out/$proto-$round.json" 2>"$out/$proto-$round.err" || true
      end=$(date +%s%N)
      drops_after=$(udp_receive_buffer_errors)
      got=$(python3 -c 'import json,sys; [print(d["address"]) for d in json.load(open(sys.argv[1]))["devices"]]' \
        "$out/$proto-$round.json" 2>/dev/null | sort || true)
      local found missed extra
      found=$(sed '/^$/d' <<<"$got" | wc -l)
      missed=$(comm -23 <(echo "$want") <(echo "$got") | sed '/^$/d' | wc -l)
      extra=$(comm -13 <(echo "$want") <(echo "$got") | sed '/^$/d' | wc -l)
      local call
      call=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["elapsed_ms"])' \
        "$out/$proto-$round.json" 2>/dev/null || echo '?')
      printf '%s round %s (%s): found %s of %s, missed %s, unexpected %s; the call %s ms (budget %s ms), zelctl in all %d ms; datagrams dropped by a full receive buffer: %s\n' \
        "$proto" "$round" "$dest" "$found" "$(wc -l <<<"$want")" "$missed" "$extra" \
        "$call" "$timeout" $(((end - start) / 1000000)) $((drops_after - drops_before))
      if [ "$missed" -ne 0 ] || [ "$extra" -ne 0 ]; then failures=$((failures + 1)); fi
    done
  done
  [ "$failures" -eq 0 ]
}

if [ "${1:-}" = __in-lab ]; then
  shift
  in_lab "$@"
  exit
fi

# --- outside ---------------------------------------------------------------------

build=$root/build/bench
printers=100 timeout=1000 rounds=3
while [ $# -gt 0 ]; do
  case $1 in
    --build-dir) build=$2; shift 2 ;;
    --printers) printers=$2; shift 2 ;;
    --timeout) timeout=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) printf 'bench-discovery: unknown option %s\n' "$1" >&2; exit 2 ;;
  esac
done

if [ ! -x "$build/tools/zelctl/zelctl" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_TESTS=OFF >/dev/null
  cmake --build "$build" -j "$(nproc)" --target zelctl zel
fi

# Every printer serves a supported device: the project's recording and the
# shared real-printer recordings with the supported model's sysObjectID.
shared=$(cd "$root/.." && pwd)/shared/testdata/printers
recordings=(--recording "$root/options/testdata/supported-device.snmprec")
for f in "$shared"/printer-*.snmprec; do
  # printer-13's device table partly never answers; discovery does not need
  # it, but keep the lab the same as the main job's.
  [ "$(basename "$f")" = printer-13.snmprec ] && continue
  recordings+=(--recording "$f@supported")
done

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
chmod 777 "$out"
start=$(date +%s) rc=0
bash "$root/scripts/lab.sh" --quiet --printers "$printers" --start-timeout 900 \
  "${recordings[@]}" -- \
  bash "$root/scripts/bench-discovery.sh" __in-lab "$build/tools/zelctl/zelctl" \
  "$timeout" "$rounds" "$out" || rc=$?
printf 'lab with %s printers: %s s in all (agents started, discoveries run, torn down)\n' \
  "$printers" $(($(date +%s) - start))
exit "$rc"
