#!/usr/bin/env bash
# The main job: install what is needed, build the plug-in and zelctl, start
# the printer lab with the default recordings (the project's own recordings
# of the supported device and of a foreign model, and the shared real-printer
# recordings, half of them served as supported devices), discover the
# printers by IPv4 broadcast and IPv6 multicast, read the full status of every
# supported device found, cancel one job on one of them, print it all and
# clean up. Without the shared folder beside the clone (or with --no-shared)
# the lab serves the project's own recordings only.
#
# Every step is reported with the meaning of its status. Any failing step, or
# a discovery that misses or invents a device, fails the job.
#
# Usage: scripts/main-job.sh [--skip-install] [--build-dir DIR] [--printers N]
#                            [--no-shared]
# Exit status: 0 passed; 1 a step failed; 77 no network namespaces here.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# --- inside the lab ----------------------------------------------------------

# zelctl's exit codes (tools/zelctl/status_text.h).
readonly kExitNotAvailable=6 kExitUnsupported=5 kExitNothingFound=10

in_lab() {
  local zelctl=$1 out=$2
  local failures=0 pending=()
  # Every layer is built: "not supported" (-5) or "no device opened" (-8)
  # from a step is a failure like any other.
  note_pending() { fail "$1"; }
  fail() { printf 'FAILED: %s\n' "$1"; failures=$((failures + 1)); }

  printf '\n==== The lab\n'
  awk -F'\t' '{ printf "  %-3s %-12s %-10s %-9s %-40s %s\n", $1, $2, $3,
                ($5 == "yes" ? "supported" : "other"), $4, $6 }' "$ZEL_LAB_TABLE"
  local expected
  expected=$(tr ' ' '\n' <<<"$ZEL_LAB_SUPPORTED" | sed '/^$/d' | sort)

  local found_all=""
  local proto dest
  for proto in ipv4 ipv6; do
    dest=255.255.255.255
    [ "$proto" = ipv6 ] && dest=ff02::1
    printf '\n==== zelctl discover (%s, %s)\n' "$proto" "$dest"
    local rc=0
    "$zelctl" --no-progress -p "$proto" -t 1000 -r 1 discover >"$out/discover-$proto.txt" \
      2>"$out/discover-$proto.err" || rc=$?
    cat "$out/discover-$proto.txt" "$out/discover-$proto.err"
    "$zelctl" --no-progress --json -p "$proto" -t 1000 -r 0 discover \
      >"$out/discover-$proto.json" 2>/dev/null || true
    if [ "$rc" -eq "$kExitNotAvailable" ]; then
      note_pending "discover $proto: $(tail -n 1 "$out/discover-$proto.err")"
      continue
    fi
    if [ "$rc" -ne 0 ] && [ "$rc" -ne "$kExitNothingFound" ]; then
      fail "discover $proto exited $rc: $(tail -n 1 "$out/discover-$proto.err")"
      continue
    fi
    local got want
    got=$(python3 -c 'import json,sys; [print(d["address"]) for d in json.load(open(sys.argv[1]))["devices"]]' \
      "$out/discover-$proto.json" | sort)
    want=$expected
    [ "$proto" = ipv6 ] && want=$(tr ' ' '\n' <<<"$ZEL_LAB_SUPPORTED6" | sed '/^$/d' | sort)
    if [ "$got" = "$want" ]; then
      printf 'discover %s: found all %s supported printers and nothing else\n' \
        "$proto" "$(wc -w <<<"$want")"
    else
      fail "discover $proto found [$(echo $got)], the lab serves supported devices at [$(echo $want)]"
    fi
    [ "$proto" = ipv4 ] && found_all=$got
  done

  local targets=$found_all
  if [ -z "$targets" ]; then
    printf '\nDiscovery gave no devices; reading the lab'"'"'s supported printers by address.\n'
    targets=$expected
  fi
  local a
  for a in $targets; do
    printf '\n==== zelctl status %s\n' "$a"
    local rc=0
    "$zelctl" -t 1000 -r 1 status "$a" >"$out/status-$a.txt" 2>"$out/status-$a.err" || rc=$?
    cat "$out/status-$a.txt" "$out/status-$a.err"
    "$zelctl" --json -t 1000 -r 1 status "$a" >"$out/status-$a.json" 2>/dev/null || true
    case $rc in
      0) printf 'status %s: every section read (%s)\n' "$a" "$(summarise "$out/status-$a.json")" ;;
      "$kExitNotAvailable") note_pending "status $a: $(head -n 1 "$out/status-$a.err")" ;;
      *) fail "status $a exited $rc: $(head -n 1 "$out/status-$a.err")" ;;
    esac
  done

  # One device that is not of the supported family must be refused.
  local other
  other=$(awk -F'\t' '$5 == "no" { print $2; exit }' "$ZEL_LAB_TABLE")
  if [ -n "$other" ]; then
    printf '\n==== zelctl status %s (not a supported model)\n' "$other"
    local rc=0
    "$zelctl" -t 1000 -r 1 status "$other" >/dev/null 2>"$out/other.err" || rc=$?
    cat "$out/other.err"
    case $rc in
      "$kExitUnsupported") printf 'status %s: refused as not supported, as it should be\n' "$other" ;;
      "$kExitNotAvailable") note_pending "status $other (unsupported model): $(head -n 1 "$out/other.err")" ;;
      *) fail "status $other (unsupported model) exited $rc instead of $kExitUnsupported" ;;
    esac
  fi

  cancel_one_job "$zelctl" "$out" "$targets"

  printf '\n==== Summary\n'
  if [ ${#pending[@]} -gt 0 ]; then
    printf 'Not available in this build yet (the plug-in answered -5 "not supported" or -8 "no device opened"):\n'
    printf '  %s\n' "${pending[@]}"
  fi
  if [ "$failures" -gt 0 ]; then
    printf 'RESULT: FAILED (%s step(s) failed)\n' "$failures"
    return 1
  fi
  if [ ${#pending[@]} -gt 0 ]; then
    printf 'RESULT: PASSED for what is built (%s step(s) not available yet)\n' "${#pending[@]}"
  else
    printf 'RESULT: PASSED (discovery, every status read and one job cancel)\n'
  fi
}

# Cancels one job that a status read listed, on a printer that serves one of
# the project's own recordings when one has jobs, and checks that the printer
# took the set (its job operation cell reads 1414 under the write community).
cancel_one_job() {
  local zelctl=$1 out=$2 targets=$3 a job="" addr="" own
  for own in yes no; do
    for a in $targets; do
      [ -f "$out/status-$a.json" ] || continue
      local recording
      recording=$(awk -F'\t' -v a="$a" '$2 == a { print $6 }' "$ZEL_LAB_TABLE")
      case $recording in "$root"/*) [ "$own" = yes ] || continue ;;
                         *) [ "$own" = no ] || continue ;; esac
      # A job still in progress (state value 17 marks the finished ones).
      job=$(python3 -c 'import json,sys
d = json.load(open(sys.argv[1]))
jobs = [j for j in (d.get("jobs") or {}).get("records", []) if j["job_id"]]
jobs.sort(key=lambda j: j["job_state"] == 17)
print(jobs[0]["job_id"] if jobs else "")' "$out/status-$a.json" 2>/dev/null || true)
      if [ -n "$job" ]; then addr=$a; break 2; fi
    done
  done
  printf '\n==== zelctl cancel-job %s %s\n' "${addr:-(none)}" "${job:-(none)}"
  if [ -z "$job" ]; then
    fail "cancel-job: no status read listed a job to cancel"
    return 0
  fi
  local rc=0
  "$zelctl" -t 1000 -r 1 cancel-job "$addr" "$job" >"$out/cancel.txt" 2>"$out/cancel.err" || rc=$?
  cat "$out/cancel.txt" "$out/cancel.err"
  if [ "$rc" -ne 0 ]; then
    fail "cancel-job $addr $job exited $rc: $(head -n 1 "$out/cancel.err")"
    return 0
  fi
  local index cell
  index=$(python3 -c 'import sys; t = sys.argv[1].encode(); print(".".join(map(str, [101, len(t), *t])))' "$job")
  cell=$(snmpget -m '' -v2c -c dazavud -t 1 -r 1 -Oqv "$addr" \
    "1.3.6.1.4.1.61801.8.76.3.2.1.1.$index" 2>&1 || true)
  if [ "$cell" = 1414 ]; then
    printf 'cancel-job %s %s: cancelled (the job operation cell now reads 1414)\n' "$addr" "$job"
  else
    fail "cancel-job $addr $job: zelctl reported success, but the printer's job operation cell reads '$cell'"
  fi
}

# "storage 3, devices 5, input trays 2, ..." from a status document.
summarise() {
  python3 - "$1" <<'PY'
import json, sys
d = json.load(open(sys.argv[1]))
parts = []
for key in ("storage", "devices", "input_trays", "output_trays", "toner", "alerts", "jobs"):
    t = d.get(key) or {}
    parts.append(f"{key.replace('_', ' ')} {len(t.get('records', []))}")
opts = [v for v in (d.get("options") or {}).get("values", []) if v["status"] == 0]
parts.append(f"options {len(opts)}")
print(", ".join(parts))
PY
}

# --- outside -----------------------------------------------------------------

main() {
  local skip_install=0 build="$root/build/main-job" printers=all no_shared=0
  while [ $# -gt 0 ]; do
    case $1 in
      --skip-install) skip_install=1; shift ;;
      --build-dir) build=$2; shift 2 ;;
      --printers) printers=$2; shift 2 ;;
      --no-shared) no_shared=1; shift ;;
      -h | --help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
      *) echo "main-job: unknown option '$1'" >&2; exit 2 ;;
    esac
  done
  cd "$root"
  printf '==== Installing dependencies\n'
  if [ "$skip_install" -eq 0 ]; then bash scripts/install-deps.sh; fi

  printf '==== Building the plug-in and zelctl (%s)\n' "$build"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_TESTS=OFF >/dev/null ||
    { printf 'RESULT: FAILED (cmake could not configure the build)\n'; exit 1; }
  if ! cmake --build "$build" -j "$(nproc)" --target zelctl zel; then
    printf 'RESULT: FAILED (the plug-in or zelctl does not build)\n'
    exit 1
  fi
  local zelctl="$build/tools/zelctl/zelctl"

  # Every default recording gets a printer of its own ("all").
  local lab_args=(--printers "$printers")
  local shared
  shared=$(realpath -m "$root/../shared/testdata/printers")
  if [ "$no_shared" -eq 1 ]; then
    lab_args+=(--no-shared)
    printf 'main-job: --no-shared: the lab serves the project'"'"'s own recordings only\n'
  elif ! compgen -G "$shared/printer-*.snmprec" >/dev/null; then
    lab_args+=(--no-shared)
    printf 'main-job: no shared recordings in %s: the lab serves the project'"'"'s own recordings only\n' "$shared"
  fi

  local out
  out=$(mktemp -d /tmp/zel-main-job.XXXXXX)
  main_job_out=$out
  trap 'rm -rf "$main_job_out"' EXIT
  chmod 755 "$out"
  if [ "$printers" = all ]; then
    printf '==== Starting the lab (one printer per recording)\n'
  else
    printf '==== Starting the lab (%s printers)\n' "$printers"
  fi
  local rc=0
  bash scripts/lab.sh "${lab_args[@]}" -- \
    bash "$root/scripts/main-job.sh" __in-lab "$zelctl" "$out" || rc=$?
  if [ "$rc" -eq 77 ]; then
    echo "main-job: this machine permits no network namespaces; the lab cannot run" >&2
  fi
  return "$rc"
}

if [ "${1:-}" = __in-lab ]; then
  shift
  in_lab "$@"
else
  main "$@"
fi
