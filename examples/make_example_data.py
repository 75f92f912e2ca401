#!/usr/bin/env python3
"""Writes the bundled example data set into examples/data/.

An H-alpha region of 400 pixels at 0.125 Angstrom per pixel: an observed
absorption line with photon noise (in detector counts, normalised by the run),
a flat continuum, and three component line profiles (a narrow core, a broader
Gaussian and Lorentzian wings) combined with weights 0.5, 0.3 and 0.2.
sigma.txt gives each row's photon noise, sqrt(counts), in the units the run
compares: divided, like the observed flux, by the largest observed value.
The output is deterministic; run it again to regenerate the files.
"""
import math
import os
import random

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


def write(name, lines):
    with open(os.path.join(OUT, name), "w", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def main():
    os.makedirs(OUT, exist_ok=True)
    rng = random.Random(6563)
    wls = [wavelength(p) for p in range(1, POINTS + 1)]
    profiles = [
        [gaussian(w, 0.62, 0.45) for w in wls],
        [gaussian(w, 0.35, 1.60) for w in wls],
        [lorentzian(w, 0.25, 2.50) for w in wls],
    ]
    weights = [0.5, 0.3, 0.2]
    model = [1.0 + sum(wt * (p[i] - 1.0) for wt, p in zip(weights, profiles))
             for i in range(POINTS)]
    counts = 12000.0
    observed = [counts * m + rng.gauss(0.0, math.sqrt(counts * m)) for m in model]

    write("synthesis.txt", ["3"] + [f"{w}" for w in weights])
    write("vlt.txt", [
        "H-alpha region, three-component synthesis (example data set)",
        "1",
        "0",
        f"{WL_1} {WL_2}",
        f"{PX_1} {PX_2}",
        "1.0 12000",
        "0.0 0 0.5",
    ])
    write("FDftn.txt", [f"{POINTS} 2 4"] +
          [f"{w:.3f} {o:.1f}" for w, o in zip(wls, observed)])
    write("continum.txt", [f"{POINTS}"] + ["1.0"] * POINTS)
    for n, profile in enumerate(profiles, start=1):
        write(f"VeltoOut{n}.txt", [f"{POINTS}"] + [f"{v:.6f}" for v in profile])
    write("qdqd.txt", ["1.0", "0.0"])
    # The run divides the fluxes as it reads them (flags 2 4) by the largest.
    largest = max(float(f"{o:.1f}") for o in observed)
    write("sigma.txt", [f"{POINTS}"] +
          [f"{math.sqrt(counts * m) / largest:.6g}" for m in model])
    with open(os.path.join(OUT, "vltOut.htm"), "w", newline="\r\n") as f:
        f.write("<HTML><BODY><PRE>\n")


if __name__ == "__main__":
    main()
