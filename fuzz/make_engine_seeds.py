#!/usr/bin/env python3
"""Writes the seed inputs of engine_fuzzer into fuzz/corpus/engine/.

Each seed is a script in the fuzzer's byte language: an operation byte (mod 6:
0/1 block, 2 update, 3 reactivity, 4 audio speed, 5 reset), followed by its
operands. Pick bytes below 200 choose from the fuzzer's table of pathological
floats (index = pick % 17: 0 0.0, 2 1/60, 3 1/30, 6 -1.0, 7 1e30, 10 NaN,
11 +inf, 12 -inf, 13 FLT_MAX, 14 1000); a pick of 200 or more reads a raw float.
"""
import math
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "engine")

DT_60, DT_30, NEG, HUGE, NAN, INF, NINF, FMAX = 2, 3, 6, 7, 10, 11, 12, 13


def raw_block(samples):
    return bytes([0]) + struct.pack("<H", len(samples)) + bytes([1]) + b"".join(
        struct.pack("<f", s) for s in samples)


def picked_block(picks):
    return bytes([0]) + struct.pack("<H", len(picks)) + bytes([0]) + bytes(picks)


def update(pick=DT_60):
    return bytes([2, pick])


def raw_value(op, value):
    return bytes([op, 200]) + struct.pack("<f", value)


def sine(n, freq, amp, start=0):
    return [amp * math.sin(2 * math.pi * freq * (start + i) / 44100.0) for i in range(n)]


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def main():
    os.makedirs(OUT, exist_ok=True)
    music = b""
    for k in range(6):
        music += raw_block(sine(256, 110.0 * (k + 1), 0.5, 256 * k)) + update()
    write("music", music)

    hostile = b""
    for pick in (NAN, INF, NINF, HUGE, FMAX):
        hostile += picked_block([pick] * 512) + update(pick)
    hostile += raw_value(3, float("nan")) + raw_value(4, float("inf")) + update(NEG)
    write("hostile", hostile)

    write("overlong", picked_block([FMAX, HUGE] * 1100) + update())

    controls = b""
    for value in (-5.0, 7.0, 1e38, -1e38, 0.0, 1.0):
        controls += raw_value(3, value) + raw_value(4, value) + raw_block(
            sine(128, 440.0, 0.8)) + update(DT_30)
    write("controls", controls + bytes([5]) + update())

    recovery = picked_block([FMAX] * 2048) + update()
    recovery += raw_block([1e30, -1e30, 3e-39, -3e-39] * 64) + update()
    for k in range(4):
        recovery += raw_block(sine(256, 220.0, 0.25, 256 * k)) + update()
    write("recovery", recovery)

    loud = b""
    for k in range(4):
        loud += picked_block([14, 15] * 256) + update()
    write("loud", loud + raw_block(sine(256, 220.0, 0.25)) + update())

    clocks = b""
    for value in (0.0, -1.0, 1e30, float("nan"), 0.5, 3.0e38):
        clocks += raw_block(sine(64, 60.0, 1.0)) + raw_value(2, value)
    write("clocks", clocks)


if __name__ == "__main__":
    main()
