#!/usr/bin/python3
"""bench/python_fit.py BUILD_DIR [REPEATS]: the Python module's speed in one
process on the largest data set (bench/make_large_data.cpp, seed 6563):

  1. load + fit(scale=True) in this process, against the whole command
     `linesynth-tools fit --scale --json` (a process of its own each time);
  2. the fit alone, against a plain NumPy least-squares solve
     (numpy.linalg.lstsq) of the same design: one column per component set on
     the observed scale and one for ref_a, rows divided by sigma (1 here);
  3. fits of two copies on a thread pool of two, against one after the other
     (the fit releases the interpreter's lock).

BUILD_DIR is a build with the module (cmake --preset release, targets
linesynth-tools, linesynth_python and linesynth_make_large_data). Prints the
medians of REPEATS (default 20) timings each; checks nothing."""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

SEED = "6563"


def median_ms(action, repeats):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        action()
        times.append(time.perf_counter() - start)
    return statistics.median(times) * 1000


def column(path):
    import numpy as np

    with open(path) as file:
        values = file.read().split()
    return np.array(values[1:], dtype=float)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    repeats = int(sys.argv[2]) if len(sys.argv) == 3 else 20
    sys.path.insert(0, os.path.join(build, "python"))
    import numpy as np

    import linesynth

    tools = next(p for p in (os.path.join(build, "src", "tools", "linesynth-tools"),
                             os.path.join(build, "bin", "linesynth-tools")) if os.path.exists(p))
    make = next(p for p in (os.path.join(build, "bench", "linesynth_make_large_data"),
                            os.path.join(build, "bin", "linesynth_make_large_data"))
                if os.path.exists(p))
    work = tempfile.mkdtemp(prefix="linesynth-python-bench-")
    try:
        data_dir = os.path.join(work, "data") + os.sep
        subprocess.run([make, data_dir, SEED], check=True, stdout=subprocess.DEVNULL)
        copy = shutil.copytree(data_dir, os.path.join(work, "copy")) + os.sep

        in_process = median_ms(lambda: linesynth.load(data_dir).fit(scale=True), repeats)
        command = median_ms(lambda: subprocess.run(
            [tools, "fit", "--scale", "--json", "--dir", data_dir], check=True,
            stdout=subprocess.DEVNULL), repeats)

        data = linesynth.load(data_dir)
        fit_alone = median_ms(lambda: data.fit(scale=True), repeats)

        # The same design for NumPy: S(I) = (synthetic - flux_2) * scale_fwd + ref_b,
        # synthetic = continuum + sum w(J) * component_J, and with the scale the
        # slope a = (ref_a - ref_b) / (flux_1 - flux_2) as one more unknown.
        c = data.calibration
        continuum = column(data_dir + "continum.txt")
        components = [column(data_dir + f"VeltoOut{j}.txt") - continuum
                      for j in range(1, len(data.weights) + 1)]
        slope = (data.ref_a - data.ref_b) / (c["flux_1"] - c["flux_2"])
        rows = len(data.observed)
        design = np.column_stack([slope * comp[:rows] for comp in components]
                                 + [continuum[:rows] - c["flux_2"]]) / data.sigma[:, None]
        target = (data.observed - data.ref_b) / data.sigma
        numpy_lstsq = median_ms(lambda: np.linalg.lstsq(design, target, rcond=None), repeats)

        loaded = [data, linesynth.load(copy)]
        one_after_other = median_ms(lambda: [d.fit(scale=True) for d in loaded], repeats)
        with ThreadPoolExecutor(max_workers=2) as pool:
            two_threads = median_ms(
                lambda: list(pool.map(lambda d: d.fit(scale=True), loaded)), repeats)
    finally:
        shutil.rmtree(work)

    print(f"largest data set: {rows} rows, {len(data.weights)} sets; medians of {repeats}")
    print(f"load + fit(scale=True) in process:     {in_process:8.2f} ms")
    print(f"linesynth-tools fit --scale --json:    {command:8.2f} ms"
          f"  ({command / in_process:.2f} times as long)")
    print(f"fit(scale=True) alone:                 {fit_alone:8.2f} ms")
    print(f"numpy.linalg.lstsq, same design:       {numpy_lstsq:8.2f} ms"
          f"  (the fit takes {fit_alone / numpy_lstsq:.2f} times as long)")
    print(f"two fits one after the other:          {one_after_other:8.2f} ms")
    print(f"two fits on two threads:               {two_threads:8.2f} ms"
          f"  (speed-up {one_after_other / two_threads:.2f})")


if __name__ == "__main__":
    main()
