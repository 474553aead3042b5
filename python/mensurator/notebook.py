"""The ``%%mensurator`` cell magic for IPython and Jupyter (``%load_ext mensurator``).

IPython is imported only here, so the package works without it."""

from __future__ import annotations

from typing import Any

from .diagnostics import format_error
from .document import Document
from .engine import render
from .errors import DocumentError

CELL_NAME = "<cell>"


class CellError(DocumentError):
    """A failed cell's document error. IPython shows ``report``, the compiler-style report of
    the command line, in place of a traceback, and stops a "run all" as at any failing cell."""

    report: str = ""

    def _render_traceback_(self) -> list[str]:
        return self.report.splitlines()


def render_cell(line: str, cell: str) -> Document:
    """Render a cell; a failing document raises ``CellError``."""
    try:
        return render(cell)
    except DocumentError as error:
        failure = CellError(error.message, error.line, error.column, error.kind, error.hints)
        failure.report = format_error(error, cell, CELL_NAME)
        raise failure from error.__cause__


def load_ipython_extension(ipython: Any) -> None:
    ipython.register_magic_function(render_cell, magic_kind="cell", magic_name="mensurator")
