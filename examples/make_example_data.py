#!/usr/bin/env python3
"""Writes the bundled example data set into examples/data/.

An H-alpha region of 400 pixels at 0.125 Angstrom per pixel: an observed
absorption line with photon noise (in detector counts, normalised by the run),
a flat continuum, and three component line profiles (a narrow core, a broader
Gaussian and Lorentzian wings) combined with weights 0.5, 0.3 and 0.2.
sigma.txt gives each row's photon noise, sqrt(counts), in the units the run
compares: divided, like the observed flux, by the largest observed value.
The output is deterministic; run it again to regenerate the files.

    make_example_data.py --survey N DIR

writes N copies of the example instead, DIR/0001/ to DIR/N/, each observed
with weights of its own (drawn with seed 6563) and a thousand times the
counts, for surveys of many directories. The observed counts are kept as they
are (flags 0 0) and the scale file maps the model onto them, so the weights
that made a copy are the ones a fit recovers; each copy also holds its
weights in "weights-true.txt" (one line, three numbers), and its sigma.txt
gives the photon noise in counts.
"""
import math
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "data")
POINTS = 400
WL_1, PX_1 = 6537.8, 1
WL_2, PX_2 = 6587.8, 401
CENTRE = 6562.8


def wavelength(pixel):
    return WL_2 + (WL_1 - WL_2) / (PX_1 - PX_2) * (pixel - PX_2)


def gaussian(wl, depth, sigma):
    return 1.0 - depth * math.exp(-0.5 * ((wl - CENTRE) / sigma) ** 2)


def lorentzian(wl, depth, gamma):
    return 1.0 - depth / (1.0 + ((wl - CENTRE) / gamma) ** 2)


def write(out, name, lines):
    with open(os.path.join(out, name), "w", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def write_data(out, rng, weights, counts, flags, scale):
    """One data directory whose observed spectrum has the given weights."""
    os.makedirs(out, exist_ok=True)
    wls = [wavelength(p) for p in range(1, POINTS + 1)]
    profiles = [
        [gaussian(w, 0.62, 0.45) for w in wls],
        [gaussian(w, 0.35, 1.60) for w in wls],
        [lorentzian(w, 0.25, 2.50) for w in wls],
    ]
    model = [1.0 + sum(wt * (p[i] - 1.0) for wt, p in zip(weights, profiles))
             for i in range(POINTS)]
    observed = [counts * m + rng.gauss(0.0, math.sqrt(counts * m)) for m in model]

    write(out, "synthesis.txt", ["3"] + [f"{w}" for w in EXAMPLE_WEIGHTS])
    write(out, "vlt.txt", [
        "H-alpha region, three-component synthesis (example data set)",
        "1",
        "0",
        f"{WL_1} {WL_2}",
        f"{PX_1} {PX_2}",
        "1.0 12000",
        "0.0 0 0.5",
    ])
    write(out, "FDftn.txt", [f"{POINTS} {flags}"] +
          [f"{w:.3f} {o:.1f}" for w, o in zip(wls, observed)])
    write(out, "continum.txt", [f"{POINTS}"] + ["1.0"] * POINTS)
    for n, profile in enumerate(profiles, start=1):
        write(out, f"VeltoOut{n}.txt", [f"{POINTS}"] + [f"{v:.6f}" for v in profile])
    write(out, "qdqd.txt", [scale, "0.0"])
    # The run divides the fluxes as it reads them (flags 2 4) by the largest.
    largest = max(float(f"{o:.1f}") for o in observed) if flags == "2 4" else 1.0
    write(out, "sigma.txt", [f"{POINTS}"] +
          [f"{math.sqrt(counts * m) / largest:.6g}" for m in model])
    with open(os.path.join(out, "vltOut.htm"), "w", newline="\r\n") as f:
        f.write("<HTML><BODY><PRE>\n")


EXAMPLE_WEIGHTS = [0.5, 0.3, 0.2]


def main():
    # Normalised by the run (flags 2 4): the scale file maps the model as it is.
    write_data(OUT, random.Random(6563), EXAMPLE_WEIGHTS, 12000.0, "2 4", "1.0")


def survey(copies, root):
    rng = random.Random(6563)
    counts = 12e6
    for copy in range(1, copies + 1):
        out = os.path.join(root, f"{copy:04d}")
        weights = [round(rng.uniform(0.2, 0.8), 3), round(rng.uniform(0.1, 0.5), 3),
                   round(rng.uniform(0.05, 0.4), 3)]
        write_data(out, rng, weights, counts, "0 0", f"{counts}")
        write(out, "weights-true.txt", [" ".join(f"{w}" for w in weights)])


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--survey":
        survey(int(sys.argv[2]), sys.argv[3])
    elif len(sys.argv) == 1:
        main()
    else:
        sys.exit("usage: make_example_data.py [--survey N DIR]")
