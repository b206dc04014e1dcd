#!/usr/bin/env python3
"""The figures of one run through the impairing relay, as Markdown table rows.

Usage: network_figures.py RUN_FOLDER CONDITION LABEL [LOAD]   (LOAD: the machine's load, for the record)
The run folder holds what bench/network_conditions.sh gathered: trace.txt (bench/udp_relay.py's trace),
relay.txt (its summary), watch.txt (bench/presence_watch.cpp's frames), roles.txt ("client|bot|watcher
PORT" lines), server-*.txt (each server's output) and client/vornhalzanthery.log (the real client's log).

The real path of every player is the States it sent, as the relay received them (kernel arrival
times, before any loss); the drawn path is the watcher's smoothed slots. A slot is matched to the
player whose State carried exactly its target, so a target nobody sent, a slot passed to another
player and a player listed after leaving all show.
"""
import bisect
import math
import os
import re
import statistics
import sys

SmoothingRate = 15.0        # app/remote_avatars.h
SilenceLimitMs = 5000.0     # the client's and the server's
HelloIntervalMs = 250.0
WelcomeRepeatMs = 1000.0  # server/presence_server.h
RosterIntervalMs = 40.0
StateIntervalMs = 33.0
# A ghost: listed by the server although the player's last State left it this long ago (its silence
# limit, plus the relay's longest hold and a roster interval), or after its Bye reached the server.
GhostAfterSilenceMs = SilenceLimitMs + 300.0 + 100.0
Tolerance = 1e-4  # metres: float rounding in the smoothing's own arithmetic

run, condition, label = sys.argv[1], sys.argv[2], sys.argv[3]
load = sys.argv[4] if len(sys.argv) > 4 else "-"


def read(name):
    path = os.path.join(run, name)
    return open(path).read().splitlines() if os.path.exists(path) else []


def row(figure, value, goal, met):
    print(f"| {label}: {figure} | {value} | {goal} | {'yes' if met else 'no'} |")


def info_row(figure, value):
    print(f"| {label}: {figure} | {value} | - | - |")


def ms(value):
    return f"{value:.0f} ms" if value is not None else "-"


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))] if ordered else None


# --- The relay's trace -------------------------------------------------------------------------
events = {}  # name -> ms
datagrams = []  # (ms, direction, port, type, fate, fields)
for line in read("trace.txt"):
    parts = line.split()
    if parts[1] == "event":
        text = " ".join(parts[2:])
        if text.startswith("client "):
            continue
        events.setdefault(text.split(" to ")[0], float(parts[0]))
        continue
    datagrams.append((float(parts[0]), parts[1], int(parts[2]), parts[3], parts[4], parts[5:]))
datagrams.sort(key=lambda d: d[0])

roles = {}
for line in read("roles.txt"):
    role, port = line.split()
    roles[int(port)] = role
players = [p for p in roles if any(d[2] == p for d in datagrams)]
client = next((p for p in players if roles[p] == "client"), None)

# Every State a player sent: the pose's exact text -> its senders' times and ports in order, and each
# port's path in order.
sent_by_pose = {}
paths = {}
for at, direction, port, kind, fate, fields in datagrams:
    if direction == "up" and kind == "S" and fate == "in":
        times, ports = sent_by_pose.setdefault(tuple(fields[:3]), ([], []))
        times.append(at)
        ports.append(port)
        paths.setdefault(port, []).append((at, float(fields[0]), float(fields[1]), float(fields[2])))
path_times = {port: [p[0] for p in path] for port, path in paths.items()}


def sender(key, at):
    """(ms, port) of the latest State with this pose sent by `at`, or None."""
    times, ports = sent_by_pose.get(key, ((), ()))
    i = bisect.bisect_right(times, at)
    return (times[i - 1], ports[i - 1]) if i else None


def real_position(port, at):
    """Where the player was at `at`: its States, linearly between two."""
    path, times = paths[port], path_times[port]
    i = bisect.bisect_right(times, at)
    if i == 0:
        return path[0][1:]
    if i == len(path):
        return path[-1][1:]
    (t0, *a), (t1, *b) = path[i - 1], path[i]
    f = (at - t0) / (t1 - t0) if t1 > t0 else 0.0
    return tuple(a[k] + (b[k] - a[k]) * f for k in range(3))


def distance(a, b):
    return math.dist(a, b)


# --- Joined: what each player sent shows whether it was joined (State) or asking (Hello) --------
def join_figures(port):
    sent = [(d[0], d[3]) for d in datagrams if d[2] == port and d[1] == "up" and d[4] == "in"]
    heard = [d[0] for d in datagrams if d[2] == port and d[1] == "down" and d[4] == "out" and d[3] in "WR"]
    rosters = [d[0] for d in datagrams if d[2] == port and d[1] == "down" and d[4] == "out" and d[3] == "R"]
    figures = {"fallbacks": [], "hello_gaps": [], "state_gaps": [], "returns": [], "roster_gaps": []}
    first_hello = next((t for t, k in sent if k == "H"), None)
    first_state = next((t for t, k in sent if k == "S"), None)
    figures["join_ms"] = first_state - first_hello if first_hello is not None and first_state else None
    previous = None
    asking_since = None
    for at, kind in sent:
        if kind == "B":
            break
        if kind == "H":
            if previous and previous[1] == "S":
                last_heard = max((t for t in heard if t <= at), default=None)
                figures["fallbacks"].append((at, at - last_heard if last_heard is not None else None))
                asking_since = at
            elif previous and previous[1] == "H":
                figures["hello_gaps"].append(at - previous[0])
        elif kind == "S":
            if previous and previous[1] == "S" and at - previous[0] < 500:
                figures["state_gaps"].append(at - previous[0])
            if asking_since is not None:
                figures["returns"].append(at)
                asking_since = None
        previous = (at, kind)
    figures["still_asking"] = asking_since is not None
    # Every gap up to the player's Bye (or the trace's end) counts here: a player that falls silent
    # for good leaves no gap between two States, only one before its end.
    end = next((t for t, k in sent if k == "B"), datagrams[-1][0])
    states = [t for t, k in sent if k == "S" and t <= end]
    figures["longest_state_gap"] = max((b - a for a, b in zip(states, states[1:] + [end])), default=None)
    figures["rosters"] = [t for t in rosters if t <= end]
    figures["roster_gaps"] = [b - a for a, b in zip(figures["rosters"], figures["rosters"][1:] + [end])]
    figures["end"] = end
    return figures


def stale_id_figures(port):
    """Rosters this player read with an own id that is not the one the server gave it: it then draws
    itself and hides whoever holds its old id. (count, longest stretch in ms until a roster read right,
    the stretches as (from, to) ms)."""
    own = None
    count, since, longest, stretches = 0, None, 0.0, []
    for at, direction, p, kind, fate, fields in datagrams:
        if p != port or direction != "down" or fate != "out":
            continue
        if kind == "W":
            own = int(fields[0])
        elif kind == "R" and own is not None:
            ids = {}
            for record in fields[1:]:
                found = sender(tuple(record.split(":")[1].split(",")), at)
                ids[int(record.split(":")[0])] = found[1] if found else None
            mine = [i for i, sent_by in ids.items() if sent_by == port]
            stale = (mine and mine[0] != own) or (own in ids and ids[own] != port)
            if stale:
                count += 1
                since = at if since is None else since
            elif since is not None:
                longest = max(longest, at - since)
                stretches.append((since, at))
                since = None
    if since is not None:
        longest = max(longest, datagrams[-1][0] - since)
        stretches.append((since, datagrams[-1][0]))
    return count, longest, stretches


joins = {port: join_figures(port) for port in players}
stale_ids = {port: stale_id_figures(port) for port in players}
heal = events.get("partition heals")
switch = events.get("upstream switched")

if client is None:
    row("the client joined", "the client never reached the relay", "joins", False)
    sys.exit()
c = joins[client]
others = [p for p in players if p != client]
other_fallbacks = sum(len(joins[p]["fallbacks"]) for p in others)
median_state = statistics.median(c["state_gaps"]) if c["state_gaps"] else None
longest_state_gap = c["longest_state_gap"]
shortest_state = min(c["state_gaps"]) if c["state_gaps"] else None
state_text = (f"State every {median_state:.1f} ms (median; shortest {shortest_state:.1f}; longest gap to its Bye "
              f"{ms(longest_state_gap)})" if median_state else "no State")
state_holds = shortest_state is not None and shortest_state > StateIntervalMs - 1.0
roster_rate = 0.0
if c["rosters"] and c["end"] > c["rosters"][0]:
    roster_rate = len(c["rosters"]) / ((c["end"] - c["rosters"][0]) / 1000.0)
longest_roster_gap = max(c["roster_gaps"], default=None)
joined_text = f"joined {ms(c['join_ms'])} after its first Hello" if c["join_ms"] is not None else "never joined"
stale_count, stale_longest, _ = stale_ids[client]
others_stale = sum(stale_ids[p][0] for p in others)
others_stale_longest = max((stale_ids[p][1] for p in others), default=0.0)
# A lost Welcome after a join by State is corrected by the server's repeated Welcome, once a second.
ids_right = max(stale_longest, others_stale_longest) < 2 * WelcomeRepeatMs + 500
common = (f"{joined_text}; {state_text}; {roster_rate:.1f} rosters a second reached it, longest gap "
          f"{ms(longest_roster_gap)}; rosters read with a wrong own id (it draws itself and hides another): "
          f"{stale_count}" + (f" within {stale_longest / 1000:.1f} s" if stale_count else "")
          + f", the others {others_stale}" + (f" within {others_stale_longest / 1000:.1f} s" if others_stale else ""))

if condition == "partition":
    silences = [s for _, s in c["fallbacks"] if s is not None]
    hellos = c["hello_gaps"]
    back = [t - heal for t in c["returns"] if heal and t >= heal]
    others_back = [t - heal for p in others for t in joins[p]["returns"] if heal and t >= heal]
    everyone_back = all(joins[p]["returns"] and not joins[p]["still_asking"] for p in players)
    hello_median = statistics.median(hellos) if hellos else None
    value = (f"{common}; fell back to Hello {len(c['fallbacks'])} time(s), "
             f"{'/'.join(f'{s / 1000:.2f}' for s in silences) or '-'} s after the last datagram it heard; "
             f"Hello every {ms(hello_median)} (median; longest {ms(max(hellos, default=None))}); first State "
             f"{ms(back[0] if back else None)} after the heal; the other {len(others)} players back within "
             f"{ms(max(others_back, default=None))}")
    met = (len(c["fallbacks"]) == 1 and all(SilenceLimitMs < s < SilenceLimitMs + 300 for s in silences)
           and hello_median is not None and HelloIntervalMs <= hello_median < HelloIntervalMs + 60
           and back and back[0] < 1000 and everyone_back and state_holds and ids_right)
    row("the client through a 10 s partition", value,
        "falls back after 5 s of silence, Hello every 250 ms, back within 1 s of the heal; everyone back; a "
        "wrong own id put right within 2.5 s", met)
elif condition.startswith("restart"):
    after = [d for d in datagrams if switch and d[0] >= switch and d[2] == client]
    welcome = next((d[0] - switch for d in after if d[1] == "down" and d[4] == "out" and d[3] == "W"), None)
    roster = next((d[0] - switch for d in after if d[1] == "down" and d[4] == "out" and d[3] == "R"), None)
    hellos = sum(1 for d in after if d[1] == "up" and d[4] == "in" and d[3] == "H")
    welcomes = sum(1 for d in after if d[1] == "down" and d[4] == "out" and d[3] == "W")
    others_back = []
    for p in others:
        first = next((d[0] - switch for d in datagrams if switch and d[0] >= switch and d[2] == p
                      and d[1] == "down" and d[4] == "out" and d[3] == "R"), None)
        others_back.append(first)
    everyone_back = all(t is not None for t in others_back)
    value = (f"{common}; after the switch: first Welcome {ms(welcome)} ({welcomes} in all, repeated once a second), "
             f"first roster {ms(roster)}, Hellos {hellos}; "
             f"falls back {len(c['fallbacks'])}; the other {len(others)} players' first roster within "
             f"{ms(max(t for t in others_back if t is not None) if any(t is not None for t in others_back) else None)}")
    met = (welcome is not None and welcome < 1000 and roster is not None and roster < 1000 and hellos == 0
           and not c["fallbacks"] and everyone_back and other_fallbacks == 0 and ids_right)
    row("the client, its server restarted on another port", value,
        "back within 1 s of the switch, by its States alone (no Hello); everyone back; a wrong own id "
        "(a Welcome lost) put right within 2.5 s", met)
else:
    value = f"{common}; fell back to Hello {len(c['fallbacks'])} time(s); the other {len(others)} players {other_fallbacks}"
    # The server's 25 rosters a second, halved for slow frames, and loss taken from the States and the rosters.
    lowest_roster_rate = 1000.0 / RosterIntervalMs / 2 * (0.7 * 0.7 if condition == "loss" else 1.0)
    met = (not c["fallbacks"] and other_fallbacks == 0 and c["join_ms"] is not None and state_holds and ids_right
           and longest_state_gap is not None and longest_state_gap < 1000 and roster_rate >= lowest_roster_rate
           and longest_roster_gap is not None and longest_roster_gap < 1000)
    row("the client stays joined", value, "joined throughout, no fall back; State at most every 33 ms and never a "
        f"second without one; {lowest_roster_rate:.1f} rosters a second or more, never a second without one; a "
        "wrong own id put right within 2.5 s", met)

# --- Capsules: the watcher's drawn path against the real one ------------------------------------
frames = []  # (ms, dt, {slot: (drawn, target key, target)})
fell_back = []  # when the watcher stopped hearing its server and cleared its table, as it should
for line in read("watch.txt"):
    parts = line.split()
    if parts[0] == "fell-back":
        fell_back.append(float(parts[1]))
    elif parts[0] == "frame":
        frames.append((float(parts[1]), float(parts[2]), {}))
    elif parts[0] == "slot" and frames:
        values = parts[2:]
        drawn = tuple(float(v) for v in values[:3])
        key = tuple(values[3:6])
        frames[-1][2][int(parts[1])] = (drawn, key, tuple(float(v) for v in key))

watcher = next((p for p in players if roles[p] == "watcher"), None)
# What the server last told the watcher, as the relay handed it over: (ms, the players listed).
told = []
for at, direction, port, kind, fate, fields in datagrams:
    if port == watcher and direction == "down" and kind == "R" and fate == "out":
        listed = {found[1] for found in (sender(tuple(r.split(":")[1].split(",")), at) for r in fields[1:]) if found}
        told.append((at, listed - {watcher}))
told_times = [t for t, _ in told]

drawn_moves, explained_moves, real_moves, errors, ages = [], [], [], [], []
beyond = unexplained = appearances = handovers = stepping_back = own_frames = 0
largest_slide = 0.0
previous = {}  # slot -> (frame ms, drawn, owner port, State ms)
# While the watcher holds a wrong own id (its Welcome lost) it draws itself and hides another: counted
# apart, as the joined row judges how soon that is put right.
wrong_id = stale_ids[watcher][2] if watcher in stale_ids else []
own_frames_wrong_id = 0
missing_since = {}  # a player the server lists and the watcher does not draw -> since when
longest_missing = 0.0
for at, dt, slots in frames:
    current = {}
    for slot, (drawn, key, target) in slots.items():
        found = sender(key, at)
        if found is None:
            unexplained += 1
            continue
        sent_at, owner = found
        current[slot] = (at, drawn, owner, sent_at)
        holding_wrong_id = any(start <= at <= end + 100 for start, end in wrong_id)
        own_frames += owner == watcher and not holding_wrong_id
        own_frames_wrong_id += owner == watcher and holding_wrong_id
        errors.append(distance(drawn, real_position(owner, at)))
        ages.append(at - sent_at)
        before = previous.get(slot)
        if before is None:
            # Not judged: a slot turning active starts at the first roster of its pump, which a later
            # roster of the same pump may already have moved.
            appearances += 1
            continue
        step = min(SmoothingRate * dt, 1.0)
        moved = distance(drawn, before[1])
        explained = step * distance(target, before[1])
        if moved > explained + Tolerance:
            beyond += 1
        if owner != before[2]:
            handovers += 1
            largest_slide = max(largest_slide, moved)
            continue
        if sent_at < before[3]:
            stepping_back += 1
        drawn_moves.append(moved)
        explained_moves.append(explained)
        real_moves.append(distance(real_position(owner, at), real_position(owner, before[0])))
    previous = current
    i = bisect.bisect_right(told_times, at)
    j = bisect.bisect_right(fell_back, at)
    told_after_fall_back = i and (not j or told_times[i - 1] > fell_back[j - 1])
    listed = told[i - 1][1] if told_after_fall_back else set()
    drawn_owners = {c[2] for c in current.values()}
    if any(start <= at <= end + 100 for start, end in wrong_id):
        missing_since.clear()
        continue
    for player in listed - drawn_owners:
        missing_since.setdefault(player, at)
    for player in list(missing_since):
        if player in drawn_owners or player not in listed:
            longest_missing = max(longest_missing, at - missing_since.pop(player))
for player, since in missing_since.items():
    longest_missing = max(longest_missing, frames[-1][0] - since)

if frames and drawn_moves:
    seconds = (frames[-1][0] - frames[0][0]) / 1000.0
    value = (f"largest move a frame: drawn {max(drawn_moves):.3f} m, explained by the received targets "
             f"{max(explained_moves):.3f} m (frames beyond: {beyond}), real path {max(real_moves):.3f} m; "
             f"drawn from real: median {statistics.median(errors):.3f} m, 99th percentile "
             f"{percentile(errors, 0.99):.3f} m, largest {max(errors):.3f} m; a target's pose is "
             f"{statistics.median(ages):.0f} ms old (median; largest {max(ages):.0f}); targets stepping back "
             f"in time {stepping_back} ({stepping_back / seconds:.1f} a second); targets nobody sent {unexplained}; "
             f"a slot passed to another player {handovers} time(s)"
             + (f", sliding {largest_slide:.2f} m in a frame" if handovers else "")
             + f"; capsules appearing {appearances}; frames drawing the watcher itself {own_frames} (while it held "
             f"a wrong own id {own_frames_wrong_id}); longest a listed player went undrawn {longest_missing:.0f} ms "
             f"(a wrong own id aside); {len(frames)} frames")
    row("capsules as the watcher's smoothing draws them", value,
        "no move beyond what the received targets explain (min(15 dt, 1) of the way); every target a pose a "
        "player sent; never itself, every listed player drawn within 200 ms (a wrong own id aside: the "
        "first row judges it)",
        beyond == 0 and unexplained == 0 and own_frames == 0 and longest_missing < 200)
else:
    row("capsules as the watcher's smoothing draws them", "the watcher drew no remote player", "-", False)

# --- The real client's frame times ----------------------------------------------------------------
frame_line = next((l for l in read("client/vornhalzanthery.log") if l.startswith("frames:")), None)
match = frame_line and re.search(r"median ([0-9.]+) ms .*99th percentile ([0-9.]+) ms, longest ([0-9.]+) ms",
                                 frame_line)
if match:
    median, p99, longest = (float(v) for v in match.groups())
    row("client frame times", f"median {median:.1f} ms, 99th percentile {p99:.1f} ms, longest {longest:.1f} ms",
        "median at most 33 ms (30 a second)", median <= 33.4)
else:
    row("client frame times", "no frame line in the client's log", "-", False)

# --- The server's table ----------------------------------------------------------------------------
# Per server: joins, leaves, time-outs, ids dropped without a State, and the players it still held when
# stopped (none for a server killed mid-run).
servers = []
for name in sorted(os.listdir(run)):
    if re.fullmatch(r"server-\w+\.txt", name):
        text = "\n".join(read(name))
        stopped = re.search(r"ServerBye sent to (\d+)", text)
        servers.append((name[7:-4], text.count(" joined "), text.count(" left "), text.count(" timed out "),
                        text.count(" sent no State "), int(stopped.group(1)) if stopped else None))

byes = {}  # port -> when its Bye reached the server
for at, direction, port, kind, fate, _ in datagrams:
    if direction == "up" and kind == "B" and fate == "out":
        byes.setdefault(port, at)
last_state = {}
ghost_listings = 0
ghost_ports = set()
most_listed = 0
duplicated_listings = 0
last_roster = (None, None)
for at, direction, port, kind, fate, fields in datagrams:
    if direction == "up" and kind == "S" and fate == "in":
        last_state[port] = at
    if direction != "down" or kind != "R" or fate != "in":
        continue
    # One roster goes to every player within a millisecond: judged once.
    if last_roster[1] == fields and at - last_roster[0] < 5:
        continue
    last_roster = (at, fields)
    owners = [found[1] for found in (sender(tuple(r.split(":")[1].split(",")), at) for r in fields[1:]) if found]
    most_listed = max(most_listed, len(owners))
    duplicated_listings += len(owners) - len(set(owners))
    for owner in set(owners):
        silent = at - last_state.get(owner, at)
        gone = owner in byes and byes[owner] < at - 50 and last_state.get(owner, 0) < byes[owner]
        if silent > GhostAfterSilenceMs or gone:
            ghost_listings += 1
            ghost_ports.add(owner)
tables = "; ".join(
    f"server {name}: joins {j}, leaves {l}, time-outs {t}, dropped without a State {n}, "
    + (f"ServerBye at the stop to {s} player(s)" if s is not None else "killed")
    for name, j, l, t, n, s in servers)
exact = all(s is not None and s == 0 and j == l + t + n for name, j, l, t, n, s in servers[-1:])
value = (f"{tables}; rosters listed at most {most_listed} of {len(players)} players; listings of a player "
         f"gone (its Bye received, or 5 s silent) {ghost_listings} (players {len(ghost_ports)}); one player "
         f"listed twice {duplicated_listings}")
row("the server's player table", value,
    "exact: every join ends in a leave or time-out, nobody listed once gone, none left at the stop",
    exact and ghost_listings == 0 and duplicated_listings == 0 and most_listed <= len(players))

summary = [l.replace("relay: ", "") for l in read("relay.txt") if re.match(r"relay: (up|down):", l)]
info_row("what the relay did", "; ".join(summary) + f"; machine load (1-minute average) {load}")
