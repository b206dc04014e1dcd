#!/usr/bin/env python3
"""A host on loopback that accepts TCP connections and never answers, for fault_end_to_end.sh.

Usage: hanging_host.py PORT ACCEPTED_FILE
Listens on 127.0.0.1:PORT, holds up to eight connections open without reading or writing, and
appends "accepted" to ACCEPTED_FILE for each. Runs until killed, 300 s at most after the eighth.
"""
import socket
import sys
import time

server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", int(sys.argv[1])))
server.listen(8)
held = []
while len(held) < 8:
    held.append(server.accept()[0])
    with open(sys.argv[2], "a") as log:
        log.write("accepted\n")
time.sleep(300)
