#!/usr/bin/env bash
# Fleet polling: "zelctl poll" reads N printers (default 100) with 1, 4 and 16
# threads, and reports per run the wall time, the client's CPU time (user +
# system of zelctl), the failures, and the wall time against the slowest
# single read (the longest device read of the one-thread run, after one
# uncounted round); the goal is at most 1.5 times that with 16 threads. With
# snmpd agents it also reports the agents' own CPU time: on a small machine
# the agents share its cores with the client, and their work bounds the wall
# time of a concurrent round.
#
# Agents (--agents):
#   snmpd  (default) Net-SNMP's snmpd, one per printer on 127.0.33.101 and
#          up, port 161, serving the project's supported-device recording as
#          "override" lines with its own host-resources tables switched off:
#          the same answers as the lab's printer, from a fast C agent, so the
#          figures are the client's and not the simulator's.
#   lab    the printer lab (snmpsimd, one network namespace per printer),
#          every printer serving the supported device.
#
# Usage: scripts/bench-poll.sh [--build-dir DIR] [--printers N] [--agents snmpd|lab]
#                              [--threads "1 4 16"] [--timeout MS] [--retries N]
# Exit status: 0 when no read failed; 1 otherwise; 77 when the agents cannot
# be run (no snmpd; for the lab, no network namespaces).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly kSupportedOid=1.3.6.1.4.1.61802.1.11.93.1.37.22.4

# Runs zelctl poll over $ADDRESSES with each thread count; prints one line per
# run and answers 1 when a read failed.
measure() {
  local zelctl=$1 threads=$2 timeout=$3 retries=$4 out=$5
  local failures=0 slowest= t before after
  # One round first, not counted: the agents' first answers are slow.
  "$zelctl" --no-progress -t "$timeout" -r "$retries" poll --threads 16 --json-lines \
    $ADDRESSES >/dev/null 2>&1 || true
  for t in $threads; do
    before=$(agent_cpu)
    /usr/bin/time -f '%e %U %S' -o "$out/time-$t" "$zelctl" --no-progress -t "$timeout" \
      -r "$retries" poll --threads "$t" --json-lines $ADDRESSES >"$out/lines-$t" \
      2>"$out/err-$t" || true
    after=$(agent_cpu)
    read -r wall user sys < <(tail -n 1 "$out/time-$t")
    python3 - "$out/lines-$t" "$t" "$wall" "$user" "$sys" "${slowest:-}" \
      "$before" "$after" <<'PY' >"$out/row-$t"
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1])]
t, wall, user, sys_, slowest, before, after = sys.argv[2:9]
agents = f"; agents' CPU {(int(after) - int(before)) / 100:.2f} s" if before != "-" else ""
failed = sum(1 for d in lines if d["status"] != 0)
longest = max((d["duration_seconds"] for d in lines), default=0.0)
slowest = float(slowest) if slowest else longest
print(f"{t:>2} threads: {len(lines)} devices, {failed} failed; wall {float(wall):.2f} s, "
      f"client CPU {float(user) + float(sys_):.2f} s (user {user}, sys {sys_}); "
      f"longest read {longest:.3f} s; wall / slowest single read {float(wall) / slowest:.2f}"
      f"{agents}")
print(f"#slowest {slowest}")
print(f"#failed {failed}")
PY
    grep -v '^#' "$out/row-$t"
    [ -n "$slowest" ] || slowest=$(awk '$1 == "#slowest" { print $2 }' "$out/row-$t")
    failures=$((failures + $(awk '$1 == "#failed" { print $2 }' "$out/row-$t")))
  done
  [ "$failures" -eq 0 ]
}

# The CPU time of the agents in clock ticks (utime + stime of $AGENT_PIDS),
# or "-" when they are not ours to see.
agent_cpu() {
  [ -n "${AGENT_PIDS:-}" ] || { echo -; return; }
  local p total=0
  for p in $AGENT_PIDS; do
    total=$((total + $(awk '{ print $14 + $15 }' "/proc/$p/stat" 2>/dev/null || echo 0)))
  done
  echo "$total"
}

if [ "${1:-}" = __in-lab ]; then
  shift
  ADDRESSES=$ZEL_LAB_SUPPORTED measure "$@"
  exit
fi

build=$root/build/bench
printers=100 agents=snmpd threads="1 4 16" timeout=2000 retries=1
while [ $# -gt 0 ]; do
  case $1 in
    --build-dir) build=$2; shift 2 ;;
    --printers) printers=$2; shift 2 ;;
    --agents) agents=$2; shift 2 ;;
    --threads) threads=$2; shift 2 ;;
    --timeout) timeout=$2; shift 2 ;;
    --retries) retries=$2; shift 2 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) printf 'bench-poll: unknown option %s\n' "$1" >&2; exit 2 ;;
  esac
done
[ "$printers" -ge 1 ] && [ "$printers" -le 150 ] || { echo "bench-poll: --printers 1..150" >&2; exit 2; }

if [ ! -x "$build/tools/zelctl/zelctl" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_TESTS=OFF >/dev/null
  cmake --build "$build" -j2 --target zelctl zel
fi
zelctl=$build/tools/zelctl/zelctl
recording=$root/options/testdata/supported-device.snmprec
out=$(mktemp -d /tmp/zel-bench-poll.XXXXXX)
chmod 777 "$out"
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$out"
}
trap cleanup EXIT

echo "bench-poll: $printers printers ($agents), time-out $timeout ms, retries $retries"
if [ "$agents" = lab ]; then
  rc=0
  bash "$root/scripts/lab.sh" --quiet --no-shared --printers "$printers" --start-timeout 900 \
    --recording "$recording@supported" -- \
    bash "$0" __in-lab "$zelctl" "$threads" "$timeout" "$retries" "$out" || rc=$?
  exit "$rc"
fi

command -v snmpd >/dev/null || { echo "skip: snmpd is not installed"; exit 77; }
# The recording as snmpd "override" lines, sysObjectID.0 the supported model's.
awk -F'|' -v sysoid="$kSupportedOid" '
  /^#/ || NF < 3 { next }
  { oid = $1; t = $2; v = $3
    if (oid == "1.3.6.1.2.1.1.2.0") { t = "6"; v = sysoid }
    if (t == "2") print "override ." oid " integer " v
    else if (t == "4") { gsub(/"/, "\\\"", v); print "override ." oid " octet_str \"" v "\"" }
    else if (t == "4x") print "override ." oid " octet_str 0x" v
    else if (t == "6") print "override ." oid " object_id ." v
    else if (t == "64") print "override ." oid " ipaddress " v
    else if (t == "65") print "override ." oid " counter " v
    else if (t == "66") print "override ." oid " unsigned " v
    else if (t == "67") print "override ." oid " timeticks " v }' "$recording" >"$out/override.conf"
# Host resources come from the recording alone.
off=-hr_storage,hrh_storage,hrh_filesys,hr_device,hr_other,hr_proc,hr_network,hr_print,hr_disk
off=$off,hr_partition,hr_filesys,hr_swrun,hr_swinst,hr_system
ADDRESSES=
for i in $(seq 1 "$printers"); do
  a=127.0.33.$((100 + i))
  mkdir -p "$out/agent-$i"
  { echo "rocommunity vorovo"; cat "$out/override.conf"; } >"$out/agent-$i/snmpd.conf"
  snmpd -f -Lf "$out/agent-$i/log" -C -c "$out/agent-$i/snmpd.conf" \
    --persistentDir="$out/agent-$i" -M /dev/null -I "$off" "udp:$a:161" &
  pids+=($!)
  ADDRESSES="$ADDRESSES $a"
done
for a in $ADDRESSES; do
  for _ in $(seq 100); do
    snmpget -v2c -c vorovo -t 0.2 -r 0 -On "$a" 1.3.6.1.2.1.1.2.0 >/dev/null 2>&1 && break
    sleep 0.1
  done
done
export ADDRESSES
AGENT_PIDS="${pids[*]}"
measure "$zelctl" "$threads" "$timeout" "$retries" "$out"
