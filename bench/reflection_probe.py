#!/usr/bin/env python3
"""What a presence server sends back, measured from loopback addresses of our own.

  victim  PORT SECONDS [MS]     one address says Hello, then sends one State a second, or every MS
                                milliseconds (as a forger would in a victim's name); prints
                                datagrams and bytes in and back
  forge   PORT RATE SECONDS N   Hellos at RATE a second from N addresses 127.2.x.y, nothing else
  client  PORT SECONDS          a client on the real timetable (Hello every 250 ms until a Welcome,
                                then a State every 33 ms); prints when it was welcomed and listed and
                                how many rosters a second it got once listed

Every line printed is "name value". Loopback only, bounded by SECONDS.
"""
import socket
import struct
import sys
import time

HELLO = b"H1ZOQ"


def state(x=0.0, z=0.0):
    return b"S" + struct.pack("<ffff", x, 0.0, z, 0.0) + b"\0"


def bound_socket(host):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((host, 0))
    sock.setblocking(False)
    return sock


def drain(sock, received):
    while True:
        try:
            data = sock.recv(2048)
        except BlockingIOError:
            return
        received.append((time.monotonic(), data))


def victim(port, seconds, interval_ms=1000):
    sock = bound_socket("127.0.0.77")
    server = ("127.0.0.1", port)
    received, sent = [], []
    start = time.monotonic()
    next_send = start
    while time.monotonic() - start < seconds:
        if time.monotonic() >= next_send:
            message = HELLO if not sent else state(1.0, 1.0)
            sock.sendto(message, server)
            sent.append(message)
            next_send += interval_ms / 1000
        drain(sock, received)
        time.sleep(0.002)
    time.sleep(0.2)
    drain(sock, received)
    print("in", len(sent))
    print("in_bytes", sum(len(m) for m in sent))
    print("back", len(received))
    print("back_bytes", sum(len(d) for _, d in received))
    print("back_rosters", sum(1 for _, d in received if d[:1] == b"R"))


def forge(port, rate, seconds, addresses):
    socks = [bound_socket("127.2.%d.%d" % (i // 250, i % 250 + 1)) for i in range(addresses)]
    server = ("127.0.0.1", port)
    start = time.monotonic()
    sent = 0
    while True:
        elapsed = time.monotonic() - start
        if elapsed >= seconds:
            break
        due = int(elapsed * rate)
        while sent < due:
            try:
                socks[sent % addresses].sendto(HELLO, server)
            except BlockingIOError:
                pass
            sent += 1
        for sock in socks[: min(addresses, 64)]:
            drain(sock, [])
        time.sleep(0.001)
    print("forged", sent)
    print("forged_rate", round(sent / seconds))


def client(port, seconds):
    sock = bound_socket("127.0.0.88")
    server = ("127.0.0.1", port)
    own_id = -1
    start = time.monotonic()
    last_hello = last_state = -1.0
    welcomed_at = listed_at = None
    rosters_listed = 0
    received = []
    while time.monotonic() - start < seconds:
        now = time.monotonic()
        if own_id < 0 and now - last_hello > 0.25:
            sock.sendto(HELLO, server)
            last_hello = now
        elif own_id >= 0 and now - last_state >= 0.033:
            sock.sendto(state(2.0, 2.0), server)
            last_state = now
        received.clear()
        drain(sock, received)
        for at, data in received:
            if data[:1] == b"W" and len(data) == 2:
                own_id = data[1]
                if welcomed_at is None:
                    welcomed_at = at - start
            elif data[:1] == b"R" and len(data) >= 2:
                ids = [data[2 + 18 * i] for i in range(data[1]) if 2 + 18 * i < len(data)]
                if own_id in ids:
                    if listed_at is None:
                        listed_at = at - start
                    rosters_listed += 1
        time.sleep(0.001)
    print("welcomed_after_s", "%.3f" % welcomed_at if welcomed_at is not None else "never")
    print("listed_after_s", "%.3f" % listed_at if listed_at is not None else "never")
    listed_for = seconds - listed_at if listed_at is not None else 0
    print("rosters_a_second", "%.1f" % (rosters_listed / listed_for) if listed_for > 0 else "0")


if __name__ == "__main__":
    mode, arguments = sys.argv[1], [int(a) for a in sys.argv[2:]]
    {"victim": victim, "forge": forge, "client": client}[mode](*arguments)
