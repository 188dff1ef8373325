#!/usr/bin/env python3
"""Draws the program's icons: the program icon (resource 128), a teal disc
with white wave crests, and the schedule dialog's clock (resource 140).

Run from this folder to regenerate tidewhistle.ico and schedule.ico; the
.ico files are committed.
"""
import math
import struct


def pixel(size, x, y):
    c = (size - 1) / 2.0
    r = size / 2.0 - 0.5
    dx, dy = x - c, y - c
    d = math.hypot(dx, dy)
    if d > r:
        return (0, 0, 0, 0)
    u, v = x / (size - 1), y / (size - 1)
    # Two wave crests across the disc.
    for phase, height, width in ((0.0, 0.42, 0.09), (1.7, 0.66, 0.07)):
        wave = height + 0.08 * math.sin(2 * math.pi * (u * 1.3) + phase)
        if abs(v - wave) < width / 2:
            return (255, 255, 255, 255)
    # Deep teal below, lighter sea above, darker rim.
    base = (24, 120, 140) if v > 0.5 else (60, 170, 190)
    if d > r - max(1.0, size / 16):
        base = (12, 70, 90)
    return base + (255,)


def clock_pixel(size, x, y):
    c = (size - 1) / 2.0
    r = size / 2.0 - 0.5
    dx, dy = x - c, y - c
    d = math.hypot(dx, dy)
    if d > r:
        return (0, 0, 0, 0)
    rim = max(1.0, size / 12)
    if d > r - rim:
        return (12, 70, 90, 255)
    u, v = dx / r, dy / r  # v grows downwards
    hand = max(0.07, 1.2 / size)
    # Hour hand towards ten o'clock, minute hand towards twelve.
    hx, hy = math.cos(math.radians(210)), math.sin(math.radians(210))
    along = u * hx + v * hy
    if 0 <= along <= 0.5 and abs(u * hy - v * hx) < hand:
        return (20, 40, 50, 255)
    if -0.75 <= v <= 0 and abs(u) < hand:
        return (20, 40, 50, 255)
    # Twelve tick marks on the dial.
    angle = math.degrees(math.atan2(v, u)) % 30
    if d > r - rim - max(1.5, size / 8) and (angle < 4 or angle > 26):
        return (24, 120, 140, 255)
    return (250, 250, 245, 255)


def image(size, pixel=pixel):
    rows = []
    for y in reversed(range(size)):  # bottom-up DIB rows
        row = b""
        for x in range(size):
            r, g, b, a = pixel(size, x, y)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def write_icon(path, pixel):
    sizes = (16, 32, 48)
    images = [image(s, pixel) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


def main():
    write_icon("tidewhistle.ico", pixel)
    write_icon("schedule.ico", clock_pixel)


if __name__ == "__main__":
    main()
