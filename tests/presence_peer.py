#!/usr/bin/env python3
"""A scripted presence server on loopback for the client's end-to-end tests.

Usage: presence_peer.py WORK_FOLDER
Listens on a free UDP port of 127.0.0.1 and writes it to WORK_FOLDER/port. Every datagram it
receives is appended to WORK_FOLDER/received as "milliseconds type length [x y z yaw crouching]".
Hello (with the right magic) is answered with Welcome, id 5. Every 100 ms each client that said
Hello gets a Roster of the players listed in WORK_FOLDER/roster ("id x y z crouching" lines).
While WORK_FOLDER/silent exists it answers nothing and sends nothing. Runs until killed, 300 s at most.
"""
import os
import select
import socket
import struct
import sys
import time

work = sys.argv[1]
sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
sock.bind(("127.0.0.1", 0))
with open(os.path.join(work, "port.part"), "w") as out:
    out.write(str(sock.getsockname()[1]))
os.replace(os.path.join(work, "port.part"), os.path.join(work, "port"))

start = time.monotonic()
clients = set()
log = open(os.path.join(work, "received"), "a", buffering=1)
last_roster = 0.0


def roster():
    players = []
    try:
        with open(os.path.join(work, "roster")) as source:
            for line in source:
                fields = line.split()
                if len(fields) == 5:
                    players.append((int(fields[0]), float(fields[1]), float(fields[2]), float(fields[3]), int(fields[4])))
    except FileNotFoundError:
        pass
    message = bytes([0x52, len(players)])
    for pid, x, y, z, crouch in players:
        message += struct.pack("<BffffB", pid, x, y, z, 0.0, crouch)
    return message


while time.monotonic() - start < 300:
    ready, _, _ = select.select([sock], [], [], 0.02)
    silent = os.path.exists(os.path.join(work, "silent"))
    if ready:
        data, peer = sock.recvfrom(2048)
        ms = int((time.monotonic() - start) * 1000)
        kind = chr(data[0]) if data else "-"
        line = "%d %s %d" % (ms, kind, len(data))
        if kind == "S" and len(data) == 18:
            x, y, z, yaw, crouch = struct.unpack("<ffffB", data[1:])
            line += " %.4f %.4f %.4f %.4f %d" % (x, y, z, yaw, crouch)
        log.write(line + "\n")
        if kind == "H" and data == b"H1ZOQ" and not silent:
            clients.add(peer)
            sock.sendto(b"W\x05", peer)
        if kind == "B":
            clients.discard(peer)
    now = time.monotonic()
    if not silent and now - last_roster > 0.1:
        last_roster = now
        message = roster()
        for peer in list(clients):
            sock.sendto(message, peer)
