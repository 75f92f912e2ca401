"""The program itself on a data directory."""

import os
import shutil
import subprocess
from typing import NamedTuple

# A run-time error report ends the run with this status (a stop, whatever
# its kind, with 0).
_RUN_TIME_ERROR = 1


class CompletedRun(NamedTuple):
    status: int
    stdout: str
    stderr: str


class RunError(RuntimeError):
    """The run ended with its run-time error report; the message is the
    report, ``run`` the whole CompletedRun."""

    def __init__(self, completed):
        super().__init__(completed.stderr.strip() or f"exit status {completed.status}")
        self.run = completed


def _program(program):
    found = program or os.environ.get("LINESYNTH_PROGRAM") or shutil.which("linesynth")
    if not found:
        raise FileNotFoundError("linesynth is not installed (or give program=PATH)")
    return found


def run(directory, check=False, program=None, timeout=None):
    """Runs ``linesynth`` on ``directory`` (TAVO_DIR), standard input from the
    null device (so that a pause ends the run instead of waiting), and
    returns its exit status, standard output and standard error (single-byte
    texts, line ends as the run writes them). With ``check``, a run-time
    error report raises RunError. ``program`` (or the environment variable
    LINESYNTH_PROGRAM) names the program; else the one on PATH."""
    env = dict(os.environ, TAVO_DIR=os.fspath(directory))
    done = subprocess.run(
        [_program(program)],
        stdin=subprocess.DEVNULL,
        capture_output=True,
        env=env,
        timeout=timeout,
        check=False,
    )
    completed = CompletedRun(
        done.returncode, done.stdout.decode("latin-1"), done.stderr.decode("latin-1")
    )
    if check and completed.status == _RUN_TIME_ERROR:
        raise RunError(completed)
    return completed
