#!/usr/bin/env python3
"""A name server on 127.0.0.1:53 for the fault tests, run in a network namespace of the test's own
(where binding port 53 is allowed and /etc/resolv.conf points here).

Usage: name_server.py WORK_FOLDER
"presence.test" resolves to 127.0.0.1, after the seconds written in WORK_FOLDER/dns-delay (0 when
missing); while WORK_FOLDER/dns-silent exists no question is answered at all, as with a name server
that has gone away behind a firewall. Every other name does not exist. Each question asked is
appended to WORK_FOLDER/dns-asked. Runs until killed, 300 s at most.
"""
import os
import select
import socket
import struct
import sys
import time

work = sys.argv[1]
sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
sock.bind(("127.0.0.1", 53))
start = time.monotonic()
pending = []  # (when, answer, peer)


def answer(query):
    """The reply to a standard query: its question copied, an A record for presence.test."""
    end = 12
    labels = []
    while end < len(query) and query[end]:
        labels.append(query[end + 1:end + 1 + query[end]].decode("ascii", "replace"))
        end += 1 + query[end]
    end += 5  # the root label, type and class
    name = ".".join(labels).lower()
    with open(os.path.join(work, "dns-asked"), "a") as asked:
        asked.write(name + "\n")
    known = name == "presence.test"
    header = query[:2] + struct.pack("!HHHHH", 0x8180 if known else 0x8183, 1, 1 if known else 0, 0, 0)
    record = struct.pack("!HHHIH", 0xC00C, 1, 1, 0, 4) + socket.inet_aton("127.0.0.1") if known else b""
    return header + query[12:end] + record


while time.monotonic() - start < 300:
    ready, _, _ = select.select([sock], [], [], 0.02)
    now = time.monotonic()
    if ready:
        query, peer = sock.recvfrom(2048)
        if len(query) > 12 and not os.path.exists(os.path.join(work, "dns-silent")):
            try:
                delay = float(open(os.path.join(work, "dns-delay")).read())
            except (OSError, ValueError):
                delay = 0.0
            pending.append((now + delay, answer(query), peer))
    for item in [p for p in pending if p[0] <= now]:
        sock.sendto(item[1], item[2])
        pending.remove(item)
