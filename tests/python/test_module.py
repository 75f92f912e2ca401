"""The Python module against the commands: the same numbers bit for bit, the
same refusals, the same safe replacement; readers of the files a run writes."""

import csv
import io
import json
import math
import os
import shutil
import struct
import subprocess

import numpy as np
import pytest

import linesynth


def tools(programs, *args, status=0):
    done = subprocess.run([programs["tools"], *args], capture_output=True,
                          stdin=subprocess.DEVNULL)
    assert done.returncode == status, done.stderr.decode(errors="replace")
    return done


def assert_same(ours, theirs, where="$"):
    """Equal as JSON values, every float to the bit (the sign of zero
    included), an integer never standing for a float."""
    assert type(ours) is type(theirs), f"{where}: {ours!r} against {theirs!r}"
    if isinstance(ours, dict):
        assert sorted(ours) == sorted(theirs), where
        for key in ours:
            assert_same(ours[key], theirs[key], f"{where}.{key}")
    elif isinstance(ours, list):
        assert len(ours) == len(theirs), where
        for i, (a, b) in enumerate(zip(ours, theirs)):
            assert_same(a, b, f"{where}[{i}]")
    elif isinstance(ours, float):
        assert struct.pack("<d", ours) == struct.pack("<d", theirs), f"{where}: {ours!r} {theirs!r}"
    else:
        assert ours == theirs, where


# (sigma file, mask, fit options): the command's flags for each.
CASES = [
    ("sigma.txt", None, dict(scale=True)),
    (None, "6570.0 6571.0\n", dict(free=True)),
    ("sigma.txt", None, dict(realizations=20, seed=7)),
]


@pytest.mark.parametrize("sigma, mask, options", CASES)
def test_numbers_equal_the_commands_json_on_the_example(example, programs, sigma, mask, options):
    check_numbers(example, programs, sigma, mask, options)


def test_numbers_equal_the_commands_json_on_the_generated_data(generated, programs):
    for directory in generated:
        sigma = "sigma.txt" if os.path.exists(directory + "sigma.txt") else None
        check_numbers(directory, programs, sigma, None, dict(scale=True))


def check_numbers(directory, programs, sigma, mask, options):
    flags, kwargs = ["--dir", directory], {}
    if sigma:
        flags += ["--sigma", directory + sigma]
        kwargs["sigma"] = directory + sigma
    if mask:
        with open(directory + "mask.txt", "w", encoding="ascii") as file:
            file.write(mask)
        flags += ["--mask", directory + "mask.txt"]
        kwargs["mask"] = directory + "mask.txt"
    fit_flags = ["--scale"] * options.get("scale", False) + ["--free"] * options.get("free", False)
    if "realizations" in options:
        fit_flags += ["--realizations", str(options["realizations"]), "--seed", str(options["seed"])]
    data = linesynth.load(directory, **kwargs)
    stats = data.stats()
    fit = data.fit(**options)
    assert_same(stats.json, json.loads(tools(programs, "stats", "--json", *flags).stdout))
    assert_same(fit.json, json.loads(tools(programs, "fit", "--json", *flags, *fit_flags).stdout))
    # The arrays hold the same doubles as the document.
    assert fit.weights.tobytes() == np.array(fit.json["fit"]["weights"]).tobytes()
    assert stats.chi2 == stats.json["stats"]["chi2"] and fit.chi2_after == fit.json["fit"]["chi2_after"]


def test_rows_equal_the_export_table(example, programs):
    with open(example + "mask.txt", "w", encoding="ascii") as file:
        file.write("6570.0 6571.0\n")
    data = linesynth.load(example, mask=example + "mask.txt", sigma=example + "sigma.txt")
    text = tools(programs, "export", "--dir", example, "--mask", example + "mask.txt",
                 "--sigma", example + "sigma.txt").stdout.decode()
    rows = list(csv.DictReader(line for line in io.StringIO(text) if not line.startswith("#")))
    assert len(rows) == len(data.wavelength) == 400
    for name in ("wavelength", "observed", "model", "residual", "sigma"):
        assert getattr(data, name).tobytes() == np.array([float(r[name]) for r in rows]).tobytes(), name
    assert list(data.masked) == [r["masked"] == "True" for r in rows]
    assert data.masked.sum() == 8


def broken_component(directory):
    os.remove(directory + "VeltoOut2.txt")


def bad_sigma(directory):
    with open(directory + "sigma.txt", "r+b") as file:
        lines = file.read().split(b"\n")
        lines[17] = b"0"
        file.seek(0)
        file.truncate()
        file.write(b"\n".join(lines))


@pytest.mark.parametrize("spoil", [broken_component, bad_sigma])
def test_a_refusal_raises_with_the_commands_message_file_and_record(example, programs, spoil):
    spoil(example)
    done = tools(programs, "stats", "--json", "--dir", example, "--sigma", example + "sigma.txt",
                 status=1)
    error = json.loads(done.stdout)["error"]
    with pytest.raises(linesynth.Refused) as raised:
        linesynth.load(example, sigma=example + "sigma.txt")
    assert done.stderr.decode() == f"linesynth-tools: {raised.value}\n"
    assert (raised.value.file, raised.value.record) == (error["file"], error["record"])


def test_write_weights_writes_what_fit_write_writes(example, programs, tmp_path):
    twin = str(tmp_path / "twin") + os.sep
    shutil.copytree(example, twin)
    tools(programs, "fit", "--dir", twin, "--scale", "--write")
    fit = linesynth.load(example).fit(scale=True)
    assert linesynth.write_weights(example, fit.weights, ref_a=fit.scale["ref_a"]) == {
        "synthesis.txt": "synthesis.txt.bak", "qdqd.txt": "qdqd.txt.bak"}
    for name in ("synthesis.txt", "qdqd.txt", "synthesis.txt.bak", "qdqd.txt.bak"):
        with open(example + name, "rb") as ours, open(twin + name, "rb") as theirs:
            assert ours.read() == theirs.read(), name


def read_only(directory):
    os.chmod(directory + "synthesis.txt", 0o444)
    return "synthesis.txt is read-only; it is left alone"


def linked_backup(directory):
    os.symlink(directory + "victim", directory + "synthesis.txt.bak")
    return None  # written, the old weights in .bak.1 and the link left alone


# What fit --write refuses or steps around, one row each (the file-safety
# table's cases), and what only the weights given here can get wrong.
@pytest.mark.parametrize("setup, weights", [
    (read_only, [0.5, 0.3, 0.2]),
    (linked_backup, [0.5, 0.3, 0.2]),
    (lambda d: "weights: 2 for the 3 component sets of synthesis.txt", [0.5, 0.3]),
    (lambda d: "weights, row 2: 1e+39 is beyond the 32-bit reals the run reads", [0.5, 1e39, 0.2]),
])
def test_write_weights_keeps_the_users_files(example, setup, weights):
    with open(example + "victim", "w") as file:
        file.write("victim")
    with open(example + "synthesis.txt", "rb") as file:
        hand_set = file.read()
    refusal = setup(example)
    if refusal:
        with pytest.raises(linesynth.Refused, match=refusal.replace("+", r"\+")):
            linesynth.write_weights(example, weights)
        with open(example + "synthesis.txt", "rb") as file:
            assert file.read() == hand_set
        assert not os.path.lexists(example + "synthesis.txt.bak")
    else:
        assert linesynth.write_weights(example, weights) == {"synthesis.txt": "synthesis.txt.bak.1"}
        with open(example + "synthesis.txt.bak.1", "rb") as file:
            assert file.read() == hand_set
        with open(example + "victim") as file:
            assert file.read() == "victim"


CALIBRATION = dict(wl_1=6000.0, wl_2=6009.0, px_1=1, px_2=10, flux_1=1.0, level_1=1000,
                   flux_2=0.0, level_2=0)


def test_write_directory_makes_a_directory_the_run_and_the_module_read(tmp_path, programs):
    wavelengths = 6000.0 + np.arange(10)
    line = 1.0 - 0.5 * np.exp(-0.5 * (wavelengths - 6004.5) ** 2)
    target = tmp_path / "new"
    linesynth.write_directory(target, observed=(wavelengths, 0.5 * line + 0.5),
                              continuum=np.ones(10), components=[line], weights=[0.5],
                              calibration=CALIBRATION, title="made in Python")
    done = linesynth.run(target, check=True, program=programs["run"])
    assert (done.status, done.stdout.strip()) == (0, "Stop - Program terminated.")
    data = linesynth.load(target)
    assert data.title.rstrip() == "made in Python"
    assert data.observed.tobytes() == (0.5 * line + 0.5).astype(np.float32).astype(float).tobytes()
    assert data.stats().chi2 == 0.0
    with pytest.raises(linesynth.Refused, match="exists"):
        linesynth.write_directory(target, observed=(wavelengths, line), continuum=np.ones(10),
                                  components=[], weights=[], calibration=CALIBRATION)


@pytest.mark.parametrize("change, refusal", [
    (dict(continuum=np.ones(10001)), "continuum: 10001 rows, above the 10000"),
    (dict(components=[np.ones(3)] * 11, weights=[0.1] * 11), "components: 11 sets, above the 10"),
    (dict(observed=([1.0, 2.0, 3.0], [1.0, 3.5e38, 1.0])),
     "observed, row 2: 3.5e+38 is beyond the 32-bit reals"),
    (dict(calibration=dict(CALIBRATION, level_1=2 ** 31)),
     "level_1: 2147483648 is beyond the 32-bit integers"),
])
def test_write_directory_refuses_what_the_run_cannot_hold(tmp_path, change, refusal):
    values = dict(observed=([1.0, 2.0, 3.0], [1.0, 1.0, 1.0]), continuum=np.ones(3),
                  components=[np.ones(3)], weights=[1.0], calibration=CALIBRATION)
    values.update(change)
    with pytest.raises(linesynth.Refused, match=refusal.replace("+", r"\+")):
        linesynth.write_directory(tmp_path / "new", **values)
    assert not os.path.exists(tmp_path / "new" / "synthesis.txt")


def test_run_reports_and_raises_on_a_run_time_error(example, programs):
    os.remove(example + "VeltoOut2.txt")
    done = linesynth.run(example, program=programs["run"])
    assert done.status == 1 and "run-time error F" in done.stderr
    with pytest.raises(linesynth.RunError, match="run-time error F"):
        linesynth.run(example, check=True, program=programs["run"])


def test_the_readers_read_what_the_run_wrote(example, programs):
    from astropy.table import Table
    from specutils import Spectrum1D

    linesynth.run(example, check=True, program=programs["run"])
    names = {"RDF.txt": ["wavelength", "model", "observed", "residual"],
             "RDF1.txt": ["wavelength", "synthetic", "observed", "residual"],
             "RDF2.txt": ["pixel", "synthetic_level", "observed_level"]}
    for name, columns in names.items():
        table = Table.read(example + name, format="linesynth-rdf")
        assert table.colnames == columns and len(table) == 400, name
    assert Table.read(example + "RDF2.txt", format="linesynth-rdf")["pixel"][-1] == 400
    data = linesynth.load(example, sigma=example + "sigma.txt")
    spectrum = Spectrum1D.read(example, format="linesynth")
    assert spectrum.flux.value.tobytes() == data.observed.tobytes()
    assert spectrum.uncertainty.array.tobytes() == data.sigma.tobytes()
    assert spectrum.spectral_axis.value.tobytes() == data.wavelength.tobytes()
    table = data.to_table(wavelength_unit="Angstrom")
    assert str(table["wavelength"].unit) == "Angstrom" and table["observed"].unit is None
