"""The astropy and specutils side: a directory's rows as a QTable or a
Spectrum1D, and readers for the files a run writes.

    Table.read("RDF.txt", format="linesynth-rdf")        one of the residual tables
    Spectrum1D.read("data/", format="linesynth")          the observed spectrum

The readers are registered once astropy's tables (or specutils) are imported,
before or after ``import linesynth``, so that importing linesynth imports
neither."""

import importlib.abc
import importlib.util
import os
import sys

import numpy as np

# The residual tables' columns, by file: the first two put both spectra on
# one scale (RDF.txt the observed one, RDF1.txt the synthetic one), the third
# in detector units.
RDF_COLUMNS = {
    "RDF.txt": ("wavelength", "model", "observed", "residual"),
    "RDF1.txt": ("wavelength", "synthetic", "observed", "residual"),
    "RDF2.txt": ("pixel", "synthetic_level", "observed_level"),
}
RDF_DESCRIPTIONS = {
    "RDF.txt": "the synthetic spectrum on the observed spectrum's scale; residual = observed - model",
    "RDF1.txt": "the observed spectrum on the synthetic spectrum's scale; residual = synthetic - observed",
    "RDF2.txt": "both spectra in detector units: pixel numbers and pixel levels",
}
SIGMA_FILE_NAME = "sigma.txt"


def rows_table(data, wavelength_unit=None, flux_unit=None):
    from astropy import units as u
    from astropy.table import QTable

    def with_unit(values, unit):
        return values * u.Unit(unit) if unit else values

    table = QTable()
    table["wavelength"] = with_unit(data.wavelength, wavelength_unit)
    for name in ("observed", "model", "residual", "sigma"):
        table[name] = with_unit(getattr(data, name), flux_unit)
    table["masked"] = data.masked
    table.meta["title"] = data.title
    table.meta["directory"] = data.directory
    table.meta["sigma"] = "file" if data.sigma_from_file else "unit"
    table.meta["ref_a"] = data.ref_a
    table.meta["ref_b"] = data.ref_b
    table.meta["normalised_by"] = data.normalised_by
    return table


def rows_spectrum(data, wavelength_unit="Angstrom", flux_unit=None):
    from astropy import units as u
    from astropy.nddata import StdDevUncertainty
    from specutils import Spectrum1D

    flux_unit = u.Unit(flux_unit) if flux_unit else u.dimensionless_unscaled
    uncertainty = StdDevUncertainty(data.sigma) if data.sigma_from_file else None
    return Spectrum1D(
        flux=data.observed * flux_unit,
        spectral_axis=data.wavelength * u.Unit(wavelength_unit),
        uncertainty=uncertainty,
        mask=np.asarray(data.masked, dtype=bool),
        meta={"title": data.title, "directory": data.directory},
    )


def read_rdf(path, table=None):
    """One residual table as an astropy Table with named columns; ``table``
    ("RDF.txt", "RDF1.txt" or "RDF2.txt") when the file was renamed."""
    from astropy.table import Table

    name = table or os.path.basename(os.fspath(path))
    if name not in RDF_COLUMNS:
        raise ValueError(f"{path}: name the table with table='RDF.txt', 'RDF1.txt' or 'RDF2.txt'")
    columns = RDF_COLUMNS[name]
    with open(path, "rb") as file:
        records = [line.split() for line in file.read().decode("latin-1").splitlines()]
    # Record 1 holds the point count, then one record per point.
    if not records or len(records[0]) != 1:
        raise ValueError(f"{path}, line 1: not the point count of a residual table")
    count = max(int(records[0][0]), 0)
    rows = [row for row in records[1:] if row]
    if len(rows) != count:
        raise ValueError(f"{path}: {len(rows)} rows, not the {count} of its first record")
    for number, row in enumerate(rows, 2):
        if len(row) != len(columns):
            raise ValueError(f"{path}, line {number}: {len(row)} values, not {len(columns)}")
    kind = np.int64 if name == "RDF2.txt" else float
    values = np.array(rows, dtype=kind).reshape(len(rows), len(columns))
    result = Table([values[:, i] for i in range(len(columns))], names=columns)
    result.meta["description"] = RDF_DESCRIPTIONS[name]
    result.meta["point_count"] = count
    return result


def read_directory_spectrum(directory, sigma=None, mask=None, wavelength_unit="Angstrom",
                            flux_unit=None, **kwargs):
    """A data directory's observed spectrum; its sigma from ``sigma`` (a path),
    else from the directory's sigma.txt when there is one."""
    from ._data import load

    if sigma is None:
        candidate = os.path.join(os.fspath(directory), SIGMA_FILE_NAME)
        sigma = candidate if os.path.isfile(candidate) else None
    return load(directory, mask=mask, sigma=sigma).to_spectrum(wavelength_unit, flux_unit)


def _identify_directory(origin, path, *args, **kwargs):
    from ._linesynth import observed_file_name

    return (
        isinstance(path, (str, os.PathLike))
        and os.path.isdir(path)
        and os.path.isfile(os.path.join(path, observed_file_name))
    )


def _register_table_reader():
    from astropy.io import registry
    from astropy.table import Table

    if "linesynth-rdf" not in registry.get_formats(Table)["Format"]:
        registry.register_reader("linesynth-rdf", Table, read_rdf)


def _register_spectrum_reader():
    from specutils import Spectrum1D
    from specutils.io.registers import data_loader

    from astropy.io import registry

    if "linesynth" not in registry.get_formats(Spectrum1D)["Format"]:
        data_loader("linesynth", identifier=_identify_directory, dtype=Spectrum1D)(
            read_directory_spectrum
        )


class _AfterImport(importlib.abc.MetaPathFinder):
    """Runs `action` once the module `name` has been imported, whoever
    imports it, by wrapping its loader's execution."""

    def __init__(self, name, action):
        self.name = name
        self.action = action

    def find_spec(self, fullname, path=None, target=None):
        if fullname != self.name:
            return None
        sys.meta_path.remove(self)
        spec = importlib.util.find_spec(fullname)
        if spec is None or spec.loader is None or not hasattr(spec.loader, "exec_module"):
            return spec
        execute = spec.loader.exec_module
        action = self.action

        def execute_then_register(module):
            execute(module)
            action()

        spec.loader.exec_module = execute_then_register
        return spec


def register_when_imported():
    for name, action in (("astropy.table", _register_table_reader),
                         ("specutils", _register_spectrum_reader)):
        if name in sys.modules:
            action()
        elif not any(isinstance(f, _AfterImport) and f.name == name for f in sys.meta_path):
            sys.meta_path.insert(0, _AfterImport(name, action))
