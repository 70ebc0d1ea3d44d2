#!/usr/bin/env bash
# Full device reads over a bad network, against the same reads over a good
# one. Builds the printer lab (scripts/lab.sh) twice with the same printers:
# once as it is, once with a fault relay on every printer's link (by default
# 20% loss each way, 10% duplication, 10% held back, 200 ms delay plus up to
# 20 ms jitter). In each lab every supported printer is read in full with
# `zelctl --json status` (options, every table, jobs, character sets); the
# reads of the faulty lab run at the same time. Then each faulty read's
# document is compared with the clean one (the request part aside), and the
# read times and the relays' counters are reported.
#
# Usage: scripts/bench-faults.sh [options]
#   --build DIR         build tree holding tools/zelctl/zelctl,
#                       plugin/libzelprinter.so and testing/fault_relay
#                       (default: the first build/* that has all three)
#   --printers N        printers in the lab (default 15: the supported-device
#                       recording and the 14 shared ones)
#   --faults SETTINGS   the relays' settings (default
#                       loss=0.2,duplicate=0.1,reorder=0.1,delay_ms=200,jitter_ms=20)
#   --seed BASE         the relays' seed base (default 1)
#   --timeout MS        zelctl's time-out per try in the faulty lab (default 1000)
#   --retries N         zelctl's retries in the faulty lab (default 15)
#   --out DIR           where the documents and the summary go
#                       (default: a new /tmp/zel-bench-faults.XXXXXX)
#   --bound S           each faulty lab ends after S seconds (default 1500)
#   --broken            then also read the supported-device recording, alone
#                       in a lab, from an agent that dies after 39 requests,
#                       at the third step of the storage walk (the relay
#                       drops every later request: cut_after=39), and from
#                       one that answers only garbage; zelctl -t 1000 -r 2.
#                       Reports each section's status and checks that the
#                       read lasted no longer than (retries + 1) x time-out
#                       per failing exchange, plus 2 s
#   --broken-only       only that
#   -h, --help          this text
#
# Why 1000 ms and 15 retries: a try fails when its request or its answer is
# lost, 1 - 0.8 x 0.8 = 0.36 of the time. Sixteen tries leave 0.36^16 = 8e-8
# per exchange, about 1e-4 for the whole run's 1,000-odd exchanges. A round
# trip is 400 to 440 ms, and up to 900 ms when both datagrams are held back
# (the hold-back is delay + jitter + 10 ms); 1000 ms waits that out, and an
# answer that comes later still answers the next try (same request ID).
#
# Exit status: 0 when every faulty read gives the clean read's document, 1
# when one differs, 2 for a usage error, 77 where the lab cannot be built.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; }
usage_error() { printf 'bench-faults: %s (see --help)\n' "$*" >&2; exit 2; }

build="" printers=15 seed=1 timeout=1000 retries=15 out="" bound=1500
broken=0 main=1
faults=loss=0.2,duplicate=0.1,reorder=0.1,delay_ms=200,jitter_ms=20
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --printers) printers=$2; shift 2 ;;
    --faults) faults=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --timeout) timeout=$2; shift 2 ;;
    --retries) retries=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --bound) bound=$2; shift 2 ;;
    --broken) broken=1; shift ;;
    --broken-only) broken=1; main=0; shift ;;
    -h | --help) usage; exit 0 ;;
    *) usage_error "unknown option '$1'" ;;
  esac
done
for n in "$printers" "$seed" "$timeout" "$retries" "$bound"; do
  [[ "$n" =~ ^[0-9]+$ ]] || usage_error "'$n' is not a number"
done

if [ -z "$build" ]; then
  for candidate in "$root"/build/*; do
    if [ -x "$candidate/tools/zelctl/zelctl" ] && [ -x "$candidate/testing/fault_relay" ] &&
        [ -e "$candidate/plugin/libzelprinter.so" ]; then
      build=$candidate; break
    fi
  done
fi
[ -n "$build" ] || usage_error "no build tree with zelctl, the library and fault_relay (--build)"
build=$(realpath "$build")
zelctl=$build/tools/zelctl/zelctl
relay=$build/testing/fault_relay
library=$build/plugin/libzelprinter.so
[ -n "$out" ] || out=$(mktemp -d /tmp/zel-bench-faults.XXXXXX)
mkdir -p "$out/clean" "$out/faults"
out=$(realpath "$out")

# Reads every supported printer of the lab it runs in. Arguments: OUTDIR
# TIMEOUT RETRIES PARALLEL(0/1). Writes ADDRESS.json, ADDRESS.status (exit
# code and wall seconds) and, in a faulty lab, ADDRESS.relay.json.
reader=$(cat <<'EOF'
set -u
dir=$1 timeout=$2 retries=$3 parallel=$4
read_one() {
  local a=$1 start end rc=0
  start=$(date +%s.%N)
  "$ZELCTL" --library "$LIBRARY" --json --no-progress -t "$timeout" -r "$retries" \
    status "$a" >"$dir/$a.json" 2>"$dir/$a.stderr" || rc=$?
  end=$(date +%s.%N)
  awk -v rc="$rc" -v s="$start" -v e="$end" 'BEGIN { printf "%s %.3f\n", rc, e - s }' \
    >"$dir/$a.status"
}
# The relays have already seen the lab's own start-up probes: their counters
# are taken before and after the reads.
relay_stats() {
  [ -n "${ZEL_LAB_RELAY_STATS:-}" ] || return 0
  sleep 1  # the relays rewrite their counters every half second
  for a in $ZEL_LAB_SUPPORTED; do cp "$ZEL_LAB_RELAY_STATS/$a.json" "$dir/$a.$1.json"; done
}
relay_stats relay-before
for a in $ZEL_LAB_SUPPORTED; do
  if [ "$parallel" -eq 1 ]; then read_one "$a" & else read_one "$a"; fi
done
wait
cp "$ZEL_LAB_TABLE" "$dir/printers.tsv"
relay_stats relay
EOF
)
export ZELCTL=$zelctl LIBRARY=$library

rc=0 main_rc=0
if [ "$main" -eq 1 ]; then
echo "bench-faults: clean lab, $printers printers" >&2
timeout "$bound" "$root/scripts/lab.sh" --quiet --printers "$printers" -- \
  bash -c "$reader" reader "$out/clean" 2000 1 0 || rc=$?
[ "$rc" -ne 77 ] || exit 77
[ "$rc" -eq 0 ] || { echo "bench-faults: the clean lab failed ($rc)" >&2; exit 1; }

echo "bench-faults: faulty lab ($faults), time-out $timeout ms, retries $retries" >&2
start=$(date +%s.%N)
timeout "$bound" "$root/scripts/lab.sh" --quiet --printers "$printers" \
  --faults "$faults" --faults-seed "$seed" --relay "$relay" -- \
  bash -c "$reader" reader "$out/faults" "$timeout" "$retries" 1 || rc=$?
end=$(date +%s.%N)
[ "$rc" -eq 0 ] || { echo "bench-faults: the faulty lab failed ($rc)" >&2; exit 1; }

python3 - "$out" "$faults" "$timeout" "$retries" "$(awk -v s="$start" -v e="$end" 'BEGIN { print e - s }')" <<'PY' | tee "$out/summary.txt"
import json, os, sys
out, faults, timeout, retries, lab_seconds = sys.argv[1:]
def doc(path):
    with open(path) as f:
        d = json.load(f)
    d.pop("request", None)
    d.pop("library", None)
    return d
names = {}
with open(os.path.join(out, "clean", "printers.tsv")) as f:
    for line in f:
        cells = line.rstrip("\n").split("\t")
        names[cells[1]] = os.path.basename(cells[5])
print(f"faults: {faults}; zelctl -t {timeout} -r {retries}; faulty lab {float(lab_seconds):.0f} s wall")
print(f"{'printer':12} {'recording':32} {'clean s':>8} {'fault s':>8} {'exch':>5} {'tries':>6} "
      f"{'retries':>7} {'req lost':>8} {'ans lost':>8} {'dup':>5} {'held':>5} {'overtk':>6}  equal")
all_equal = True
totals = dict(exch=0, tries=0, rq=0, an=0, dup=0, held=0, over=0)
for a in sorted(names, key=lambda s: tuple(int(x) for x in s.split("."))):
    clean_json = os.path.join(out, "clean", a + ".json")
    if not os.path.exists(clean_json):
        continue
    c_rc, c_s = open(os.path.join(out, "clean", a + ".status")).read().split()
    f_rc, f_s = open(os.path.join(out, "faults", a + ".status")).read().split()
    after = json.load(open(os.path.join(out, "faults", a + ".relay.json")))
    before = json.load(open(os.path.join(out, "faults", a + ".relay-before.json")))
    r = {k: after[k] - before.get(k, 0) for k in after}
    try:
        equal = doc(clean_json) == doc(os.path.join(out, "faults", a + ".json"))
    except (OSError, ValueError):
        equal = False
    equal = equal and c_rc == f_rc
    all_equal &= equal
    # A retry resends the same octets from the same socket; the relay counts
    # those as repeats. Everything else it receives starts an exchange.
    tries = r["requests"]
    exch = tries - r["repeats"]
    for k, v in (("exch", exch), ("tries", tries), ("rq", r["requests_dropped"]),
                 ("an", r["answers_dropped"]), ("dup", r["duplicated"]),
                 ("held", r["held"]), ("over", r["overtaken"])):
        totals[k] += v
    print(f"{a:12} {names[a]:32} {float(c_s):8.2f} {float(f_s):8.2f} {exch:5} {tries:6} "
          f"{tries - exch:7} {r['requests_dropped']:8} {r['answers_dropped']:8} "
          f"{r['duplicated']:5} {r['held']:5} {r['overtaken']:6}  "
          f"{'yes' if equal else 'NO'} (exit {c_rc}/{f_rc})")
t = totals
print(f"{'total':12} {'':32} {'':8} {'':8} {t['exch']:5} {t['tries']:6} {t['tries'] - t['exch']:7} "
      f"{t['rq']:8} {t['an']:8} {t['dup']:5} {t['held']:5} {t['over']:6}  "
      f"{'all equal' if all_equal else 'DIFFERENT'}")
sys.exit(0 if all_equal else 1)
PY
  main_rc=${PIPESTATUS[0]}
fi

[ "$broken" -eq 1 ] || exit "$main_rc"

# --- broken agents ------------------------------------------------------------
broken_timeout=1000 broken_retries=2
broken_reader=$(cat <<'EOF'
set -u
dir=$1 timeout=$2 retries=$3
a=$ZEL_LAB_SUPPORTED
cp "$ZEL_LAB_RELAY_STATS/$a.json" "$dir/relay-before.json"
start=$(date +%s.%N)
rc=0
"$ZELCTL" --library "$LIBRARY" --json --no-progress -t "$timeout" -r "$retries" \
  status "$a" >"$dir/read.json" 2>"$dir/read.stderr" || rc=$?
end=$(date +%s.%N)
awk -v rc="$rc" -v s="$start" -v e="$end" 'BEGIN { printf "%s %.3f\n", rc, e - s }' >"$dir/read.status"
sleep 1
cp "$ZEL_LAB_RELAY_STATS/$a.json" "$dir/relay.json"
EOF
)
broken_rc=0
for case in "dead-after-39:cut_after=39" "garbage-only:answer_loss=1,garbage=1"; do
  name=${case%%:*} settings=${case#*:}
  mkdir -p "$out/broken-$name"
  echo "bench-faults: $name ($settings), time-out $broken_timeout ms, retries $broken_retries" >&2
  timeout "$bound" "$root/scripts/lab.sh" --quiet --printers 1 \
    --recording "$root/options/testdata/supported-device.snmprec@supported" \
    --faults "$settings" --relay "$relay" -- \
    bash -c "$broken_reader" reader "$out/broken-$name" "$broken_timeout" "$broken_retries" ||
    { echo "bench-faults: the $name lab failed" >&2; broken_rc=1; }
done
python3 - "$out" "$broken_timeout" "$broken_retries" <<'PY' | tee "$out/broken.txt" || broken_rc=1
import json, os, sys
out, timeout, retries = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
ok = True
for name in ("dead-after-39", "garbage-only"):
    d = os.path.join(out, "broken-" + name)
    rc, seconds = open(os.path.join(d, "read.status")).read().split()
    seconds = float(seconds)
    after = json.load(open(os.path.join(d, "relay.json")))
    before = json.load(open(os.path.join(d, "relay-before.json")))
    r = {k: after[k] - before.get(k, 0) for k in after}
    doc = json.load(open(os.path.join(d, "read.json")))
    # Every request the dead or garbage agent left unanswered belongs to a
    # failing exchange, which sends exactly retries + 1 of them.
    unanswered = r["requests_dropped"] if name.startswith("dead") else r["requests"]
    failing = unanswered / (retries + 1)
    bound = failing * (retries + 1) * timeout / 1000.0
    within = seconds <= bound + 2.0 and unanswered % (retries + 1) == 0
    ok &= within
    sections = [f"open {doc['open']['status']}"] + [
        f"{f['section']} {f['status']}" for f in doc.get("failures", [])]
    print(f"{name}: zelctl exit {rc}, {seconds:.2f} s; requests {r['requests']}, unanswered "
          f"{unanswered} = {failing:g} failing exchanges x {retries + 1} tries; bound "
          f"{bound:.1f} s (+2 s): {'within' if within else 'EXCEEDED'}")
    print("  statuses: " + ", ".join(sections))
sys.exit(0 if ok else 1)
PY
[ "$main_rc" -eq 0 ] && [ "$broken_rc" -eq 0 ]
