#!/usr/bin/env bash
# zelctl's fleet commands end to end, one case per command:
#   capture  capture a lab printer, serve the capture in a second lab, and
#            "zelctl status --json" of both must be equal but for the address
#   traps    Net-SNMP's snmptrap sends an SNMPv1 and an SNMPv2c trap to
#            127.0.33.1 on a port above 1024; both must come out of
#            "zelctl traps --json" as JSON lines with their bindings, and
#            SIGINT must end it with status 0
#   poll     three lab printers and one dead address: one line per device,
#            exit status 1, and promtool accepting the Prometheus file
# Usage: fleet_test.sh ZELCTL LIBRARY capture|traps|poll
# Exits 77 (skip) when snmpsimd, snmptrap or network namespaces are missing.
set -euo pipefail
zelctl=$1 library=$2 what=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
lab="$root/scripts/lab.sh"
work=$(mktemp -d /tmp/zelctl-fleet.XXXXXX)
chmod 755 "$work"
listener=
cleanup() {
  if [ -n "$listener" ]; then kill "$listener" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
Z=("$zelctl" --library "$library" --no-progress)
export ZELCTL="$zelctl" ZELCTL_LIBRARY="$library" WORK="$work"
skip() { echo "skip: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

# Runs the lab with its arguments; a lab that cannot be built skips.
run_lab() {
  local rc=0
  "$lab" --quiet --no-shared "$@" || rc=$?
  [ "$rc" -eq 77 ] && skip "this machine permits no network namespaces"
  return "$rc"
}

case "$what" in
capture)
  command -v snmpsimd >/dev/null || skip "snmpsimd is not installed"
  run_lab --printers 1 -- bash -c '
    set -e
    a=${ZEL_LAB_SUPPORTED%% *}
    "$ZELCTL" --library "$ZELCTL_LIBRARY" capture "$a" -o "$WORK/capture.snmprec"
    "$ZELCTL" --library "$ZELCTL_LIBRARY" --json status "$a" >"$WORK/live.json"'
  head -2 "$work/capture.snmprec" | grep -q '^# sysDescr: ' || fail "no sysDescr header"
  run_lab --printers 1 --recording "$work/capture.snmprec" -- bash -c '
    "$ZELCTL" --library "$ZELCTL_LIBRARY" --json status "${ZEL_LAB_PRINTERS%% *}" \
      >"$WORK/served.json"'
  python3 - "$work/live.json" "$work/served.json" <<'PY' || fail "the two reports differ"
import json, sys
def strip(doc):
    if isinstance(doc, dict):
        return {k: strip(v) for k, v in doc.items()
                if k != "address" and "time" not in k and "elapsed" not in k}
    if isinstance(doc, list):
        return [strip(v) for v in doc]
    return doc
a, b = (strip(json.load(open(p))) for p in sys.argv[1:3])
if a != b:
    print(json.dumps(a, indent=1)[:3000]); print(json.dumps(b, indent=1)[:3000])
sys.exit(0 if a == b else 1)
PY
  ;;
traps)
  command -v snmptrap >/dev/null || skip "snmptrap (package snmp) is not installed"
  port=16233
  "${Z[@]}" traps --json --port "$port" >"$work/traps" 2>"$work/traps.err" &
  listener=$!
  for _ in $(seq 50); do grep -q listening "$work/traps.err" && break; sleep 0.1; done
  grep -q listening "$work/traps.err" || fail "traps did not start: $(cat "$work/traps.err")"
  snmptrap -v1 -c public 127.0.33.1:$port 1.3.6.1.4.1.61801 127.0.33.1 6 3 4242 \
    1.3.6.1.2.1.43.18.1.1.2.1.5 i 3 1.3.6.1.2.1.43.18.1.1.8.1.5 s "Toner low"
  snmptrap -v2c -c public 127.0.33.1:$port 4343 1.3.6.1.2.1.43.18.2.0.1 \
    1.3.6.1.2.1.43.18.1.1.4.1.6 i 8
  for _ in $(seq 50); do [ "$(wc -l <"$work/traps")" -ge 2 ] && break; sleep 0.1; done
  kill -INT "$listener"
  rc=0
  wait "$listener" || rc=$?
  listener=
  [ "$rc" -eq 0 ] || fail "traps exited with $rc"
  python3 - "$work/traps" <<'PY' || fail "the traps were not both printed: $(cat "$work/traps")"
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1])]
assert len(lines) == 2, lines
v1, v2 = lines
assert v1["schema_version"] == 1 and v1["status"] == 0 and v1["message"] == "ok", v1
assert (v1["version"], v1["community"], v1["trap_oid"], v1["uptime"]) == \
    ("v1", "public", "1.3.6.1.4.1.61801.0.3", 4242), v1
assert [(b["name"], b["value"], b.get("meaning")) for b in v1["bindings"]] == \
    [("prtAlertSeverityLevel.1.5", "3", "critical"),
     ("prtAlertDescription.1.5", "Toner low", None)], v1
assert (v2["version"], v2["trap_oid"], v2["uptime"]) == \
    ("v2c", "1.3.6.1.2.1.43.18.2.0.1", 4343), v2
assert [(b["oid"], b["type"], b["value"], b["meaning"]) for b in v2["bindings"]] == \
    [("1.3.6.1.2.1.43.18.1.1.4.1.6", "INTEGER", "8", "input")], v2
PY
  ;;
poll)
  command -v snmpsimd >/dev/null || skip "snmpsimd is not installed"
  rc=0
  run_lab --printers 3 -- bash -c '
    Z=("$ZELCTL" --library "$ZELCTL_LIBRARY")
    dead=10.77.0.250
    "${Z[@]}" poll $ZEL_LAB_PRINTERS $dead -t 300 -r 0 --threads 4 >"$WORK/text" || true
    "${Z[@]}" poll $ZEL_LAB_PRINTERS $dead -t 300 -r 0 --json-lines \
      --prometheus "$WORK/metrics.prom"' >"$work/lines" || rc=$?
  [ "$rc" -eq 1 ] || fail "exit status $rc, not 1, with a dead device"
  [ "$(wc -l <"$work/text")" -eq 5 ] || fail "not a header and four lines: $(cat "$work/text")"
  grep -q '^10\.77\.0\.250 .*FAILED device open: no answer' "$work/text" ||
    fail "the dead device's line: $(cat "$work/text")"
  python3 - "$work/lines" <<'PY' || fail "the JSON lines: $(cat "$work/lines")"
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1])]
assert len(lines) == 4, lines
for d in lines[:3]:
    assert d["status"] == 0 and d["exit_code"] == 0 and d["message"] == "ok", d
    assert d["model"] and d["sys_name"] is not None and d["supplies"], d
dead = lines[3]
assert dead["address"] == "10.77.0.250" and dead["status"] == -203 and dead["exit_code"] == 4, dead
PY
  grep -q '^zel_printer_up{device="10.77.0.250",model="",sysname=""} 0$' "$work/metrics.prom" ||
    fail "no zel_printer_up 0 for the dead device"
  if command -v promtool >/dev/null; then
    promtool check metrics <"$work/metrics.prom" || fail "promtool refuses the file"
  else
    echo "promtool (package prometheus) is not installed: the file is not checked"
  fi
  ;;
*) echo "usage: fleet_test.sh ZELCTL LIBRARY capture|traps|poll"; exit 2 ;;
esac
echo "ok: $what"
