"""What the engine reports about a document, as plain records: each statement with its value,
and each problem (error or warning) with its place, code and hints.

The records are converted from the engine's native objects, so they compare, print and pickle
like any dataclass, and the unit exponents are exact fractions. A long document's statements
are converted only as they are read.
"""

from __future__ import annotations

from collections.abc import Sequence
from dataclasses import dataclass
from fractions import Fraction
from functools import lru_cache
from typing import Any, Literal, cast, overload

from . import _engine
from ._opt_ins import NONE, OptIns

# The base units of the engine, in the order of Value.exponents (mass in grams).
BASE_UNITS = ("m", "g", "s", "A", "K", "mol", "cd")

StatementKind = Literal[
    "definition",
    "print",
    "definition_print",
    "alias",
    "digits",
    "scientific",
    "latex",
    "gap",
    "check",
    "steps",
    "opt_in",
]
Relation = Literal["<", "<=", ">", ">="]
Severity = Literal["error", "warning"]

# Problems that concern a name the engine may not know as written; the companion offers
# spellings it does know.
NAME_CODES = frozenset({"unknown-unit", "unknown-variable"})


@dataclass(frozen=True)
class Value:
    """A defined or printed value: ``number`` is the quantity in base units, which is
    ``mantissa * factor * 10**exp10`` as the engine holds it; ``exponents`` gives the power of
    each base unit in ``BASE_UNITS``, exactly."""

    number: float
    mantissa: float
    exp10: int
    factor: float
    exponents: tuple[Fraction, ...]

    def exponent(self, base_unit: str) -> Fraction:
        """The power of one base unit (``"m"``, ``"g"``, ...) in this value's unit."""
        return self.exponents[BASE_UNITS.index(base_unit)]


@dataclass(frozen=True)
class Check:
    """What a check statement found: ``left relation right`` holds (``passed``) or not,
    comparing the sides' magnitudes; both values as the engine computed them."""

    relation: Relation
    passed: bool
    left: Value
    right: Value


@dataclass(frozen=True)
class Statement:
    """One statement of a rendered document, in document order.

    ``name`` is the defined name as stored (after aliases; for an alias the new name),
    ``expression`` the expression's LaTeX, ``hint`` the unit hint as written, ``printed`` the
    exact math line the statement adds to the document (without its line feed), ``check``
    the verdict of a check statement (``kind == "check"``), None for every other kind."""

    first_line: int
    last_line: int
    kind: StatementKind
    name: str | None
    expression: str | None
    hint: str | None
    value: Value | None
    printed: str | None
    check: Check | None = None


@dataclass(frozen=True)
class Problem:
    """An error or warning of a document: where (``column`` and the exclusive ``end_column``
    are 1-based and known for most problems), a stable ``code``, the engine's ``message``, the
    name concerned and spellings to try instead (``hints``)."""

    severity: Severity
    code: str
    line: int
    column: int | None
    end_column: int | None
    message: str
    name: str | None = None
    hints: tuple[str, ...] = ()


# Units repeat: one tuple of exponents per unit is shared by all its values, which keeps them
# small in memory and lets a pickle of many documents (from a process pool) hold each once.
@lru_cache(maxsize=4096)
def exponents_of(exponents: tuple[tuple[int, int], ...]) -> tuple[Fraction, ...]:
    return tuple(Fraction(numerator, denominator) for numerator, denominator in exponents)


def value_from(native: _engine.Value) -> Value:
    return Value(
        number=native.number,
        mantissa=native.mantissa,
        exp10=native.exp10,
        factor=native.factor,
        exponents=exponents_of(tuple(native.exponents)),
    )


def check_from(native: tuple[str, bool, _engine.Value, _engine.Value]) -> Check:
    relation, passed, left, right = native
    return Check(cast(Relation, relation), passed, value_from(left), value_from(right))


def statement_from(native: _engine.Statement) -> Statement:
    return Statement(
        first_line=native.first_line,
        last_line=native.last_line,
        kind=cast(StatementKind, native.kind),
        name=native.name,
        expression=native.expression,
        hint=native.hint,
        value=None if native.value is None else value_from(native.value),
        printed=native.printed,
        check=None if native.check is None else check_from(native.check),
    )


class Statements(Sequence[Statement]):
    """The statements of a run in document order, each converted when it is read."""

    def __init__(self, native: _engine.Statements) -> None:
        self._native = native

    def __len__(self) -> int:
        return len(self._native)

    @overload
    def __getitem__(self, index: int) -> Statement: ...
    @overload
    def __getitem__(self, index: slice) -> tuple[Statement, ...]: ...
    def __getitem__(self, index: int | slice) -> Statement | tuple[Statement, ...]:
        if isinstance(index, slice):
            return tuple(statement_from(native) for native in self._native[index])
        return statement_from(self._native[index])

    def __reduce__(self) -> tuple[Any, ...]:
        # The engine's records do not pickle; the converted ones do, as a plain tuple.
        return (tuple, (tuple(self),))


def problem_from(native: _engine.Problem) -> Problem:
    # Imported here: the hints ask the engine about each candidate spelling.
    from ._hints import hints_for_name

    name = native.name
    hints = hints_for_name(name) if native.code in NAME_CODES and name is not None else ()
    return Problem(
        severity=cast(Severity, native.severity),
        code=native.code,
        line=native.line,
        column=native.column,
        end_column=native.end_column,
        # A parse error's message ends with a line feed, which is no part of the sentence.
        message=native.message.rstrip("\n"),
        name=name,
        hints=hints,
    )


def diagnose(text: str, opt_ins: OptIns = NONE) -> tuple[Problem, ...]:
    """Every problem of a document: the error ``run_mensurator`` raises first (if any), then
    the other errors and the warnings by line."""
    problems = _engine.diagnose(text, **opt_ins.engine_options())
    return tuple(problem_from(problem) for problem in problems)
