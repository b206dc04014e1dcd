#!/usr/bin/env python3
"""Start-up against its floor: the client and the bare program (the same window and WebGPU set-up,
one cleared frame) launched in alternating pairs under the current display. Each is handed its
launch moment on the steady clock, so the figure runs from process start to the first presented
frame. Prints Markdown table rows: | figure | value | goal | met |.
Usage: startup_pairs.py <client folder> <bare program> <pairs>"""
import os
import re
import signal
import statistics
import subprocess
import sys
import time

LINE = re.compile(r"first frame presented (\d+) ms after start \((.*)\)")
DECODED = re.compile(r"floor maps decoded beside start-up: (.*)")


def launch_env():
    env = dict(os.environ)
    env["VZ_LAUNCH_MONOTONIC_NS"] = str(time.monotonic_ns())
    return env


def run_bare(program):
    done = subprocess.run([program], env=launch_env(), capture_output=True, text=True, timeout=30)
    match = LINE.search(done.stdout)
    return match


decode_ms = {}


def run_client(folder):
    log = os.path.join(folder, "vornhalzanthery.log")
    if os.path.exists(log):
        os.remove(log)
    process = subprocess.Popen([os.path.join(folder, "vornhalzanthery")], env=launch_env(),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    match = None
    deadline = time.monotonic() + 30
    while match is None and time.monotonic() < deadline and process.poll() is None:
        time.sleep(0.02)
        if os.path.exists(log):
            with open(log, errors="replace") as text:
                match = LINE.search(text.read())
    decoded = None
    if match:
        with open(log, errors="replace") as text:
            decoded = DECODED.search(text.read())
    for part in decoded.group(1).split(", ") if decoded else []:
        name, ms = part.rsplit(" ", 2)[0], int(part.rsplit(" ", 2)[1])
        decode_ms.setdefault(name, []).append(ms)
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
    return match


def steps(match):
    return [(part.rsplit(" ", 1)[0], int(part.rsplit(" ", 1)[1])) for part in match.group(2).split(", ")]


def main():
    folder, bare, pairs = sys.argv[1], sys.argv[2], int(sys.argv[3])
    client_ms, bare_ms, client_steps, bare_steps = [], [], {}, {}
    order = []
    for pair in range(pairs):
        # Alternate which goes first, so neither always meets a warmer machine.
        for kind in (("bare", "client") if pair % 2 == 0 else ("client", "bare")):
            match = run_bare(bare) if kind == "bare" else run_client(folder)
            if match is None:
                print(f"startup: the {kind} program presented no frame", file=sys.stderr)
                sys.exit(1)
            (bare_ms if kind == "bare" else client_ms).append(int(match.group(1)))
            for name, ms in steps(match):
                (bare_steps if kind == "bare" else client_steps).setdefault(name, []).append(ms)
    client, floor = statistics.median(client_ms), statistics.median(bare_ms)
    ratio = client / floor
    print(f"| start-up to first presented frame, client (median of {pairs}; range {min(client_ms)}-{max(client_ms)} ms) "
          f"| {client:.0f} ms | at most 1.3 x the bare program | {'yes' if ratio <= 1.3 else 'no'} |")
    print(f"| start-up, bare program: same window and device, one cleared frame (median of {pairs}; range "
          f"{min(bare_ms)}-{max(bare_ms)} ms) | {floor:.0f} ms | - | - |")
    print(f"| start-up ratio, client / bare program | {ratio:.2f} | at most 1.30 | {'yes' if ratio <= 1.3 else 'no'} |")
    decoding = ", ".join(f"{name} {statistics.median(values):.0f}" for name, values in decode_ms.items())
    print(f"| floor maps decoded on their own thread meanwhile, client (medians, ms) | {decoding} | - | - |")
    for label, table in (("client", client_steps), ("bare program", bare_steps)):
        parts = ", ".join(f"{name} {statistics.median(values):.0f}" for name, values in table.items())
        print(f"| start-up stages, {label} (medians, ms) | {parts} | - | - |")


if __name__ == "__main__":
    main()
