#!/usr/bin/python3
"""Coverage of the fit's errors, upper limits and combinations.

bench/coverage.py TOOLS [TRIALS] [SEED] generates mixtures of line profiles
with known weights in temporary data directories, runs `TOOLS fit --json`
on each (TOOLS the built linesynth-tools), and prints per regime the pulls
(fitted - true) / error of the weights that have an error: their mean, their
standard deviation, the share within 1 and 2 errors, the worst; the share of
upper limits of held weights at or above the true weight; and the pulls of
the combinations of nearly dependent sets against their true value. The
shift regime moves the observed spectrum by half a row and gives the pulls
(shift - 0.5) / error.

Slow (a few minutes): it is not part of the tests.
"""
import json
import subprocess
import sys
import tempfile
from pathlib import Path

import numpy as np

ROWS = 300
VLT = "Mixture\n1\n0\n4000 5000\n1 1001\n2 200\n0 0 1\n"


def gauss(x, centre, width):
    return np.exp(-0.5 * ((x - centre) / width) ** 2)


def shapes(kind, eps=0.0, x=None):
    """Component spectra (1 - depth) for a regime."""
    x = np.arange(1, ROWS + 1, dtype=float) if x is None else x
    narrow = 0.6 * gauss(x, 150, 5)
    broad = 0.35 * gauss(x, 150, 20)
    wing = 0.25 / (1 + ((x - 150) / 30) ** 2)
    blue = 0.4 * gauss(x, 100, 8)
    if kind == "distinct":
        return [1 - narrow, 1 - broad, 1 - wing]
    if kind == "partner":  # sets 1 and 2 alike (widths 5 and 6), set 3 apart
        return [1 - narrow, 1 - 0.6 * gauss(x, 150, 6), 1 - blue]
    if kind == "pair":  # set 2 = set 1 plus eps of a broad wing, set 3 apart
        return [1 - narrow, 1 - narrow - eps * wing, 1 - blue]
    if kind == "zero":
        return [1 - narrow, 1 - broad, 1 - blue]
    raise ValueError(kind)


def text(values):
    return "".join(f"{v:.7g}\n" for v in values)


def write_directory(path, kind, eps, weights, rng, snr, poisson, sigma_file, shift=0.0):
    """The components at rows 1..ROWS; the observed features `shift` rows higher."""
    sets = shapes(kind, eps)
    moved = shapes(kind, eps, np.arange(1, ROWS + 1, dtype=float) - shift)
    model = 1 + sum(w * (m - 1) for w, m in zip(weights, moved))
    sigma = (np.sqrt(model / model.max()) if poisson else np.ones(ROWS)) / snr
    observed = model + sigma * rng.standard_normal(ROWS)
    files = {
        "synthesis.txt": f"{len(sets)}\n" + "1\n" * len(sets),
        "vlt.txt": VLT,
        "FDftn.txt": f"{ROWS} 0 0\n" + "".join(f"{4000 + i} {v:.7g}\n" for i, v in enumerate(observed)),
        "continum.txt": f"{ROWS}\n" + "1\n" * ROWS,
        "qdqd.txt": "2\n0\n",
    }
    if sigma_file:
        files["sigma.txt"] = f"{ROWS}\n" + text(sigma)
    for j, s in enumerate(sets):
        files[f"VeltoOut{j + 1}.txt"] = f"{ROWS}\n" + text(s)
    for name, content in files.items():
        (path / name).write_text(content)


def fit(tools, path, sigma_file):
    command = [tools, "fit", "--json", "--dir", str(path) + "/"]
    if sigma_file:
        command += ["--sigma", str(path / "sigma.txt")]
    result = subprocess.run(command, capture_output=True, text=True, check=False)
    if result.returncode != 0:
        return None
    return json.loads(result.stdout)


REGIMES = [
    # name, shape kind, eps, true weights, S/N, Poisson, sigma file
    ("ordinary, Gaussian, sigma file", "distinct", 0, [0.5, 0.3, 0.2], 100, False, True),
    ("ordinary, Poisson, unit sigma", "distinct", 0, [0.5, 0.3, 0.2], 100, True, False),
    ("held partner (widths 5 and 6)", "partner", 0, [0.25, 0.03, 0.2], 30, False, True),
    ("held partner, S/N 10", "partner", 0, [0.25, 0.342, 0.2], 10, False, True),
    ("pair differing by 1e-2", "pair", 1e-2, [0.3, 0.4, 0.2], 100, False, True),
    ("pair differing by 1e-4", "pair", 1e-4, [0.3, 0.4, 0.2], 100, False, True),
    ("pair differing by 1e-6", "pair", 1e-6, [0.3, 0.4, 0.2], 100, False, True),
    ("pair differing by 1e-8", "pair", 1e-8, [0.3, 0.4, 0.2], 300, False, True),
    ("a true weight of 0", "zero", 0, [0.5, 0.0, 0.2], 100, False, True),
    ("a true weight of 0, unit sigma", "zero", 0, [0.5, 0.0, 0.2], 100, True, False),
]


def summary(pulls):
    p = np.array(pulls)
    if p.size == 0:
        return "   n      0"
    return (f"{p.size:6d} {p.mean():+6.2f} {p.std():5.2f} {100 * np.mean(np.abs(p) <= 1):6.1f}"
            f" {100 * np.mean(np.abs(p) <= 2):6.1f} {np.abs(p).max():6.1f}")


def main():
    tools = sys.argv[1]
    trials = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    rng = np.random.default_rng(int(sys.argv[3]) if len(sys.argv) > 3 else 27)
    print(f"{'regime':34} {'pulls':>6} {'mean':>6} {'sd':>5} {'<=1':>6} {'<=2':>6} {'worst':>6}"
          f"  {'limits':>6} {'cover':>6}  {'combos':>6} {'<=2':>6}")
    with tempfile.TemporaryDirectory() as scratch:
        path = Path(scratch)
        for name, kind, eps, truth, snr, poisson, sigma_file in REGIMES:
            pulls, limits, combos = [], [], []
            for _ in range(trials):
                write_directory(path, kind, eps, truth, rng, snr, poisson, sigma_file)
                result = fit(tools, path, sigma_file)
                if result is None:
                    continue
                f = result["fit"]
                for j, t in enumerate(truth):
                    if f["errors"][j] is not None:
                        pulls.append((f["weights"][j] - t) / f["errors"][j])
                    if f["upper_limits"][j] is not None:
                        limits.append(f["upper_limits"][j] >= t)
                for c in f["combinations"]:
                    if c["error"]:
                        true_value = sum(k * truth[s - 1] for k, s in zip(c["coefficients"], c["sets"]))
                        combos.append((c["value"] - true_value) / c["error"])
            cover = f"{len(limits):6d} {100 * np.mean(limits):6.1f}" if limits else f"{0:6d} {'-':>6}"
            combo = (f"{len(combos):6d} {100 * np.mean(np.abs(np.array(combos)) <= 2):6.1f}"
                     if combos else f"{0:6d} {'-':>6}")
            print(f"{name:34} {summary(pulls)}  {cover}  {combo}", flush=True)
        shifts = []
        for _ in range(trials // 4):
            write_directory(path, "distinct", 0, [0.5, 0.3, 0.2], rng, 100, False, True, 0.5)
            command = [tools, "stats", "--json", "--dir", str(path) + "/", "--sigma",
                       str(path / "sigma.txt")]
            stats = json.loads(subprocess.run(command, capture_output=True, text=True).stdout)
            s = stats["stats"]["shift"]
            shifts.append((s["value"] - 0.5) / s["error"])
        print(f"{'observed moved by 0.5 row (shift)':34} {summary(shifts)}")


if __name__ == "__main__":
    main()
