#!/usr/bin/env python3
"""Figures of the State datagrams the scripted presence peer recorded, for presence_end_to_end.sh.

Usage: state_figures.py SKIP_SECONDS < lines of presence_peer.py's "received"
Reads "milliseconds type length [x y z yaw crouching]" lines, keeps the States (type S), and prints
"name value" lines: states, rate (a second), shortest_gap (ms between the two closest States),
speed (m/s over the steady part, which leaves out the first SKIP_SECONDS), timescale, radius and
facing (of the first State: its distance from the room's centre and the cosine between its view and
the way to the centre), towards (the cosine between the steady part's movement and the way to the
centre), highest and lowest_end (y), crouched (the smallest crouch flag of the steady part). With
fewer than three States it prints only "states".
"""
import math
import sys

states = [line.split() for line in sys.stdin if line.split()[1:2] == ["S"]]
# (seconds, x, y, z, yaw, crouching)
points = [(float(s[0]) / 1000.0, float(s[3]), float(s[4]), float(s[5]), float(s[6]), int(s[7])) for s in states]
skip = float(sys.argv[1])
if len(points) < 3:
    print("states", len(points))
    sys.exit()
t0 = points[0][0]
steady = [p for p in points if p[0] - t0 >= skip] or points
dt = steady[-1][0] - steady[0][0]
distance = math.hypot(steady[-1][1] - steady[0][1], steady[-1][3] - steady[0][3])
print("states", len(points))
rate = (len(points) - 1) / max(points[-1][0] - t0, 1e-3)
print("rate", rate)
print("shortest_gap", "%.3f" % (1000 * min(b[0] - a[0] for a, b in zip(points, points[1:]))))
print("speed", distance / dt if dt > 0 else 0)
# Below 20 frames a second each frame steps at most 0.05 s, so the body moves slower than real time;
# States then go out once a frame, so their rate tells the frame rate.
print("timescale", min(1.0, 0.05 * rate) if rate < 29 else 1.0)
print("radius", math.hypot(points[0][1], points[0][3]))
x, z, yaw = points[0][1], points[0][3], points[0][4]
print("facing", (-math.sin(yaw) * -x + -math.cos(yaw) * -z) / max(math.hypot(x, z), 1e-6))
dx, dz = steady[-1][1] - steady[0][1], steady[-1][3] - steady[0][3]
print("towards", (dx * -x + dz * -z) / max(math.hypot(dx, dz) * math.hypot(x, z), 1e-6))
print("highest", max(p[2] for p in points))
print("lowest_end", points[-1][2])
print("crouched", min(p[5] for p in steady))
