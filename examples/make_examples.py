#!/usr/bin/env python3
"""Writes the example curve files that scripts/run opens when it is given no file.

Each file has a short header ended by a DATA line, then one "x y" pair per line.
Run it from anywhere; it writes next to itself. The noise is seeded, so the files do not change.
"""
import math
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))


def write(name, header, points):
    with open(os.path.join(HERE, name), "w", newline="\r\n") as f:
        for line in header:
            f.write(line + "\n")
        f.write("DATA\n")
        for x, y in points:
            f.write(f"{x:.6g} {y:.8g}\n")


def noisy_peak():
    rnd = random.Random(1701)
    pts = []
    for i in range(401):
        x = i * 0.05  # 0 to 20
        background = 1.0 + 0.05 * x
        peak = 6.0 * math.exp(-0.5 * ((x - 12.5) / 0.8) ** 2)
        pts.append((x, background + peak + rnd.gauss(0.0, 0.2)))
    write("noisy_peak.dat",
          ["Gaussian peak at 12.5 (width 0.8, height 6) on the sloping background 1 + 0.05 x,",
           "with normally distributed noise of standard deviation 0.2; x from 0 to 20."], pts)


def damped_sine():
    pts = []
    for i in range(501):
        t = i * 0.02  # 0 to 10
        pts.append((t, 3.0 * math.exp(-0.35 * t) * math.sin(2.0 * math.pi * 0.8 * t)))
    write("damped_sine.dat",
          ["Damped sine: 3 exp(-0.35 t) sin(2 pi 0.8 t), t from 0 to 10."], pts)


def exponential_decay():
    rnd = random.Random(42)
    pts = []
    for i in range(301):
        t = i * 0.05  # 0 to 15
        pts.append((t, 5.0 * math.exp(-t / 2.5) + 0.3 + rnd.gauss(0.0, 0.03)))
    write("exponential_decay.dat",
          ["Exponential decay 5 exp(-t/2.5) + 0.3 with a little noise, t from 0 to 15."], pts)


if __name__ == "__main__":
    noisy_peak()
    damped_sine()
    exponential_decay()
