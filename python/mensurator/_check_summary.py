"""The command line's summary of a document's check statements: how many passed, and the
lines of those that did not."""

from __future__ import annotations

from collections.abc import Sequence

from ._printable import printable
from .results import Statement


def failed_checks(statements: Sequence[Statement]) -> list[Statement]:
    return [s for s in statements if s.check is not None and not s.check.passed]


def check_summary(statements: Sequence[Statement], text: str, name: str) -> str:
    """``NAME: 3 checks: 2 OK, 1 NOT OK`` and a line ``NAME:LINE: NOT OK: SOURCE`` for each
    failing check; empty for a document without checks."""
    checks = [s for s in statements if s.check is not None]
    if not checks:
        return ""
    failed = failed_checks(checks)
    noun = "check" if len(checks) == 1 else "checks"
    passed = len(checks) - len(failed)
    report = [f"{printable(name)}: {len(checks)} {noun}: {passed} OK, {len(failed)} NOT OK\n"]
    # The engine counts lines by their line feeds (a lone CR ends no line there).
    lines = text.split("\n")
    for statement in failed:
        line = statement.first_line
        source = lines[line - 1].strip() if line <= len(lines) else ""
        report.append(f"{printable(name)}:{statement.first_line}: NOT OK: {printable(source)}\n")
    return "".join(report)
