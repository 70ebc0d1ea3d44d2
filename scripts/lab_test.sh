#!/usr/bin/env bash
# Proves the lab: two simulated printers answer the client namespace by
# unicast (snmpget over IPv4 and IPv6) and both answer one IPv4 broadcast and
# one IPv6 multicast to port 161. Exits 77 (skip) where the machine permits
# no network namespaces, and when snmpsimd or the shared recordings are absent.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
command -v snmpsimd >/dev/null || { echo "skip: snmpsimd is not installed"; exit 77; }
ls "$root"/../shared/testdata/printers/printer-0*.snmprec >/dev/null 2>&1 ||
  { echo "skip: no shared recordings in ../shared/testdata/printers"; exit 77; }

probe=$(mktemp /tmp/zel-lab-probe.XXXXXX)
trap 'rm -f "$probe"' EXIT
cat >"$probe" <<'PY'
import os, socket, sys, time
# v2c GetRequest sysObjectID.0, community "public", request-id 42.
body = bytes([2, 1, 1, 4, 6]) + b"public" + bytes([
    0xa0, 0x19, 2, 1, 42, 2, 1, 0, 2, 1, 0, 0x30, 0x0e, 0x30, 0x0c,
    6, 8, 0x2b, 6, 1, 2, 1, 1, 2, 0, 5, 0])
msg = bytes([0x30, len(body)]) + body
ok = True
for fam, dst, want in ((socket.AF_INET, "255.255.255.255", os.environ["ZEL_LAB_PRINTERS"]),
                       (socket.AF_INET6, "ff02::1", os.environ["ZEL_LAB_PRINTERS6"])):
    s = socket.socket(fam, socket.SOCK_DGRAM)
    if fam == socket.AF_INET:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    s.sendto(msg, (dst, 161))
    s.settimeout(0.2)
    got, end = set(), time.time() + 2
    while time.time() < end and got != set(want.split()):
        try:
            got.add(s.recvfrom(2048)[1][0])
        except socket.timeout:
            pass
    print(f"{dst}: answered by {' '.join(sorted(got))}")
    ok = ok and got == set(want.split())
sys.exit(0 if ok else 1)
PY

rc=0
"$root/scripts/lab.sh" --printers 2 -- bash -c '
  set -e
  for a in $ZEL_LAB_PRINTERS; do
    snmpget -m "" -v2c -c public -t 1 -r 2 -On "$a" 1.3.6.1.2.1.1.2.0
  done
  for a in $ZEL_LAB_PRINTERS6; do
    snmpget -m "" -v2c -c vorovo -t 1 -r 2 -On "udp6:[$a]" 1.3.6.1.2.1.1.2.0
  done
  [ -n "$ZEL_LAB_SUPPORTED" ] || { echo "no supported printer in the lab"; exit 1; }
  python3 "$1"' lab-test "$probe" || rc=$?
if [ "$rc" -ne 0 ] && [ "$rc" -ne 77 ]; then echo "lab test failed ($rc)"; fi
exit "$rc"
