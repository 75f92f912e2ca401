"""Writing data files: the weights of a directory, or a new directory."""

import os

import numpy as np

from . import _linesynth

_CALIBRATION = ("wl_1", "wl_2", "px_1", "px_2", "flux_1", "level_1", "flux_2", "level_2")


def write_weights(directory, weights, ref_a=None, wait=False):
    """Replaces ``synthesis.txt`` (and with ``ref_a`` the scale file, its
    ``ref_b`` kept) exactly as ``fit --write`` does: under the directory's
    lock (``wait`` waits for another writer), both files or neither, each old
    file kept as NAME.bak, or .bak.1, .bak.2, ... when taken. Returns
    ``{name: backup}``. Refuses (``linesynth.Refused``) what ``fit --write``
    refuses, a weight count other than the directory's set count, and values
    beyond the 32-bit reals."""
    values = [float(w) for w in np.asarray(weights, dtype=float).ravel()]
    done = _linesynth.write_weights(
        os.fspath(directory), values, None if ref_a is None else float(ref_a), bool(wait)
    )
    return dict(done)


def _column(values):
    if hasattr(values, "unit") and hasattr(values, "value"):
        values = values.value  # an astropy Quantity: its numbers as given
    return [float(v) for v in np.asarray(values, dtype=float).ravel()]


def _observed_columns(observed):
    # A Spectrum1D, a pair (wavelengths, fluxes) or an array of N rows of two.
    if hasattr(observed, "spectral_axis") and hasattr(observed, "flux"):
        return _column(observed.spectral_axis), _column(observed.flux)
    if isinstance(observed, (tuple, list)) and len(observed) == 2:
        return _column(observed[0]), _column(observed[1])
    rows = np.asarray(observed, dtype=float)
    if rows.ndim != 2 or rows.shape[1] != 2:
        raise ValueError("observed: give (wavelengths, fluxes) or an array of rows of two")
    return _column(rows[:, 0]), _column(rows[:, 1])


def write_directory(path, observed, continuum, components, weights, calibration, title="",
                    scale=(1.0, 0.0), normalise=False):
    """Writes a new data directory in the run's layout: ``observed`` (a
    Spectrum1D, a pair of wavelengths and fluxes, or rows of two), the
    ``continuum``, the ``components`` (one spectrum per set, as its file holds
    it: the run takes the continuum away), their ``weights``, the
    ``calibration`` (a mapping of wl_1, wl_2, px_1, px_2, flux_1, level_1,
    flux_2, level_2 and optionally probe_flux, default flux_1), the ``title``,
    the scale file's ``(ref_a, ref_b)``, and ``normalise`` for flags 2 4.
    Every real is written as the shortest text of its nearest 32-bit real.
    Refuses (``linesynth.Refused``) counts above the tables' sizes, more than
    ten sets, values beyond the 32-bit reals or integers, and a directory
    that already holds a data file."""
    values = _linesynth.NewDirectory()
    values.title = str(title)
    values.wavelengths, values.observed = _observed_columns(observed)
    values.continuum = _column(continuum)
    values.components = [_column(c) for c in components]
    values.weights = _column(weights)
    missing = [name for name in _CALIBRATION if name not in calibration]
    if missing:
        raise ValueError("calibration: missing " + ", ".join(missing))
    new_calibration = _linesynth.NewCalibration()
    for name in _CALIBRATION:
        value = calibration[name]
        if name.startswith(("px", "level")):
            if int(value) != value:
                raise ValueError(f"calibration: {name} must be an integer, not {value!r}")
            value = int(value)
        else:
            value = float(value)
        setattr(new_calibration, name, value)
    new_calibration.probe_flux = float(calibration.get("probe_flux", calibration["flux_1"]))
    values.calibration = new_calibration
    values.ref_a, values.ref_b = (float(v) for v in scale)
    values.normalise = bool(normalise)
    _linesynth.write_directory(os.fspath(path), values)
