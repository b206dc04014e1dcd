#!/usr/bin/env python3
"""Pixel by pixel differences between two pictures of one view drawn on two drawing paths, by region,
for hardware_path_test.sh.

Usage: drawing_path_figures.py <first.ppm> <second.ppm> <floor-left-out.ppm>
The pictures are binary PPMs of the same size. The third is the same view with the floor left out and
no menus: where it shows the clear colour, the first two show floor. Regions:
  floor   the floor's pixels (under the menus too)
  walls   walls, ceiling and capsules, where the floor-left-out picture equals the first picture (so
          neither the floor nor the menus cover them)
  other   the rest: the menus' panel and text over the room, and the seam where floor and wall meet
For each it prints "<region>_pixels", "<region>_max" (the largest difference of any channel, in levels
of 255), "<region>_mean" (the mean of the channels' absolute differences), "<region>_differing" (the
share of pixels with any channel differing) and "<region>_beyond_2" (the share with a channel more
than 2 levels apart), one "name value" line each.
"""
import sys

CLEAR = (13, 14, 15)  # the renderer's clear colour, 0.05, 0.055, 0.06 as 8-bit


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    if fields[0] != b"P6" or fields[3] != b"255":
        sys.exit(f"{path}: not an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[at + 1:at + 1 + width * height * 3]
    if len(pixels) != width * height * 3:
        sys.exit(f"{path}: short")
    return width, height, pixels


def main():
    (w1, h1, first), (w2, h2, second), (w3, h3, floorless) = (read_ppm(p) for p in sys.argv[1:4])
    if not (w1 == w2 == w3 and h1 == h2 == h3):
        sys.exit("the pictures differ in size")
    # pixels, max, sum, differing, beyond 2 levels
    regions = {name: [0, 0, 0, 0, 0] for name in ("floor", "walls", "other")}
    clear = bytes(CLEAR)
    for at in range(0, len(first), 3):
        a, b, c = first[at:at + 3], second[at:at + 3], floorless[at:at + 3]
        if c == clear:
            region = regions["floor"]
        elif c == a:
            region = regions["walls"]
        else:
            region = regions["other"]
        region[0] += 1
        if a != b:
            d = (abs(a[0] - b[0]), abs(a[1] - b[1]), abs(a[2] - b[2]))
            region[1] = max(region[1], max(d))
            region[2] += d[0] + d[1] + d[2]
            region[3] += 1
            region[4] += max(d) > 2
    for name, (pixels, largest, total, differing, beyond) in regions.items():
        print(f"{name}_pixels {pixels}")
        print(f"{name}_max {largest}")
        print(f"{name}_mean {total / max(1, 3 * pixels):.3f}")
        print(f"{name}_differing {differing / max(1, pixels):.4f}")
        print(f"{name}_beyond_2 {beyond / max(1, pixels):.4f}")


if __name__ == "__main__":
    main()
