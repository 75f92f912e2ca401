"""Shared by the plot and report checks: a scratch copy of a data directory
and runs of linesynth-tools on it."""

import json
import os
import shutil
import subprocess
import sys
import tempfile

# A range inside the example spectrum, away from the line core.
MASK_TEXT = "# telluric\n6570.0 6571.0\n"


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def scratch_copy(data_dir):
    """A temporary directory holding a copy of data_dir and a mask file."""
    work = tempfile.mkdtemp(prefix="linesynth-plot-")
    data = os.path.join(work, "data")
    shutil.copytree(data_dir, data)
    mask = os.path.join(work, "mask.txt")
    with open(mask, "w", encoding="ascii") as f:
        f.write(MASK_TEXT)
    return work, data + os.sep, mask


def run_tool(tools, *args, cwd=None, status=0):
    done = subprocess.run([tools, *args], capture_output=True, stdin=subprocess.DEVNULL, cwd=cwd)
    if done.returncode != status:
        fail(
            "linesynth-tools %s: status %d\n%s"
            % (" ".join(args), done.returncode, done.stderr.decode(errors="replace"))
        )
    return done.stdout


def write_sigma(path, rows, value="0.01"):
    """A sigma file by the run's record rules: the count, then one value a line."""
    with open(path, "w", encoding="ascii") as f:
        f.write("%d\n" % rows + (value + "\n") * rows)


def stats_json(tools, data, mask, sigma=None):
    extra = ["--sigma", sigma] if sigma else []
    return json.loads(run_tool(tools, "stats", "--dir", data, "--mask", mask, *extra, "--json"))


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()
