#!/usr/bin/env python3
"""Writes the sample series of this folder: each series as a training file and a validation
file whose X continues the training X one row per step. Standard library only; the output is
the same on every run (fixed seed, fixed step), so the files can be checked in and remade.

    python3 data/make_samples.py [output folder, default: the folder of this script]
"""

import math
import os
import random
import sys

TRAINING_ROWS = 200
VALIDATION_ROWS = 50


def mackey_glass(count, tau=17.0, beta=0.2, gamma=0.1, power=10, step=0.1,
                 sample_every=20, transient=500.0, start=1.2):
    """dx/dt = beta x(t-tau) / (1 + x(t-tau)^power) - gamma x(t), integrated by Euler's method
    with a fixed step, x = start for t <= 0, sampled every sample_every steps after the
    transient."""
    delay = int(round(tau / step))
    history = [start] * (delay + 1)  # history[-1] is x(t), history[-1 - delay] is x(t - tau)
    skip = int(round(transient / step))
    samples = []
    n = 0
    while len(samples) < count:
        x = history[-1]
        lagged = history[-1 - delay]
        x = x + step * (beta * lagged / (1.0 + lagged ** power) - gamma * x)
        history.append(x)
        del history[0]
        n += 1
        if n > skip and (n - skip) % sample_every == 0:
            samples.append(x)
    return samples


def seasonal(count, seed=7):
    """y(t) = 20 + 0.05 t + 6 sin(2 pi t / 12) + 2 cos(2 pi t / 6) + noise, the noise drawn
    from a normal distribution with deviation 0.8 by Python's random with a fixed seed."""
    rng = random.Random(seed)
    values = []
    for t in range(count):
        trend = 20.0 + 0.05 * t
        season = 6.0 * math.sin(2.0 * math.pi * t / 12.0) + 2.0 * math.cos(2.0 * math.pi * t / 6.0)
        values.append(trend + season + rng.gauss(0.0, 0.8))
    return values


def write(path, first_x, values):
    with open(path, "w", encoding="ascii", newline="\n") as out:
        for i, y in enumerate(values):
            out.write("%d\t%.6g\n" % (first_x + i, y))


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    total = TRAINING_ROWS + VALIDATION_ROWS
    for name, values in (("mackey-glass", mackey_glass(total)), ("seasonal", seasonal(total))):
        write(os.path.join(folder, name + "-train.txt"), 0, values[:TRAINING_ROWS])
        write(os.path.join(folder, name + "-validation.txt"), TRAINING_ROWS,
              values[TRAINING_ROWS:])


if __name__ == "__main__":
    main()
