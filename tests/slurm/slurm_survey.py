"""scripts/slurm-survey.sh on a live Slurm: a cluster of one node on the
loopback (munged, slurmctld and slurmd with slurm.conf.in, every file in a
temporary folder, a munge key made for the test), 200 copies of the example
with weights of their own and one directory whose run fails, listed by
relative names with blanks among them.
    slurm_survey.py LINESYNTH LINESYNTH_TOOLS
1. A dry run of 1,500 directories stays within the cluster's MaxArraySize.
2. A submission whose runs stop at two directories (a stand-in for linesynth
   that waits there while a hold file exists); the same command given
   meanwhile is refused. The stand-in of one is killed by a signal, so that
   its joblog records a run a signal ended, and the task holding the other
   is cancelled, which cancels the survey job too.
3. The same command again, without the hold: the survey table has one row per
   directory, every copy's weights within their errors of the truth and the
   failed directory's row saying so, and every directory was run exactly
   once (each run appends one line to its vltOut.htm): none that the first
   submission finished again, both held ones now.
Every daemon is stopped by its process id at the end, also on failure.
Exits 77 (skipped) where Slurm, munge, GNU parallel or astropy is missing or
the test is not run as root, unless LINESYNTH_REQUIRE_SLURM is set."""

import importlib.util
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SCRIPT = os.path.join(ROOT, "scripts", "slurm-survey.sh")
COPIES = 200
# Small, so that the 201 directories need blocks: 8 tasks of 26.
MAX_ARRAY_SIZE = 8
# One killed by a signal, one in the task that is cancelled: other blocks.
SIGNALLED, CANCELLED = "0060", "0150"
# A weight further from the truth than this many of its formal errors was not
# recovered (the copies' noise is fixed by their seed).
SIGMAS = 5
DAEMONS = ["munged", "slurmctld", "slurmd", "sbatch", "scontrol", "squeue", "scancel", "parallel"]


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def skip(message):
    if os.environ.get("LINESYNTH_REQUIRE_SLURM"):
        fail(message + " and LINESYNTH_REQUIRE_SLURM is set")
    print("SKIPPED: " + message)
    sys.exit(77)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def run(command, **options):
    return subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                          **options)


def wait_for(what, ready, seconds):
    deadline = time.monotonic() + seconds
    while not ready():
        if time.monotonic() > deadline:
            fail("waited %d s for %s" % (seconds, what))
        time.sleep(0.3)


class Cluster:
    """munged, slurmctld and slurmd in the foreground, so that each one's
    process id is the one the test started."""

    def __init__(self, folder):
        self.folder = folder
        self.daemons = []
        os.mkdir(folder, 0o700)
        os.mkdir(os.path.join(folder, "state"))
        os.mkdir(os.path.join(folder, "spool"))
        key = os.path.join(folder, "munge.key")
        with open(key, "wb") as f:
            f.write(os.urandom(1024))
        os.chmod(key, 0o400)
        with open(os.path.join(HERE, "slurm.conf.in"), encoding="ascii") as f:
            text = f.read()
        for field, value in (("DIR", folder), ("CTLD_PORT", free_port()),
                             ("SLURMD_PORT", free_port()), ("CPUS", os.cpu_count() or 1),
                             ("MAX_ARRAY", MAX_ARRAY_SIZE)):
            text = text.replace("@%s@" % field, str(value))
        self.conf = os.path.join(folder, "slurm.conf")
        with open(self.conf, "w", encoding="ascii") as f:
            f.write(text)
        os.environ["SLURM_CONF"] = self.conf

    def start(self):
        f = self.folder
        self.spawn(["munged", "--foreground", "--force", "--key-file=" + f + "/munge.key",
                    "--socket=" + f + "/munge.socket", "--pid-file=" + f + "/munged.pid",
                    "--log-file=" + f + "/munged.log", "--seed-file=" + f + "/munged.seed"])
        wait_for("munged", lambda: os.path.exists(f + "/munge.socket"), 20)
        self.spawn(["slurmctld", "-D", "-c", "-f", self.conf])
        self.spawn(["slurmd", "-D", "-f", self.conf, "-N", "linesynth-node"])
        wait_for("the node to be idle",
                 lambda: run(["sinfo", "-h", "-o", "%t"]).stdout.strip() == "idle", 60)

    def spawn(self, command):
        log = open(os.path.join(self.folder, os.path.basename(command[0]) + ".out"), "wb")
        self.daemons.append(subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log,
                                             stderr=subprocess.STDOUT))
        log.close()

    def stop(self):
        """Cancels every job, then stops each daemon, the last started first."""
        if len(self.daemons) == 3:
            run(["scancel", "--full", "--user=root"])
            deadline = time.monotonic() + 30
            while run(["squeue", "-h"]).stdout.strip() and time.monotonic() < deadline:
                time.sleep(0.5)
        for daemon in reversed(self.daemons):
            daemon.send_signal(signal.SIGTERM)
            try:
                daemon.wait(30)
            except subprocess.TimeoutExpired:
                daemon.kill()
                daemon.wait()

    def log_tail(self):
        text = ""
        for name in ("slurmctld.log", "slurmd.log"):
            path = os.path.join(self.folder, name)
            if os.path.exists(path):
                with open(path, encoding="utf-8", errors="replace") as f:
                    text += "--- %s\n%s" % (name, "".join(f.readlines()[-15:]))
        return text


def make_directories(work, program):
    subprocess.run([sys.executable, os.path.join(ROOT, "examples", "make_example_data.py"),
                    "--survey", str(COPIES), os.path.join(work, "survey data")], check=True)
    names = ["survey data/%04d/" % n for n in range(1, COPIES + 1)]
    # A directory whose run fails on its first read, among the others.
    broken = os.path.join(work, "survey data", "no calibration")
    shutil.copytree(os.path.join(ROOT, "examples", "data"), broken)
    os.remove(os.path.join(broken, "vlt.txt"))
    names.insert(100, "survey data/no calibration/")
    with open(os.path.join(work, "dirs.txt"), "w", encoding="utf-8") as f:
        f.write("".join(name + "\n" for name in names))
    # linesynth, except that it waits at the held directories while the hold
    # file exists, its process id in held-NAME; it starts the real program,
    # so every run is a real one.
    stand_in = os.path.join(work, "linesynth-held")
    with open(stand_in, "w", encoding="ascii") as f:
        f.write('#!/bin/sh\ncase "$TAVO_DIR" in *%s/|*%s/) while [ -e "%s/hold" ]; do '
                'echo $$ >"%s/held-$(basename "$TAVO_DIR")"; sleep 0.2; done ;; esac\n'
                'exec "%s" "$@"\n' % (SIGNALLED, CANCELLED, work, work, program))
    os.chmod(stand_in, 0o755)
    return names, stand_in


def summary_lines(work, name):
    path = os.path.join(work, name, "vltOut.htm")
    with open(path, "rb") as f:
        return f.read().count(b"\n")


def finished_in_joblogs(state):
    """The directories whose runs a joblog records as ended by themselves,
    with one of linesynth's statuses, 0 or 1; joblog-BLOCK-INDEX.txt numbers
    its runs from 1 within its block."""
    with open(os.path.join(state, "dirs.txt"), encoding="utf-8") as f:
        listed = f.read().splitlines()
    finished = set()
    for name in os.listdir(state):
        found = re.fullmatch(r"joblog-(\d+)-(\d+)\.txt", name)
        if found:
            start = int(found.group(1)) * int(found.group(2)) - 1
            with open(os.path.join(state, name), encoding="utf-8") as f:
                for line in f.read().splitlines()[1:]:
                    fields = line.split("\t")
                    if fields[6] in ("0", "1") and fields[7] == "0":
                        finished.add(listed[start + int(fields[0])])
    return finished


def submit(work, stand_in, tools, extra=()):
    environment = dict(os.environ, LINESYNTH=stand_in, LINESYNTH_TOOLS=tools)
    return run([SCRIPT, "--partition", "test", "--time", "10", "--cpus", "1", *extra,
                "dirs.txt", "survey.ecsv", "--", "--sigma-name", "sigma.txt"],
               cwd=work, env=environment)


def check_table(work, names):
    from astropy.table import Table
    from numpy.ma import masked

    table = Table.read(os.path.join(work, "survey.ecsv"))
    if list(table["directory"]) != names:
        fail("the table's directories differ from the list")
    for row in table:
        if row["directory"].endswith("no calibration/"):
            if row["status"] == "ok":
                fail("the directory without vlt.txt has the status ok")
            continue
        with open(os.path.join(work, row["directory"], "weights-true.txt"),
                  encoding="ascii") as f:
            truth = [float(w) for w in f.read().split()]
        fitted = [row["w1"], row["w2"], row["w3"]]
        errors = [row["w1_err"], row["w2_err"], row["w3_err"]]
        if row["status"] != "ok" or any(e is masked or not 0 < e < 0.01 or abs(w - t) > SIGMAS * e
                                        for w, e, t in zip(fitted, errors, truth)):
            fail("%s: %s, weights %s +- %s, made with %s"
                 % (row["directory"], row["status"], fitted, errors, truth))


def main():
    program, tools = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    missing = [name for name in DAEMONS if shutil.which(name) is None]
    if missing:
        skip("%s not installed (apt-get install slurm-wlm munge parallel)" % ", ".join(missing))
    if os.geteuid() != 0:
        skip("the test cluster's daemons run as root, and this is not root")
    if importlib.util.find_spec("astropy") is None:
        skip("astropy is not installed (apt-get install python3-astropy)")

    started = time.monotonic()
    folder = tempfile.mkdtemp(prefix="linesynth-slurm-")
    cluster = None
    work = os.path.join(folder, "work")
    # A stop by CTest's time limit also stops the daemons.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped by SIGTERM"))
    try:
        cluster = Cluster(os.path.join(folder, "cluster"))
        os.mkdir(work)
        cluster.start()
        names, stand_in = make_directories(work, program)

        with open(os.path.join(work, "many.txt"), "w", encoding="ascii") as f:
            f.write("".join("d%04d/\n" % n for n in range(1, 1501)))
        dry = run([SCRIPT, "--dry-run", "--tasks", "5000", "many.txt", "many.ecsv"], cwd=work,
                  env=dict(os.environ, LINESYNTH=program, LINESYNTH_TOOLS=tools))
        if dry.returncode != 0 or "--array=0-%d " % (MAX_ARRAY_SIZE - 1) not in dry.stdout \
                or os.path.exists(os.path.join(work, "many.slurm")):
            fail("dry run of 1500 directories:\n%s%s" % (dry.stdout, dry.stderr))

        before = {name: summary_lines(work, name) for name in names if "calibration" not in name}
        open(os.path.join(work, "hold"), "w").close()
        first = submit(work, stand_in, tools)
        runs_job = re.search(r"^runs job: (\d+)$", first.stdout, re.M)
        if first.returncode != 0 or not runs_job:
            fail("first submission: status %d\n%s%s" % (first.returncode, first.stdout,
                                                         first.stderr))
        # Every task but the held ones ends, one when its held run is killed;
        # then the other is cancelled.
        held = [os.path.join(work, "held-" + name) for name in (SIGNALLED, CANCELLED)]
        wait_for("the held directories", lambda: all(map(os.path.exists, held)), 120)
        # While they run, the same command again would run their blocks twice.
        again = submit(work, stand_in, tools)
        if again.returncode != 1 or "still queued or running" not in again.stderr:
            fail("a second submission while the first runs: status %d\n%s%s"
                 % (again.returncode, again.stdout, again.stderr))
        with open(held[0], encoding="ascii") as f:
            os.kill(int(f.read()), signal.SIGTERM)
        wait_for("the other tasks",
                 lambda: len(run(["squeue", "-h", "-r", "--jobs=" + runs_job.group(1)])
                             .stdout.splitlines()) == 1, 120)
        run(["scancel", runs_job.group(1)], check=True)
        wait_for("an empty queue", lambda: not run(["squeue", "-h"]).stdout.strip(), 60)
        if os.path.exists(os.path.join(work, "survey.ecsv")):
            fail("the survey ran although a task was cancelled")
        finished = finished_in_joblogs(os.path.join(work, "survey.slurm"))
        if any(name.endswith(SIGNALLED + "/") for name in finished):
            fail("the run killed by a signal counts as finished")
        counts = {name: summary_lines(work, name) for name in finished if name in before}
        if not 100 < len(finished) < len(names):
            fail("%d directories finished before the cancel" % len(finished))

        os.remove(os.path.join(work, "hold"))
        second = submit(work, stand_in, tools, ["--wait"])
        # The survey's own status is 1: one directory failed.
        if second.returncode not in (0, 1) or not os.path.exists(
                os.path.join(work, "survey.ecsv")):
            fail("second submission: status %d\n%s%s" % (second.returncode, second.stdout,
                                                          second.stderr))
        check_table(work, names)
        repeated = [name for name, count in counts.items() if summary_lines(work, name) != count]
        unrun = [name for name, count in before.items() if summary_lines(work, name) != count + 1]
        if repeated or unrun:
            fail("run again after they finished: %s; not run exactly once: %s"
                 % (repeated[:5], unrun[:5]))
    except SystemExit:
        if cluster:
            print(cluster.log_tail(), file=sys.stderr)
        raise
    finally:
        if cluster:
            cluster.stop()
        shutil.rmtree(folder, ignore_errors=True)
    print("survey of %d directories on a live Slurm, %d finished before the cancel and not "
          "repeated: ok (%.0f s)" % (len(names), len(finished), time.monotonic() - started))


if __name__ == "__main__":
    main()
