#!/usr/bin/env python3
"""How long the float32 clocks keep time at 60 frames per second.

Each clock adds a constant step per frame to a float32 value. Inside one
binade [2^e, 2^(e+1)) every sum rounds the step to a whole number of ulps, so
the clock runs at a constant wrong rate there; this walks the binades and
reports when the rate error first exceeds 1 % and when the clock stops (the
step rounds to nothing).
"""
import math
import struct


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def limits(step, fps=60.0):
    step = f32(step)
    elapsed = 0.0  # seconds to reach the start of the binade
    first_error = None
    e = -30
    while True:
        low = 2.0 ** e
        ulp = 2.0 ** (e - 23)
        if low < step:  # the first frames are exact enough; start at the step's own binade
            e += 1
            continue
        # Sum low + step in float32: the advance is the rounded step.
        advance = f32(low + step) - low
        # Any value of the binade behaves alike except for ties (even/odd mantissa).
        advance_odd = f32(low + ulp + step) - (low + ulp)
        rate = (advance + advance_odd) / 2.0 / step
        if first_error is None and abs(rate - 1.0) > 0.01:
            first_error = (elapsed, rate, low)
        if advance == 0.0 or advance_odd == 0.0:
            # Nothing is added (or, on a tie, nothing to a value with an even
            # mantissa): the clock stops here.
            return first_error or (elapsed, 0.0, low), (elapsed, low)
        elapsed += low / (rate * step * fps)
        e += 1


def describe(name, step, fps=60.0):
    (t_err, rate, v_err), (t_stop, v_stop) = limits(step, fps)
    print(f"{name}: step {step:.6g}; rate off by {100 * (rate - 1):+.1f} % from "
          f"value {v_err:g} after {t_err / 3600:.2f} h ({t_err / 86400:.2f} d); "
          f"stops at {v_stop:g} after {t_stop / 3600:.1f} h ({t_stop / 86400:.2f} d)")


if __name__ == "__main__":
    describe("TIME (audio speed 0.5)", f32(1.0) * f32(1.0 / 60.0))
    describe("kor_Time & co. (full level, 7.5/s)", 0.125)
    describe("kor_Time & co. (reactivity 0, 2.25/s)", 2.25 / 60.0)
    describe("kor_BPMTwitcher (120 BPM)", 120.0 / 60.0 / 60.0)
    describe("kor_BeatTime (+1 per beat, 2 beats/s)", 1.0, fps=2.0)
