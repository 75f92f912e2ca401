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


def run_tool(tools, *args):
    done = subprocess.run([tools, *args], capture_output=True, stdin=subprocess.DEVNULL)
    if done.returncode != 0:
        fail(
            "linesynth-tools %s: status %d\n%s"
            % (" ".join(args), done.returncode, done.stderr.decode(errors="replace"))
        )
    return done.stdout


def stats_json(tools, data, mask):
    return json.loads(run_tool(tools, "stats", "--dir", data, "--mask", mask, "--json"))


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()
