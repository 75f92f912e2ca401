"""GNU parallel and the survey together: scripts/survey-example.sh with 50
copies of the example, then the table it wrote, read by astropy as it is:
50 rows, every status ok, and each directory's weights recovered.
    survey_example.py LINESYNTH LINESYNTH_TOOLS
Exits 77 (skipped) where astropy or GNU parallel is missing, unless
LINESYNTH_REQUIRE_ASTROPY is set."""

import os
import shutil
import subprocess
import sys
import tempfile

from tool_runs import fail

COPIES = 50
# A weight further from the truth than this many of its formal errors was
# not recovered (the copies' noise is fixed by their seed).
SIGMAS = 5

try:
    from astropy.table import Table
    from numpy.ma import masked
except ImportError:
    if os.environ.get("LINESYNTH_REQUIRE_ASTROPY"):
        fail("astropy is not installed (apt-get install python3-astropy)")
    print("astropy is not installed: skipped")
    sys.exit(77)
if shutil.which("parallel") is None:
    if os.environ.get("LINESYNTH_REQUIRE_ASTROPY"):
        fail("GNU parallel is not installed (apt-get install parallel)")
    print("GNU parallel is not installed: skipped")
    sys.exit(77)


def main():
    program, tools = sys.argv[1], sys.argv[2]
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    work = tempfile.mkdtemp(prefix="linesynth-survey-example-")
    try:
        environment = dict(os.environ, LINESYNTH=program, LINESYNTH_TOOLS=tools)
        done = subprocess.run([os.path.join(root, "scripts", "survey-example.sh"),
                               str(COPIES), work], env=environment, stdin=subprocess.DEVNULL,
                              capture_output=True)
        if done.returncode != 0:
            fail("survey-example.sh: status %d\n%s%s" % (done.returncode,
                                                         done.stdout.decode(errors="replace"),
                                                         done.stderr.decode(errors="replace")))
        with open(os.path.join(work, "joblog.txt"), encoding="utf-8") as f:
            jobs = [line.split("\t") for line in f.read().splitlines()[1:]]
        if len(jobs) != COPIES or any(job[6] != "0" for job in jobs):
            fail("joblog: %d runs, exit values %s" % (len(jobs), sorted({j[6] for j in jobs})))

        table = Table.read(os.path.join(work, "survey.ecsv"))
        if len(table) != COPIES or any(status != "ok" for status in table["status"]):
            fail("%d rows, statuses %s" % (len(table), sorted(set(table["status"]))))
        for row in table:
            with open(os.path.join(row["directory"], "weights-true.txt"), encoding="ascii") as f:
                truth = [float(w) for w in f.read().split()]
            fitted = [row["w1"], row["w2"], row["w3"]]
            errors = [row["w1_err"], row["w2_err"], row["w3_err"]]
            if any(e is masked or not 0 < e < 0.01 or abs(w - t) > SIGMAS * e
                   for w, e, t in zip(fitted, errors, truth)):
                fail("%s: weights %s +- %s, made with %s"
                     % (row["directory"], fitted, errors, truth))
            if not all(row["w%d" % n] is masked for n in range(4, 11)) or not row["sigma"]:
                fail("%s: weights beyond the three sets, or no sigma" % row["directory"])
    finally:
        shutil.rmtree(work)
    print("survey of %d directories under GNU parallel: ok" % COPIES)


if __name__ == "__main__":
    main()
