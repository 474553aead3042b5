"""The ``%%mensurator`` cell magic for IPython and Jupyter (``%load_ext mensurator``).

IPython is imported only here, so the package works without it."""

from __future__ import annotations

import re
from dataclasses import dataclass, field
from typing import Any

from ._diagnostics import format_error
from ._document import Document
from ._errors import DocumentError
from ._problem_report import format_problems
from ._rendering import render

CELL_NAME = "<cell>"
BACKTICKS = re.compile("`+")


class CellError(DocumentError):
    """A failed cell's document error. IPython shows ``report``, the compiler-style report of
    the command line listing every problem, in place of a traceback, and stops a "run all" as
    at any failing cell."""

    report: str = ""

    def _render_traceback_(self) -> list[str]:
        return self.report.splitlines()


@dataclass(frozen=True, eq=False)
class CellDocument(Document):
    """A cell's document, shown with its warnings under the sheet (``warnings_report``, the
    compiler-style report of the command line). It equals the plain document of its text."""

    warnings_report: str = field(default="", repr=False)

    def __eq__(self, other: object) -> bool:
        return self.latex == other.latex if isinstance(other, Document) else NotImplemented

    __hash__ = Document.__hash__

    def _repr_markdown_(self) -> str:
        sheet = super()._repr_markdown_()
        return sheet + "\n\n" + code_block(self.warnings_report) if self.warnings_report else sheet


def code_block(text: str) -> str:
    """``text`` as a Markdown code block, shown as written: its fence is longer than any run
    of backticks in it."""
    longest = max((len(run) for run in BACKTICKS.findall(text)), default=0)
    fence = "`" * max(3, longest + 1)
    lines = text.removesuffix("\n")
    return f"{fence}text\n{lines}\n{fence}"


def render_cell(line: str, cell: str) -> CellDocument:
    """Render a cell; a failing document raises ``CellError``."""
    try:
        document = render(cell)
    except DocumentError as error:
        failure = CellError(
            error.message, error.line, error.column, error.kind, error.hints, error.problems
        )
        failure.report = failure_report(error, cell)
        raise failure from error.__cause__
    report = format_problems(document.warnings, cell, CELL_NAME, "default")
    return CellDocument(document.latex, document.statements, document.warnings, report)


def failure_report(error: DocumentError, cell: str) -> str:
    """Every problem of a failed cell; its first error even where the diagnosis lacks it."""
    report = format_problems(error.problems, cell, CELL_NAME, "default")
    if any(problem.severity == "error" for problem in error.problems):
        return report
    return format_error(error, cell, CELL_NAME) + report


def load_ipython_extension(ipython: Any) -> None:
    ipython.register_magic_function(render_cell, magic_kind="cell", magic_name="mensurator")
