"""The programs and data the module's tests compare with, from CTest's
environment: LINESYNTH (the run), LINESYNTH_TOOLS (the companion),
LINESYNTH_MAKE_LARGE_DATA (bench's generator of the largest data set) and
LINESYNTH_SOURCE_DIR (the tree, for the example data)."""

import os
import shutil
import subprocess
import sys

import pytest


def _from_environment(name):
    value = os.environ.get(name)
    if not value:
        pytest.exit(f"{name} is not set (the test runs under CTest)", returncode=2)
    return value


@pytest.fixture(scope="session")
def programs():
    return {
        "run": _from_environment("LINESYNTH"),
        "tools": _from_environment("LINESYNTH_TOOLS"),
        "make_large_data": _from_environment("LINESYNTH_MAKE_LARGE_DATA"),
        "source": _from_environment("LINESYNTH_SOURCE_DIR"),
    }


@pytest.fixture
def example(tmp_path, programs):
    """A copy of the example data directory, with its separator."""
    target = tmp_path / "data"
    shutil.copytree(os.path.join(programs["source"], "examples", "data"), target)
    return str(target) + os.sep


@pytest.fixture(scope="session")
def generated(tmp_path_factory, programs):
    """The data sets the other tests make: three survey copies of the example
    (their own weights, flags 0 0) and the largest data set (10,000 rows, ten
    sets)."""
    root = tmp_path_factory.mktemp("generated")
    subprocess.run([sys.executable, os.path.join(programs["source"], "examples",
                                                 "make_example_data.py"),
                    "--survey", "3", str(root / "survey")], check=True,
                   stdout=subprocess.DEVNULL)
    large = root / "large"
    large.mkdir()
    subprocess.run([programs["make_large_data"], str(large), "6563"], check=True,
                   stdout=subprocess.DEVNULL)
    dirs = sorted(str(p) + os.sep for p in (root / "survey").iterdir())
    return dirs + [str(large) + os.sep]
