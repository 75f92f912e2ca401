"""linesynth in Python: a data directory's compared rows as NumPy arrays, and
the companion's statistics and fit computed by its own C++ code in this
process, with the same names and the same doubles as ``stats --json`` and
``fit --json``.

    >>> import linesynth
    >>> data = linesynth.load("examples/data", sigma="examples/data/sigma.txt")
    >>> fit = data.fit(scale=True)
    >>> fit.weights, fit.errors, fit.chi2_after

Also: ``write_weights`` (the safe replacement of ``fit --write``),
``write_directory`` (a new data directory from arrays), ``run`` (the program
on a directory), and astropy and specutils readers (``linesynth.tables``).
"""

from ._linesynth import Refused
from ._linesynth import version as __version__
from ._data import Directory, Result, load
from ._files import write_directory, write_weights
from ._run import CompletedRun, RunError, run
from . import tables as _tables

__all__ = [
    "CompletedRun",
    "Directory",
    "Refused",
    "Result",
    "RunError",
    "load",
    "run",
    "write_directory",
    "write_weights",
]

_tables.register_when_imported()
