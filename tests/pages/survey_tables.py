"""survey and export end to end: three data directories, one of them broken,
into ECSV and CSV; astropy reads the tables as they are, with their types and
units; the table does not depend on the number of threads; survey --update
keeps exactly the rows that a fresh survey would give again.
    survey_tables.py LINESYNTH_TOOLS EXAMPLE_DATA
Exits 77 (skipped) where astropy is missing, unless LINESYNTH_REQUIRE_ASTROPY
is set."""

import csv
import os
import shutil
import subprocess
import sys
import tempfile

from tool_runs import fail, read_bytes

try:
    import numpy
    from astropy.table import Table
    import astropy.units as u
except ImportError:
    if os.environ.get("LINESYNTH_REQUIRE_ASTROPY"):
        fail("astropy is not installed (apt-get install python3-astropy)")
    print("astropy is not installed: skipped")
    sys.exit(77)


def run(tools, *args, status=0):
    done = subprocess.run([tools, *args], capture_output=True, stdin=subprocess.DEVNULL)
    if done.returncode != status:
        fail("linesynth-tools %s: status %d, not %d\n%s"
             % (" ".join(args), done.returncode, status, done.stderr.decode(errors="replace")))
    return done


def check_update(tools, work, dirs):
    """survey --update keeps the rows whose files, options and version are
    unchanged, from the earlier table or from the checkpoint of a survey that
    was killed, and its table is the bytes of a fresh survey."""
    old = os.path.join(work, "update.ecsv")
    checkpoint = old + ".partial"
    fresh = os.path.join(work, "fresh.ecsv")

    def torn_checkpoint():
        # A survey killed in its second row: the header, one row, half a row.
        lines = read_bytes(fresh).splitlines(keepends=True)
        first = next(i for i, line in enumerate(lines) if not line.startswith(b"#")) + 1
        with open(checkpoint, "wb") as f:
            f.write(b"".join(lines[:first + 1]) + lines[first + 1][:20])
        os.remove(old)

    def append(path, text):
        with open(path, "a", encoding="ascii") as f:
            f.write(text)

    # (what changes before the survey, its options, rows kept of 3)
    rows = [
        ("no earlier table", (), 0),
        ("nothing, on four threads", ("--jobs", "4"), 3),
        ("the mask of the second directory", (), 2),
        ("a blank line in the first one's vlt.txt", ("--jobs", "4"), 2),
        ("an option: --free", ("--free",), 0),
        ("the survey killed after one row", (), 1),
    ]
    for change, options, kept in rows:
        if change.startswith("the mask"):
            append(os.path.join(dirs[1], "mask.txt"), "6580.0 6581.0\n")
        elif change.startswith("a blank"):
            append(os.path.join(dirs[0], "vlt.txt"), "\n")
        common = ("survey", "--fit", "--mask-name", "mask.txt", *options, *dirs)
        run(tools, *common, "-o", fresh, status=1)
        if change.startswith("the survey killed"):
            torn_checkpoint()
        done = run(tools, *common, "--update", old, "-o", old, status=1)
        report = "%d of 3 rows kept" % kept
        if report.encode() not in done.stderr:
            fail("--update after %s: %r, not %r" % (change, done.stderr, report))
        if read_bytes(old) != read_bytes(fresh):
            fail("--update after %s: not the bytes of a fresh survey" % change)
        if os.path.exists(checkpoint):
            fail("--update after %s left its checkpoint" % change)


def main():
    tools, example = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="linesynth-survey-")
    try:
        dirs = [os.path.join(work, name) for name in ("first", "with blank", "broken")]
        for d in dirs:
            shutil.copytree(example, d)
        os.remove(os.path.join(dirs[2], "VeltoOut2.txt"))
        with open(os.path.join(dirs[1], "mask.txt"), "w", encoding="ascii") as f:
            f.write("6570.0 6571.0\n")

        tables = {}
        for jobs in ("1", "4"):
            for suffix in ("ecsv", "csv"):
                out = os.path.join(work, "survey%s.%s" % (jobs, suffix))
                done = run(tools, "survey", "--fit", "--mask-name", "mask.txt", "--jobs", jobs,
                           "-o", out, *dirs, status=1)
                if done.stdout or b"1 of 3 directories failed" not in done.stderr:
                    fail("survey's report: %r" % done.stderr)
                tables[jobs, suffix] = read_bytes(out)
        for suffix in ("ecsv", "csv"):
            if tables["1", suffix] != tables["4", suffix]:
                fail("--jobs 1 and --jobs 4 give different %s tables" % suffix)
        if run(tools, "survey", "--fit", "--mask-name", "mask.txt", *dirs,
               status=1).stdout != tables["1", "csv"]:
            fail("the CSV on standard output differs from the CSV file")

        table = Table.read(os.path.join(work, "survey1.ecsv"), format="ascii.ecsv")
        if list(table["directory"]) != dirs:
            fail("rows not in the order given: %s" % list(table["directory"]))
        if list(table["status"]) != ["ok", "ok", "input_file"]:
            fail("statuses %s" % list(table["status"]))
        if "VeltoOut2.txt" not in table["message"][2]:
            fail("the broken row's message: %r" % table["message"][2])
        for name, kind in (("sets", "i"), ("points", "i"), ("chi2", "f"), ("w1", "f"), ("dof", "i"),
                           ("w1_err", "f"), ("snr", "f"), ("integral", "f"),
                           ("rank", "i"), ("mask", "b"), ("title", "U")):
            if table[name].dtype.kind != kind:
                fail("column %s has type %s" % (name, table[name].dtype))
        if table["adev_percent"].unit != u.percent or table["chi2"].unit is not None:
            fail("units %s and %s" % (table["adev_percent"].unit, table["chi2"].unit))
        if list(table["mask"]) != [False, True, False]:
            fail("mask column %s" % list(table["mask"]))
        if list(table["points"].mask) != [False, False, True] or not table["w4"].mask.all():
            fail("missing values not masked: %s" % table["points"].mask)
        if list(table["points"][:2]) != [400, 392] or list(table["sets"][:2]) != [3, 3]:
            fail("points %s" % list(table["points"]))
        if table["title"][0] != "H-alpha region, three-component synthesis (example data set)":
            fail("title %r" % table["title"][0])
        # The CSV holds the same texts as the ECSV.
        with open(os.path.join(work, "survey1.csv"), newline="", encoding="utf-8") as f:
            rows = list(csv.reader(f))
        if rows[0] != table.colnames or rows[2][0] != dirs[1] or rows[3][1] != "input_file":
            fail("CSV rows %s" % rows[:1])
        if float(rows[1][rows[0].index("chi2")]) != table["chi2"][0]:
            fail("chi2 differs between CSV and ECSV")

        exported = os.path.join(work, "rows.ecsv")
        run(tools, "export", "--dir", dirs[1], "--mask", os.path.join(dirs[1], "mask.txt"),
            "--fit", "--wavelength-unit", "Angstrom", "-o", exported)
        rows = Table.read(exported)
        if len(rows) != 400 or rows["masked"].dtype.kind != "b" or rows["masked"].sum() != 8:
            fail("export: %d rows, %s masked" % (len(rows), rows["masked"].sum()))
        if rows["wavelength"].unit != u.AA or rows["observed"].unit is not None:
            fail("export units %s %s" % (rows["wavelength"].unit, rows["observed"].unit))
        # The residual is observed - model in double, and every text reads back exactly.
        if not numpy.array_equal(rows["residual"], rows["observed"] - rows["model"]):
            fail("export: residual is not observed - model")
        if (rows.meta["title"] != table["title"][0]
                or len(rows.meta["inputs"]["qdqd.txt"]["sha256"]) != 64):
            fail("export meta %s" % rows.meta)
        if rows.meta["calibration"]["px_2"] != 401 or rows.meta["normalisation"]["norm_a"] != 2:
            fail("export calibration %s" % rows.meta)
        check_update(tools, work, dirs)
    finally:
        shutil.rmtree(work)
    print("survey and export tables: ok")


if __name__ == "__main__":
    main()
