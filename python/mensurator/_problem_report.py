"""Compiler-style reports of every problem of a document, errors and warnings:

    beam.txt:2:16: warning: L is read as the unit litre ... [unit-shadows-variable]
    q = 2 kN/m * L =?
                   ^

Errors keep the form of the single-error report (no code, a column only where the engine's
message gives one, hint lines after the source line).
"""

from __future__ import annotations

from collections.abc import Iterable
from typing import Literal

from ._diagnostics import caret_line, shown_column, source_line
from ._printable import printable
from .results import Problem

# What -W makes of warnings: report them, report them as errors that fail the document, or
# leave them out.
WarningMode = Literal["default", "error", "ignore"]
WARNING_MODES = ("default", "error", "ignore")


def shown(problems: Iterable[Problem], mode: WarningMode) -> list[Problem]:
    """The problems a report under ``mode`` lists, in the engine's order."""
    return [p for p in problems if p.severity == "error" or mode != "ignore"]


def fails(problems: Iterable[Problem], mode: WarningMode) -> bool:
    """Whether the problems fail the document under ``mode``."""
    return any(p.severity == "error" or mode == "error" for p in problems)


def format_problems(
    problems: Iterable[Problem], source: str | None, filename: str, mode: WarningMode
) -> str:
    return "".join(
        format_problem(problem, source, filename, as_error=mode == "error")
        for problem in shown(problems, mode)
    )


def format_problem(
    problem: Problem, source: str | None, filename: str, as_error: bool = False
) -> str:
    """One problem: the location line, the source line with a caret under the column, hints.
    ``as_error`` reports a warning as an error (``-W error``); it keeps its code."""
    warning = problem.severity == "warning"
    column = problem.column if warning or gives_column(problem) else None
    location = f"{filename}:{problem.line}" + ("" if column is None else f":{column}")
    label = "error" if as_error or not warning else "warning"
    # Everything quoted from the document is escaped, as in the single-error report.
    lines = [
        printable(f"{location}: {label}: {problem.message}")
        + (f" [{problem.code}]" if warning else "")
    ]
    text = source_line(source, problem.line) if source is not None else None
    if text is not None:
        shown_text = printable(text, keep="\t")
        lines.append(shown_text)
        if column is not None:
            lines.append(caret_line(shown_text, shown_column(text, column)))
    lines += [printable(f"hint: {hint}") for hint in problem.hints]
    return "\n".join(lines) + "\n"


def gives_column(error: Problem) -> bool:
    # A parse error at a position says "near line L column C"; a statement error says
    # "Line L: ..." and its report has always named the line only.
    return error.code == "parse-error" and not error.message.startswith("Line ")
