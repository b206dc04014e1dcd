#!/usr/bin/env python3
"""A scripted presence server on loopback for the client's end-to-end tests.

Usage: presence_peer.py WORK_FOLDER [--watch PORT]
Listens on a free UDP port of 127.0.0.1 and writes it to WORK_FOLDER/port. Every datagram it
receives is appended to WORK_FOLDER/received as "milliseconds type length [x y z yaw crouching]",
the milliseconds (to the microsecond) being when the kernel received it since the peer started: a
pause in reading (a busy machine) shifts no datagram's time.
Hello (with the right magic) is answered with Welcome, id 5. Every 100 ms each client that said
Hello gets a Roster of the players listed in WORK_FOLDER/roster ("id x y z crouching" lines).
While WORK_FOLDER/silent exists it answers nothing and sends nothing. When WORK_FOLDER/bye appears
it sends every client a ServerBye, forgets them and removes the file. Runs until killed, 300 s at most.

With --watch PORT it only listens in: every datagram sent to PORT on the loopback interface (whoever
receives it, if anyone) is recorded the same way. That needs a raw socket, so it runs in a network
namespace of the test's own.
"""
import os
import select
import socket
import struct
import sys
import time

# Linux's values (socket.h), which Python does not name.
SO_TIMESTAMPNS = 35
SCM_TIMESTAMPNS = SO_TIMESTAMPNS

work = sys.argv[1]
watch = int(sys.argv[3]) if sys.argv[2:3] == ["--watch"] else None
if watch:
    sock = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(0x0800))
    sock.bind(("lo", 0))
else:
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("127.0.0.1", 0))
    with open(os.path.join(work, "port.part"), "w") as out:
        out.write(str(sock.getsockname()[1]))
    os.replace(os.path.join(work, "port.part"), os.path.join(work, "port"))
sock.setsockopt(socket.SOL_SOCKET, SO_TIMESTAMPNS, 1)

start = time.monotonic()
# The kernel's stamps are on the real-time clock.
start_realtime = time.time()
clients = set()
log = open(os.path.join(work, "received"), "a", buffering=1)
last_roster = 0.0


def watched(frame, pkttype):
    """The UDP payload of an Ethernet frame bound for the watched port, once per datagram (loopback
    shows each one going out and coming in)."""
    if pkttype == socket.PACKET_OUTGOING or len(frame) < 14 + 20 + 8 or frame[14 + 9] != 17:
        return None
    udp = 14 + (frame[14] & 15) * 4
    return frame[udp + 8:] if struct.unpack("!H", frame[udp + 2:udp + 4])[0] == watch else None


def arrival(ancillary):
    """Seconds since the peer started at which the kernel received the datagram."""
    for level, kind, data in ancillary:
        if level == socket.SOL_SOCKET and kind == SCM_TIMESTAMPNS and len(data) >= 16:
            seconds, nanoseconds = struct.unpack("qq", data[:16])
            return seconds + nanoseconds / 1e9 - start_realtime
    return time.time() - start_realtime


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
        data, ancillary, _, peer = sock.recvmsg(2048, socket.CMSG_SPACE(16))
        if watch:
            data = watched(data, peer[2])
            if data is None:
                continue
        kind = chr(data[0]) if data else "-"
        line = "%.3f %s %d" % (arrival(ancillary) * 1000, kind, len(data))
        if kind == "S" and len(data) == 18:
            x, y, z, yaw, crouch = struct.unpack("<ffffB", data[1:])
            line += " %.4f %.4f %.4f %.4f %d" % (x, y, z, yaw, crouch)
        log.write(line + "\n")
        if watch:
            continue
        if kind == "H" and data == b"H1ZOQ" and not silent:
            clients.add(peer)
            sock.sendto(b"W\x05", peer)
        if kind == "B":
            clients.discard(peer)
    if watch:
        continue
    if os.path.exists(os.path.join(work, "bye")):
        for peer in clients:
            sock.sendto(b"F", peer)
        clients.clear()
        os.remove(os.path.join(work, "bye"))
    now = time.monotonic()
    if not silent and now - last_roster > 0.1:
        last_roster = now
        message = roster()
        for peer in list(clients):
            sock.sendto(message, peer)
