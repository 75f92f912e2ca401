"""A loaded data directory and the results of its statistics and fit."""

import os
from collections.abc import Mapping

import numpy as np

from . import _linesynth

# The fields of a fit that are one value per parameter or a matrix of them:
# NumPy arrays, a missing value (an error at the bound) as NaN.
_ARRAY_FIELDS = ("weights", "errors", "covariance", "correlation", "upper_limits")


def _as_array(value):
    try:
        return np.array(
            [np.nan if v is None else v for v in value]
            if value and not isinstance(value[0], list)
            else [[np.nan if v is None else v for v in row] for row in value],
            dtype=float,
        )
    except (TypeError, ValueError):
        return value  # not a list of numbers: left as the command gives it


class Result(Mapping):
    """Every field of the command's JSON object, by its name.

    ``result.NAME`` (or ``result["NAME"]``) looks NAME up in the section of
    the command (``stats`` or ``fit``), then among the keys both commands
    share (``title``, ``directory``, ``integral``, ...); ``result.json`` is
    the whole object as ``json.loads`` reads the command's output. The
    weights, errors, covariance, correlation and upper limits of a fit are
    NumPy arrays (NaN where the command gives null)."""

    def __init__(self, document, section):
        self.json = document
        self._section = section

    def _value(self, name):
        fields = self.json[self._section]
        if name in fields:
            value = fields[name]
            if self._section == "fit" and name in _ARRAY_FIELDS and isinstance(value, list):
                return _as_array(value)
            return value
        if name in self.json and name != self._section:
            return self.json[name]
        raise KeyError(name)

    def __getattr__(self, name):
        if name.startswith("_") or name == "json":
            raise AttributeError(name)
        try:
            return self._value(name)
        except KeyError:
            raise AttributeError(name) from None

    def __getitem__(self, name):
        return self._value(name)

    def __iter__(self):
        names = list(self.json[self._section])
        names += [k for k in self.json if k != self._section and k not in names]
        return iter(names)

    def __len__(self):
        return sum(1 for _ in self)

    def __repr__(self):
        return f"<linesynth {self._section} of {self.json.get('directory')!r}>"


class Directory:
    """A data directory read exactly as a run reads it (the run's own first
    stage), for reading only.

    The compared rows are arrays of one value per comparable row, the masked
    ones included: ``wavelength``, ``observed``, ``model`` (the mapped
    synthetic value of ``RDF.txt`` before rounding), ``residual`` (observed -
    model), ``sigma`` (1 without a sigma file) and ``masked``."""

    def __init__(self, loaded):
        self._loaded = loaded
        for name, values in loaded.rows().items():
            setattr(self, name, values)
        inputs = loaded.inputs()
        self._document = loaded.stats()
        self.directory = inputs["directory"]
        self.ref_a = inputs["ref_a"]
        self.ref_b = inputs["ref_b"]
        self.calibration = inputs["calibration"]
        self.title = self._document["title"]
        self.weights = np.array(self._document["weights_in"], dtype=float)
        self.normalised_by = self._document["normalised_by"]
        self.integral = self._document["integral"]
        self.sigma_from_file = self._document["sigma"] == "file"

    def stats(self):
        """The statistics of ``stats --json``: ``.chi2``, ``.points``, ..."""
        return Result(self._document, "stats")

    def fit(self, scale=False, free=False, realizations=0, seed=1):
        """The fit of ``fit --json`` (``--scale``, ``--free``,
        ``--realizations``, ``--seed``): ``.weights``, ``.errors``,
        ``.chi2_after``, ... The fit runs without the interpreter's lock, so
        a thread pool fits several directories at once. A refusal raises
        ``linesynth.Refused`` with the command's message."""
        return Result(self._loaded.fit(bool(scale), bool(free), int(realizations), int(seed)), "fit")

    def to_table(self, wavelength_unit=None, flux_unit=None):
        """The compared rows as an astropy QTable, with units where given (the
        wavelength unit on ``wavelength``, the flux unit on the others), as
        ``export`` writes them."""
        from .tables import rows_table

        return rows_table(self, wavelength_unit, flux_unit)

    def to_spectrum(self, wavelength_unit="Angstrom", flux_unit=None):
        """The observed spectrum as a specutils Spectrum1D, with the sigma of
        the sigma file as its uncertainty (none without one) and the masked
        rows in its mask."""
        from .tables import rows_spectrum

        return rows_spectrum(self, wavelength_unit, flux_unit)

    def __repr__(self):
        return f"<linesynth.Directory {self.directory!r}: {len(self.wavelength)} rows>"


def load(directory, mask=None, sigma=None):
    """Reads the data directory (and the mask and sigma files, as
    ``--mask`` and ``--sigma`` give them). A refusal raises
    ``linesynth.Refused``: its message is the command's line, its ``file``
    and ``record`` the place it names (None when none)."""
    return Directory(
        _linesynth.load(
            os.fspath(directory),
            "" if mask is None else os.fspath(mask),
            "" if sigma is None else os.fspath(sigma),
        )
    )
