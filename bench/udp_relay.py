#!/usr/bin/env python3
"""A UDP relay on loopback that makes the network worse on purpose, for the bench.

Clients name the relay as their server. It forwards every datagram both ways, through one upstream
socket per client address so the server still sees distinct players, and impairs the traffic as
asked: loss, delay with jitter (which reorders), duplication, a partition that heals, and a move to
another server (at a set time or on SIGUSR1). Loopback only (127.0.0.0/8), bounded by --seconds.

Usage: udp_relay.py --listen PORT --server HOST:PORT --seconds S [--loss SHARE] [--delay MS]
         [--jitter MS] [--duplicate SHARE] [--partition AT:SECONDS] [--switch-to HOST:PORT]
         [--switch-at SECONDS] [--trace FILE] [--seed N]
Times AT and --switch-at count from the relay's start. Each datagram is judged once on arrival (lost,
cut by the partition, or kept and copied) and again when due (cut if the partition began meanwhile).
Prints one line when listening and a summary at the end. --trace writes a line per datagram event:
  <ms on CLOCK_MONOTONIC> <up|down> <client port> <type letter> <in|out|lost|cut|stale> [fields]
where the "in" and "out" lines of a State carry x y z yaw crouching, of a Welcome the id, and of a
Roster the count and id:x,y,z per record (floats as %.9g, so they compare exactly with the client's).
"""
import argparse
import heapq
import ipaddress
import random
import select
import signal
import socket
import struct
import sys
import time

MaxClients = 64  # each client costs an upstream socket; more than a bench needs
SoTimestampNs = 35  # SO_TIMESTAMPNS on Linux; Python does not name it
LongestWait = 0.02  # seconds; also how soon a SIGUSR1 takes effect


def loopback_address(text):
    host, _, port = text.rpartition(":")
    if not ipaddress.ip_address(host).is_loopback:
        raise argparse.ArgumentTypeError(f"{text}: only 127.0.0.0/8 is allowed")
    return host, int(port)


def share(text):
    value = float(text)
    if not 0 <= value <= 1:
        raise argparse.ArgumentTypeError(f"{text}: a share is between 0 and 1")
    return value


def window(text):
    at, _, seconds = text.partition(":")
    return float(at), float(seconds)


def parse_arguments():
    parser = argparse.ArgumentParser(description="An impairing UDP relay on loopback.")
    parser.add_argument("--listen", type=int, required=True, help="port on 127.0.0.1 the clients send to")
    parser.add_argument("--server", type=loopback_address, required=True, help="HOST:PORT of the server")
    parser.add_argument("--seconds", type=float, required=True, help="stop after this long")
    parser.add_argument("--loss", type=share, default=0.0, help="share of datagrams dropped")
    parser.add_argument("--delay", type=float, default=0.0, help="milliseconds each datagram is held")
    parser.add_argument("--jitter", type=float, default=0.0, help="± milliseconds, uniform, on the delay")
    parser.add_argument("--duplicate", type=share, default=0.0, help="share of datagrams sent twice")
    parser.add_argument("--partition", type=window, help="AT:SECONDS: drop everything in that window")
    parser.add_argument("--switch-to", type=loopback_address, help="HOST:PORT of the server to move to")
    parser.add_argument("--switch-at", type=float, help="move at this many seconds (else on SIGUSR1)")
    parser.add_argument("--trace", help="file for one line per datagram event")
    parser.add_argument("--seed", type=int, default=1)
    arguments = parser.parse_args()
    if arguments.switch_at is not None and not arguments.switch_to:
        parser.error("--switch-at needs --switch-to")
    return arguments


def describe(data):
    """The trace's fields for a datagram from a client or the server."""
    kind = chr(data[0]) if data and 32 < data[0] < 127 else "?"
    fields = ""
    if kind == "S" and len(data) == 18:
        x, y, z, yaw, crouching = struct.unpack("<ffffB", data[1:])
        fields = f" {x:.9g} {y:.9g} {z:.9g} {yaw:.9g} {crouching}"
    elif kind == "W" and len(data) == 2:
        fields = f" {data[1]}"
    elif kind == "R" and len(data) >= 2 and len(data) == 2 + 18 * data[1]:
        records = [struct.unpack("<Bfff", data[2 + 18 * i:15 + 18 * i]) for i in range(data[1])]
        fields = f" {data[1]}" + "".join(f" {i}:{x:.9g},{y:.9g},{z:.9g}" for i, x, y, z in records)
    return kind, fields


class Relay:
    def __init__(self, arguments):
        self.arguments = arguments
        self.random = random.Random(arguments.seed)
        self.started = time.monotonic()
        # Kernel arrival stamps are on the real-time clock; this turns them into monotonic times.
        self.realtime_offset = time.time() - time.monotonic()
        self.server = arguments.server
        self.switched_at = None
        self.switch_requested = False
        self.listen = self.open_socket(("127.0.0.1", arguments.listen))
        self.upstream = {}  # client address -> its socket towards the server
        self.client_of = {}  # upstream socket -> client address
        self.queue = []  # (due, arrival number, direction, client address, data)
        self.arrivals = 0
        self.last_sent = {}  # (direction, client) -> the latest arrival number forwarded
        self.counts = {d: dict.fromkeys(("received", "forwarded", "lost", "cut", "stale", "duplicated", "delayed",
                                         "reordered", "refused"), 0) for d in ("up", "down")}
        self.partition_logged = [False, False]
        self.trace = open(arguments.trace, "w", buffering=1 << 16) if arguments.trace else None

    def open_socket(self, address):
        sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        sock.setsockopt(socket.SOL_SOCKET, SoTimestampNs, 1)
        sock.setblocking(False)
        sock.bind(address)
        return sock

    def seconds(self, at):
        return at - self.started

    def note(self, at, text):
        line = f"{at * 1000:.3f} event {text}"
        print(f"relay: {self.seconds(at):.3f} s: {text}", flush=True)
        if self.trace:
            self.trace.write(line + "\n")

    def record(self, at, direction, client, data, fate, fields=""):
        if self.trace:
            kind = describe(data)[0]
            self.trace.write(f"{at * 1000:.3f} {direction} {client[1]} {kind} {fate}{fields}\n")

    def partitioned(self, at):
        if not self.arguments.partition:
            return False
        start, length = self.arguments.partition
        return start <= self.seconds(at) < start + length

    def receive(self, sock):
        """One waiting datagram with its kernel arrival time, or None."""
        try:
            data, ancillary, _, source = sock.recvmsg(2048, socket.CMSG_SPACE(16))
        except (BlockingIOError, InterruptedError):
            return None
        except OSError:  # an ICMP error from an earlier send: nothing to forward
            return b"", time.monotonic(), None
        at = time.monotonic()
        for level, kind, value in ancillary:
            if level == socket.SOL_SOCKET and kind == SoTimestampNs and len(value) >= 16:
                seconds, nanoseconds = struct.unpack("qq", value[:16])
                at = min(at, seconds + nanoseconds * 1e-9 - self.realtime_offset)
        return data, at, source

    def arrive(self, direction, client, data, at):
        counts = self.counts[direction]
        counts["received"] += 1
        self.record(at, direction, client, data, "in", describe(data)[1])
        if self.partitioned(at):
            counts["cut"] += 1
            self.record(at, direction, client, data, "cut")
            return
        if self.random.random() < self.arguments.loss:
            counts["lost"] += 1
            self.record(at, direction, client, data, "lost")
            return
        copies = 2 if self.random.random() < self.arguments.duplicate else 1
        counts["duplicated"] += copies - 1
        self.arrivals += 1
        for _ in range(copies):
            held = self.arguments.delay + self.random.uniform(-self.arguments.jitter, self.arguments.jitter)
            held = max(held, 0.0) / 1000.0
            if held > 0:
                counts["delayed"] += 1
            heapq.heappush(self.queue, (at + held, self.arrivals, direction, client, data))

    def forward(self, now):
        while self.queue and self.queue[0][0] <= now:
            due, number, direction, client, data = heapq.heappop(self.queue)
            counts = self.counts[direction]
            if self.partitioned(due):
                counts["cut"] += 1
                self.record(due, direction, client, data, "cut")
                continue
            flow = (direction, client)
            if number < self.last_sent.get(flow, 0):
                counts["reordered"] += 1
            self.last_sent[flow] = max(number, self.last_sent.get(flow, 0))
            try:
                if direction == "up":
                    self.upstream[client].sendto(data, self.server)
                else:
                    self.listen.sendto(data, client)
            except OSError:
                pass  # a client that has gone: the datagram is lost as it would be on a network
            counts["forwarded"] += 1
            self.record(time.monotonic(), direction, client, data, "out", describe(data)[1])

    def from_client(self, data, at, source):
        if not source or not ipaddress.ip_address(source[0]).is_loopback:
            return
        if source not in self.upstream:
            if len(self.upstream) >= MaxClients:
                self.counts["up"]["refused"] += 1
                return
            sock = self.open_socket(("127.0.0.1", 0))
            self.upstream[source] = sock
            self.client_of[sock] = source
            self.note(at, f"client {source[1]} via upstream port {sock.getsockname()[1]}")
        self.arrive("up", source, data, at)

    def from_server(self, sock, data, at, source):
        client = self.client_of[sock]
        if source != self.server:
            # The server moved: what the old one still says (its ServerBye, late rosters) goes nowhere.
            self.counts["down"]["stale"] += 1
            self.record(at, "down", client, data, "stale")
            return
        self.arrive("down", client, data, at)

    def timed_events(self, now):
        if self.arguments.partition:
            start, length = self.arguments.partition
            for i, boundary in enumerate((start, start + length)):
                if not self.partition_logged[i] and self.seconds(now) >= boundary:
                    self.partition_logged[i] = True
                    self.note(self.started + boundary, "partition starts" if i == 0 else "partition heals")
        at = self.arguments.switch_at
        due = at is not None and self.seconds(now) >= at
        if self.switched_at is None and self.arguments.switch_to and (due or self.switch_requested):
            self.server = self.arguments.switch_to
            self.switched_at = now
            self.note(now, f"upstream switched to {self.server[0]}:{self.server[1]}")

    def next_wake(self, now, end):
        wake = min(end, now + LongestWait)
        if self.queue:
            wake = min(wake, self.queue[0][0])
        return max(wake - now, 0.0)

    def run(self):
        end = self.started + self.arguments.seconds
        print(f"relay: 127.0.0.1:{self.arguments.listen} to {self.server[0]}:{self.server[1]} for "
              f"{self.arguments.seconds:g} s", flush=True)
        self.note(self.started, "relay starts")
        while True:
            now = time.monotonic()
            if now >= end:
                break
            sockets = [self.listen, *self.upstream.values()]
            readable, _, _ = select.select(sockets, [], [], self.next_wake(now, end))
            for sock in readable:
                for _ in range(256):  # bounded, so a flood cannot starve the queue
                    got = self.receive(sock)
                    if got is None:
                        break
                    data, at, source = got
                    if not data and source is None:
                        continue
                    if sock is self.listen:
                        self.from_client(data, at, source)
                    else:
                        self.from_server(sock, data, at, source)
            now = time.monotonic()
            self.timed_events(now)
            self.forward(now)
        self.summary()

    def summary(self):
        arguments = self.arguments
        print(f"relay: {len(self.upstream)} client(s); loss {arguments.loss:g}, delay {arguments.delay:g} ± "
              f"{arguments.jitter:g} ms, duplicate {arguments.duplicate:g}")
        for direction, counts in self.counts.items():
            print(f"relay: {direction}: " + ", ".join(f"{name} {value}" for name, value in counts.items()))
        if arguments.partition:
            start, length = arguments.partition
            print(f"relay: partition from {start:g} s to {start + length:g} s")
        if self.switched_at is not None:
            print(f"relay: switched at {self.seconds(self.switched_at):.3f} s")
        print(f"relay: still queued at the end {len(self.queue)}", flush=True)
        if self.trace:
            self.trace.close()


def main():
    relay = Relay(parse_arguments())
    signal.signal(signal.SIGUSR1, lambda *_: setattr(relay, "switch_requested", True))
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        relay.run()
    except SystemExit:
        relay.summary()


if __name__ == "__main__":
    main()
