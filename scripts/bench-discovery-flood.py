#!/usr/bin/env python3
"""Discovery under a datagram flood, on loopback only.

Runs one unicast discovery (zelctl discover ADDRESS, through the real
plug-in) of ADDRESS, where nothing answers from port 161. A flooder listens on
ADDRESS:161 for the discovery's request; when it arrives, the flooder sends
COUNT SNMPv1 Response datagrams that carry a supported sysObjectID to the
discovery's socket, each from its own source port, half of them from ADDRESS
itself and half from OTHER. With --wrong-id their request ID is not the
request's (a flooder that cannot see the request); by default it is (one that
can). Reports the devices found, the call's wall time against its budget
((retries + 1) x time-out) and the CPU time zelctl used (getrusage of the
child; a run without flood gives the part that is start-up and library load).

Every datagram goes to and from 127.0.0.0/8; the flooder stops after COUNT
datagrams or when zelctl has ended, and the whole run after its budget plus
ten seconds.

Usage: scripts/bench-discovery-flood.py [--zelctl PATH] [--library PATH]
           [--address 127.0.22.10] [--other 127.0.22.11] [--count 20000]
           [--timeout 1000] [--retries 2] [--wrong-id] [--no-flood]
"""
import argparse
import json
import os
import resource
import socket
import subprocess
import sys
import threading
import time

MODEL = "1.3.6.1.4.1.61802.1.11.93.1.37.22.4"
SYS_OBJECT_ID_0 = "1.3.6.1.2.1.1.2.0"


def read_tlv(data, pos):
    """(tag, content start, content end) of the element at pos."""
    tag = data[pos]
    n = data[pos + 1]
    pos += 2
    if n & 0x80:
        count = n & 0x7F
        n = int.from_bytes(data[pos:pos + count], "big")
        pos += count
    return tag, pos, pos + n


def length(n):
    if n < 0x80:
        return bytes([n])
    body = n.to_bytes((n.bit_length() + 7) // 8, "big")
    return bytes([0x80 | len(body)]) + body


def tlv(tag, content):
    return bytes([tag]) + length(len(content)) + content


def integer(v):
    return tlv(0x02, v.to_bytes(4, "big", signed=True))


def oid(text):
    parts = [int(p) for p in text.split(".")]
    out = bytearray([parts[0] * 40 + parts[1]])
    for p in parts[2:]:
        chunk = [p & 0x7F]
        p >>= 7
        while p:
            chunk.append(0x80 | (p & 0x7F))
            p >>= 7
        out += bytes(reversed(chunk))
    return tlv(0x06, bytes(out))


def parse_request(data):
    """(version, community, request ID) of a v1/v2c request."""
    _, pos, _ = read_tlv(data, 0)
    _, s, e = read_tlv(data, pos)
    version = int.from_bytes(data[s:e], "big", signed=True)
    _, s, e2 = read_tlv(data, e)
    community = bytes(data[s:e2])
    _, pdu, _ = read_tlv(data, e2)
    _, s, e = read_tlv(data, pdu)
    return version, community, int.from_bytes(data[s:e], "big", signed=True)


def response(version, community, request_id):
    binding = tlv(0x30, oid(SYS_OBJECT_ID_0) + oid(MODEL))
    pdu = tlv(0xA2, integer(request_id) + integer(0) + integer(0) + tlv(0x30, binding))
    return tlv(0x30, integer(version) + tlv(0x04, community) + pdu)


def flooder(args, listener, done, stats):
    listener.settimeout(0.2)
    while not done.is_set():
        try:
            data, requester = listener.recvfrom(65536)
            break
        except socket.timeout:
            continue
    else:
        return
    version, community, request_id = parse_request(data)
    if args.wrong_id:
        request_id = (request_id + 7919) & 0x7FFFFFFF
    message = response(version, community, request_id)
    start = time.monotonic()
    for i in range(args.count):
        if done.is_set():
            break
        source = (args.address if i % 2 else args.other, 20000 + i // 2)
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        try:
            s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            s.bind(source)
            s.sendto(message, requester)
            stats["sent"] += 1
        except OSError:
            stats["failed"] += 1
        finally:
            s.close()
    stats["flood_s"] = time.monotonic() - start


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--zelctl", default=os.path.join(root, "build/tools/zelctl/zelctl"))
    p.add_argument("--library", default=None, help="plug-in library (default: zelctl's)")
    p.add_argument("--address", default="127.0.22.10")
    p.add_argument("--other", default="127.0.22.11")
    p.add_argument("--count", type=int, default=20000)
    p.add_argument("--timeout", type=int, default=1000)
    p.add_argument("--retries", type=int, default=2)
    p.add_argument("--wrong-id", action="store_true")
    p.add_argument("--no-flood", action="store_true")
    args = p.parse_args()
    for a in (args.address, args.other):
        if not a.startswith("127."):
            sys.exit("loopback addresses only")
    if args.count < 0 or 20000 + (args.count + 1) // 2 > 65535:
        sys.exit("--count: 0 to 91070 (one source port each)")

    listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    listener.bind((args.address, 161))
    done = threading.Event()
    stats = {"sent": 0, "failed": 0, "flood_s": 0.0}
    thread = None
    if not args.no_flood:
        thread = threading.Thread(target=flooder, args=(args, listener, done, stats))
        thread.start()

    command = [args.zelctl, "--no-progress", "--json", "-t", str(args.timeout),
               "-r", str(args.retries)]
    if args.library:
        command += ["--library", args.library]
    command += ["discover", args.address]
    budget_ms = (args.retries + 1) * args.timeout
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    try:
        run = subprocess.run(command, capture_output=True, text=True,
                             timeout=budget_ms / 1000 + 10)
    finally:
        done.set()
        if thread:
            thread.join()
        listener.close()
    wall_ms = (time.monotonic() - start) * 1000
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu_ms = ((after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)) * 1000
    try:
        report = json.loads(run.stdout)
    except ValueError:
        sys.exit("zelctl gave no JSON: " + run.stdout[:200] + run.stderr[:200])
    devices = report.get("devices", [])
    addresses = sorted({d.get("address") for d in devices})
    print(f"flood: {stats['sent']} datagrams sent ({stats['failed']} failed) in "
          f"{stats['flood_s']:.2f} s, request ID {'wrong' if args.wrong_id else 'right'}"
          f"{' (no flood)' if args.no_flood else ''}")
    print(f"devices found: {len(devices)} at {len(addresses)} address(es) "
          f"{addresses[:4]}{' ...' if len(addresses) > 4 else ''}")
    print(f"discovery call: {report.get('elapsed_ms')} ms of a {budget_ms} ms budget; "
          f"zelctl in all {wall_ms:.0f} ms wall, {cpu_ms:.0f} ms CPU "
          f"(user {1000 * (after.ru_utime - before.ru_utime):.0f}, "
          f"system {1000 * (after.ru_stime - before.ru_stime):.0f}); exit {run.returncode}")


if __name__ == "__main__":
    main()
