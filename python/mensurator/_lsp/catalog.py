"""What the engine knows by name, for completion and hover: unit names, prefixes and functions.

The names come from the engine's own tables (``mensurator.units()``); a unit name is offered
only if a document accepts it under the document's own ``!units`` lines, so the extended
table shows up where a document switches it on.
"""

from __future__ import annotations

from dataclasses import dataclass
from functools import lru_cache

from .. import _engine
from .._errors import MensuratorException
from .._hints import is_prefix
from .._tables import units
from ..results import BASE_UNITS, Value, value_from

DIMENSIONS = dict(
    zip(
        BASE_UNITS,
        ("length", "mass", "time", "current", "temperature", "amount", "luminous intensity"),
    )
)
GRAMS_PER_KILOGRAM = 1000.0
# Units are written mass first, as SI writes the joule: kg m^2 s^-2.
WRITTEN_ORDER = ("g", "m", "s", "A", "K", "mol", "cd")


@dataclass(frozen=True)
class Function:
    name: str
    least: int
    most: int | None  # None: no upper limit

    @property
    def arguments(self) -> str:
        if self.most is None:
            return f"{self.least} or more arguments"
        if self.least == self.most:
            return "1 argument" if self.least == 1 else f"{self.least} arguments"
        return f"{self.least} to {self.most} arguments"


def unit_value(name: str, directives: tuple[str, ...] = ()) -> Value | None:
    """One of the unit ``name`` as the engine holds it, read under ``directives`` (the
    document's directive lines that change the unit table); None if it is no unit there."""
    return _unit_value(name, directives)


@lru_cache(maxsize=4096)
def _unit_value(name: str, directives: tuple[str, ...]) -> Value | None:
    if not name.isalpha():
        return None
    try:
        result = _engine.run("".join(f"{line}\n" for line in directives) + f"1 {name} =?")
    except MensuratorException:
        return None
    value = result.statements[-1].value
    return None if value is None else value_from(value)


@lru_cache(maxsize=64)
def unit_names(directives: tuple[str, ...] = ()) -> tuple[str, ...]:
    """The unit names a document with these directive lines accepts, in table order."""
    candidates = dict.fromkeys(name for unit in units().units for name in unit.names)
    return tuple(name for name in candidates if unit_value(name, directives) is not None)


def prefixed_units(typed: str, directives: tuple[str, ...] = ()) -> list[str]:
    """Unit names with a prefix that start with ``typed``, for a word that begins with a
    prefix (``k`` gives ``km``, ``kN``, ...; ``kilo`` gives ``kilometer``, ...)."""
    names = unit_names(directives)
    found: list[str] = []
    for length in range(1, min(len(typed), 5) + 1):
        head = typed[:length]
        if is_prefix(head):
            found += [head + name for name in names if (head + name).startswith(typed)]
    return list(dict.fromkeys(found))


@lru_cache(maxsize=1)
def functions() -> tuple[Function, ...]:
    """The built-in functions with the argument counts the engine checks."""
    return tuple(
        Function(function.name, function.least_arguments, function.most_arguments)
        for function in units().functions
    )


def function_named(name: str) -> Function | None:
    return next((function for function in functions() if function.name == name), None)


def base_form(value: Value) -> str:
    """A value in SI base units as plain text, mass in kilograms: ``1.5 m s^-1``."""
    number = value.number
    parts: list[str] = []
    for base in WRITTEN_ORDER:
        exponent = value.exponent(base)
        if exponent == 0:
            continue
        symbol = base
        if base == "g":
            number /= GRAMS_PER_KILOGRAM ** float(exponent)
            symbol = "kg"
        parts.append(symbol if exponent == 1 else f"{symbol}^{exponent}")
    return " ".join([f"{number:.10g}", *parts])


def dimension(value: Value) -> str:
    """The value's dimension in words: ``length time^-1``; ``dimensionless`` for none."""
    words = [
        DIMENSIONS[base] if exponent == 1 else f"{DIMENSIONS[base]}^{exponent}"
        for base, exponent in ((base, value.exponent(base)) for base in WRITTEN_ORDER)
        if exponent != 0
    ]
    return " ".join(words) or "dimensionless"

