"""survey and export end to end: three data directories, one of them broken,
into ECSV and CSV; astropy reads the tables as they are, with their types and
units; the table does not depend on the number of threads.
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
    finally:
        shutil.rmtree(work)
    print("survey and export tables: ok")


if __name__ == "__main__":
    main()
