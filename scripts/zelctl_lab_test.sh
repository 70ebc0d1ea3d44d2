#!/usr/bin/env bash
# zelctl as an operator meets it, one row per situation, inside the lab's
# private network: each row runs zelctl once as it is and once with --json,
# and checks the exit code, a fragment of what it says, and that the JSON run
# writes exactly one document with the outcome keys. Exits 77 (skip) where
# the machine permits no network namespaces or snmpsimd is missing.
# A situation is one line in `rows`; a printer it needs is one more line in
# `recordings` (PATH, or PATH@supported to serve it as the supported model).
#
# Usage: scripts/zelctl_lab_test.sh ZELCTL
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
zelctl=$(realpath "${1:?usage: zelctl_lab_test.sh ZELCTL}")
command -v snmpsimd >/dev/null || { echo "skip: snmpsimd is not installed"; exit 77; }

# The lab's printers, in order: 10.77.0.11 (fd77::11), 10.77.0.12, ...
recordings=(
  "$root/options/testdata/supported-device.snmprec@supported"  # .11
  "$root/options/testdata/foreign-device.snmprec"              # .12
  "$root/options/testdata/non-printer-agent.snmprec@supported" # .13
  "$root/options/testdata/supported-device-no-printer-status.snmprec@supported"  # .14
)

# name | exit code | fragment of stdout or stderr [ // fragment of the JSON,
# when it differs] | zelctl's arguments (shell words)
rows=$(cat <<'ROWS'
wrong community          | 4  | no answer from 10.77.0.11                   | status 10.77.0.11 -c wrong -t 300 -r 0
wrong SNMPv3 pass phrase | 7  | authentication failed (user, protocols or pass phrases) | status 10.77.0.11 -v 3 -u simulator -l authPriv -a MD5 -A wrong-phrase -x DES -X privatus -t 1000 -r 0
refused cancel           | 4  | --write-community                           | cancel-job 10.77.0.11 1 --write-community wrong -t 300 -r 0
empty job ID             | 2  | the job ID is empty                         | cancel-job 10.77.0.11 ''
host name                | 0  | 10.77.0.11                                  | discover printer-one.lab:161 -t 300 -r 0
bracketed IPv6           | 0  | fd77::11                                    | discover [fd77::11]:161 -t 300 -r 0
other port               | 2  | the device port is fixed at 161             | status printer-one.lab:1161
usage error              | 2  | --bogus                                     | status 10.77.0.11 --bogus
other agents             | 0  | 10.77.0.12                                  | discover --all -t 300 -r 0
non-printer agent        | 12 | serves none of the printer tables           | status 10.77.0.13 -t 300 -r 0
missing printer status   | 0  | printer status not reported // "printer_status_raw": 0 | status 10.77.0.14 -t 300 -r 0
ROWS
)

check=$(mktemp /tmp/zelctl-lab-check.XXXXXX)
trap 'rm -f "$check"' EXIT
# Checks every row's --json output at once (one interpreter start): lines of
# "NAME<TAB>EXIT<TAB>FRAGMENT<TAB>FILE" on standard input.
cat >"$check" <<'PY'
import json, sys
failed = 0
for line in sys.stdin:
    name, want_exit, fragment, path = line.rstrip("\n").split("\t")
    fragment = fragment.split(" // ")[-1]
    want_exit = int(want_exit)
    text = open(path, encoding="utf-8").read()
    problems = []
    try:
        doc = json.loads(text)
    except ValueError as e:
        doc, problems = {}, [f"not one JSON document: {e}: {text[:200]!r}"]
    if doc.get("schema_version") != 1: problems.append("schema_version is not 1")
    if not isinstance(doc.get("status"), int): problems.append("status is not an integer")
    if doc.get("exit_code") != want_exit: problems.append(f"exit_code {doc.get('exit_code')}")
    message = doc.get("message")
    if not isinstance(message, str) or "\n" in message: problems.append("message is not one line")
    elif want_exit == 0 and message != "ok": problems.append(f"message {message!r}, not ok")
    if fragment not in json.dumps(doc, ensure_ascii=False): problems.append(f"no {fragment!r}")
    if problems:
        print(f"FAIL {name} (--json): " + "; ".join(problems))
        failed = 1
sys.exit(failed)
PY

args=(--recording "${recordings[0]}")
for r in "${recordings[@]:1}"; do args+=(--recording "$r"); done
rc=0
ZELCTL=$zelctl ROWS=$rows CHECK=$check "$root/scripts/lab.sh" --quiet --printers "${#recordings[@]}" \
  "${args[@]}" -- bash -c '
  set -u
  # A name that only this lab knows, in the lab'"'"'s own mount namespace.
  hosts=$(mktemp)
  { cat /etc/hosts; echo "10.77.0.11 printer-one.lab"; } >"$hosts"
  mount --bind "$hosts" /etc/hosts || echo "warning: cannot add the lab host name"
  out=$(mktemp) err=$(mktemp) docs=$(mktemp -d) failed=0 n=0
  : >"$docs/list"
  while IFS="|" read -r name code fragment words; do
    n=$((n + 1))
    name=$(echo $name) code=$(echo $code) fragment=$(echo "$fragment" | sed "s/^ *//; s/ *$//")
    text_fragment=${fragment%% // *}
    eval "argv=($words)"
    # The plain run and the --json run go side by side.
    timeout 20 "$ZELCTL" --no-progress "${argv[@]}" >"$out" 2>"$err" &
    plain=$!
    timeout 20 "$ZELCTL" --no-progress --json "${argv[@]}" >"$docs/$n.json" 2>/dev/null &
    json=$!
    got=0 got_json=0
    wait "$plain" || got=$?
    wait "$json" || got_json=$?
    problem=""
    [ "$got" -eq "$code" ] || problem="exit code $got, not $code"
    cat "$out" "$err" | grep -qF -- "$text_fragment" || problem="$problem; no \"$text_fragment\""
    [ "$got_json" -eq "$code" ] || problem="$problem; --json: exit code $got_json"
    printf "%s\t%s\t%s\t%s\n" "$name" "$code" "$fragment" "$docs/$n.json" >>"$docs/list"
    if [ -n "$problem" ]; then
      echo "FAIL $name: ${problem#; }"; cat "$err"; failed=1
    else
      echo "ok   $name"
    fi
  done <<<"$ROWS"
  python3 "$CHECK" <"$docs/list" || failed=1
  exit "$failed"' || rc=$?
if [ "$rc" -ne 0 ] && [ "$rc" -ne 77 ]; then echo "zelctl lab test failed ($rc)"; fi
exit "$rc"
