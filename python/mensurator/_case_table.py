"""Parametric cases: one document run again with some of its definitions given other values.

A table of cases names variables in its header and gives each a value as document text, one
case a row (``L`` = ``6 m``). A case is the document with the first definition of each named
variable replaced by that value; a definition that printed itself still prints, with its unit
hint. The cases run as one ``render_many``. Their summary has, per case, the values given,
then every printed value as printed (the number, and its unit as LaTeX: columns ``NAME`` and
``NAME unit``, ``NAME (printed)`` for a given variable that prints itself), every check's
verdict (``OK`` or ``NOT OK``, in a column named by the check's line) and a last column with
the case's error, if any.
"""

from __future__ import annotations

import csv
import io
import os
import re
from collections.abc import Iterable, Mapping, Sequence
from dataclasses import dataclass
from typing import TYPE_CHECKING, Union

from ._errors import DocumentError
from ._output_file import replace_file
from ._paths import PathLike
from ._rendering import RenderResult, Source, read_document, render, render_many
from ._verdicts import WORDS
from .results import Statement

if TYPE_CHECKING:
    from concurrent.futures import Executor

CaseRows = Union[PathLike, Iterable[Mapping[str, str]]]

DEFINITIONS = ("definition", "definition_print")
CASE_COLUMN = "case"
ERROR_COLUMN = "error"
UNIT_SUFFIX = " unit"
PRINTED_SUFFIX = " (printed)"
LINE = re.compile(r"[^\n]*\n|[^\n]+\Z")
LINE_END = re.compile(r"\r?\n\Z")
# A printed number in scientific notation, as the engine writes it.
SCIENTIFIC = re.compile(r"(-?[0-9.]+)\s*\\times\s*10\^\{(-?[0-9]+)\}")


class CaseError(ValueError):
    """The cases do not fit the document: an unknown column, an unusable value or table."""


@dataclass(frozen=True)
class CaseTable:
    """The summary of a run of cases: ``columns`` and one row of texts per case, and each
    case's document or error (``results``) in the same order."""

    columns: tuple[str, ...]
    rows: tuple[tuple[str, ...], ...]
    results: tuple[RenderResult, ...]

    def column(self, name: str) -> list[str]:
        """One column's texts, a case a text; KeyError if there is no such column."""
        if name not in self.columns:
            raise KeyError(name)
        index = self.columns.index(name)
        return [row[index] for row in self.rows]

    def csv_text(self) -> str:
        text = io.StringIO()
        writer = csv.writer(text, lineterminator="\n")
        writer.writerow(self.columns)
        writer.writerows(self.rows)
        return text.getvalue()

    def write_csv(self, path: PathLike) -> None:
        """Write the summary as CSV (UTF-8, a header line, one line per case)."""
        replace_file(path, self.csv_text().encode("utf-8"))


def read_case_rows(path: PathLike) -> tuple[list[str], list[list[str]]]:
    """The header and the rows of a CSV file of cases; CaseError if it has none or a row
    does not match its header."""
    try:
        with open(path, encoding="utf-8-sig", newline="") as source:
            table = [row for row in csv.reader(source) if row]
    except OSError as error:
        raise CaseError(f"cannot read {path}: {error.strerror or error}") from None
    except (UnicodeDecodeError, csv.Error) as error:
        raise CaseError(f"{path} is not a CSV file of UTF-8 text ({error})") from None
    if not table:
        raise CaseError(f"{path} has no header line")
    header = [name.strip() for name in table[0]]
    repeated = next((name for name in header if header.count(name) > 1), None)
    if repeated is not None:
        raise CaseError(f"{path}: the column {repeated!r} is given twice")
    for number, row in enumerate(table[1:], start=2):
        if len(row) != len(header):
            raise CaseError(f"{path}, line {number}: {len(row)} values for {len(header)} columns")
    return header, table[1:]


def table_of(rows: CaseRows) -> tuple[list[str], list[list[str]]]:
    if isinstance(rows, (str, os.PathLike)):
        return read_case_rows(rows)
    mappings = list(rows)
    header = list(dict.fromkeys(name for row in mappings for name in row))
    return header, [[row.get(name, "") for name in header] for row in mappings]


@dataclass(frozen=True)
class Definition:
    """Where a definition stands in the document's lines, and how it is rewritten."""

    first_line: int
    last_line: int
    prints: bool


def lines_of(text: str) -> list[str]:
    """The document's lines with their line ends, counted as the engine counts them (by line
    feeds only)."""
    return LINE.findall(text)


def statement_source(lines: Sequence[str], statement: Statement) -> str:
    text = "".join(lines[statement.first_line - 1 : statement.last_line])
    return LINE_END.sub("", text)


def written_name(source: str) -> str:
    """The name a definition's source defines, as written: the text before its equals sign."""
    return source[: source.index("=")].strip()


def definitions(
    text: str, statements: Sequence[Statement], names: Sequence[str]
) -> dict[str, Definition]:
    """The first definition of each name (as written, or as stored after aliases); CaseError
    naming the first that the document does not define."""
    lines = lines_of(text)
    wanted = set(names)
    found: dict[str, Definition] = {}
    for statement in statements:
        if statement.kind not in DEFINITIONS:
            continue
        source = statement_source(lines, statement)
        for name in (written_name(source), statement.name):
            if name is not None and name in wanted and name not in found:
                found[name] = Definition(
                    statement.first_line, statement.last_line, statement.kind != "definition"
                )
    for name in names:
        if name not in found:
            raise CaseError(f"column {name!r}: the document defines no variable {name}")
    return found


def case_text(
    text: str, chosen: Mapping[str, Definition], values: Mapping[str, str], row: int
) -> str:
    """The document with each chosen definition's value replaced (``row`` for messages)."""
    lines = lines_of(text)
    for name, place in chosen.items():
        value = values[name].strip()
        if not value or "\n" in value or "\r" in value:
            raise CaseError(f"case {row}, column {name!r}: the value must be one line of text")
        first, last = place.first_line - 1, place.last_line
        segment = "".join(lines[first:last])
        source = LINE_END.sub("", segment)
        ending = segment[len(source) :]
        if "\r" in source:
            raise CaseError(f"column {name!r}: its definition's line holds a carriage return")
        replaced = source[: source.index("=")].rstrip() + " = " + value
        if place.prints:
            replaced += " " + source[source.rindex("=?") :]
        lines[first:last] = [replaced + ending]
    return "".join(lines)


def printed_label(lines: Sequence[str], statement: Statement) -> str:
    source = statement_source(lines, statement)
    if statement.kind == "print":
        return source[: source.rindex("=?")].strip()
    return written_name(source)


def reported_statements(statements: Iterable[Statement]) -> list[Statement]:
    """The statements the summary has a column for: those that print a value, and checks."""
    return [
        s
        for s in statements
        if s.kind == "check" or (s.printed is not None and s.kind in ("print", "definition_print"))
    ]


def value_columns(text: str, statements: Sequence[Statement], given: Sequence[str]) -> list[str]:
    """The summary's columns for the document's printed values (``NAME`` and ``NAME unit``,
    the name or the expression as written; ``NAME (printed)`` for a given variable) and its
    checks (their line as written, ``check a <= b``). A label that repeats is numbered."""
    lines = lines_of(text)
    given_names = set(given)
    seen: dict[str, int] = {}
    columns: list[str] = []
    for statement in reported_statements(statements):
        if statement.kind == "check":
            label = statement_source(lines, statement).strip()
        else:
            label = printed_label(lines, statement)
            if label in given_names:
                label += PRINTED_SUFFIX
        seen[label] = seen.get(label, 0) + 1
        if seen[label] > 1:
            label = f"{label} ({seen[label]})"
        columns += [label] if statement.kind == "check" else [label, label + UNIT_SUFFIX]
    return columns


def printed_value(printed: str) -> tuple[str, str]:
    """The number (scientific notation as ``1.23e4``) and the unit's LaTeX of a math line."""
    math = printed[1 : -len("$\\\\")]
    value = math[math.rindex(" = ") + len(" = ") :]
    number, _, unit = value.partition("\\ ")
    number = number.strip()
    scientific = SCIENTIFIC.fullmatch(number)
    if scientific is not None:
        number = f"{scientific.group(1)}e{scientific.group(2)}"
    return number, unit.strip()


def summary_row(result: RenderResult, width: int) -> list[str]:
    """A case's printed values (number, unit), its checks' verdicts and its error, ``width``
    columns before the error."""
    if isinstance(result, DocumentError):
        return [""] * width + [str(result)]
    values: list[str] = []
    for statement in reported_statements(result.statements):
        if statement.check is not None:
            values.append(WORDS[statement.check.passed])
        else:
            values += printed_value(statement.printed or "")
    return values[:width] + [""] * (width - len(values)) + [""]


def run_cases(
    document: Source,
    rows: CaseRows,
    jobs: int | None = None,
    executor: Executor | None = None,
) -> CaseTable:
    """Render every case of ``rows`` (a CSV file, or mappings of column to value) for the
    document (a text, or a path to a file). The document itself must render; CaseError when
    a column names no variable the document defines or a value is no line of text."""
    text = document if isinstance(document, str) else read_document(document)
    header, values = table_of(rows)
    if CASE_COLUMN in header or ERROR_COLUMN in header:
        raise CaseError(f"the columns {CASE_COLUMN!r} and {ERROR_COLUMN!r} are the summary's own")
    statements = render(text).statements
    chosen = definitions(text, statements, header)
    texts = [
        case_text(text, chosen, dict(zip(header, row)), number)
        for number, row in enumerate(values, start=1)
    ]
    results = render_many(texts, jobs=jobs, executor=executor, record=True)
    reported = value_columns(text, statements, header)
    columns = [CASE_COLUMN, *header, *reported, ERROR_COLUMN]
    table = tuple(
        (str(number), *row, *summary_row(result, len(reported)))
        for number, (row, result) in enumerate(zip(values, results), start=1)
    )
    return CaseTable(tuple(columns), table, tuple(results))
