"""What the engine knows by name, for completion and hover: unit names, prefixes and functions.

The engine lists none of its tables, so the names offered are candidates that are each asked
of the engine before they are offered: a unit name only if a document accepts it (under the
document's own ``!units`` lines, so a wider unit table shows up where a document switches it
on), a prefix only where the engine reads it as one, and a function with the argument counts
that the engine's own message states.
"""

from __future__ import annotations

import re
from dataclasses import dataclass
from functools import lru_cache

from .. import _engine
from ..errors import MensuratorException
from ..hints import COMMON_SPELLINGS, NOT_BUILT_IN, is_prefix
from ..results import BASE_UNITS, Value, value_from

# The unit names of the language; the spellings the hints know are tried too, as a wider
# unit table may accept them.
UNIT_CANDIDATES = (
    "m meter meters g gm gram grams s second seconds min minute minutes hour hours day days "
    "year years A amp amps ampere amperes K kelvin mol mols mole moles candela rad radian "
    "radians deg degree degrees rev revolution revolutions amu hz Bq becquerel becquerels J "
    "joule N newton L liter Pa pascal W watt C coulomb coulombs V volt volts F farad farads "
    "ohm ohms S siemen siemens Wb weber webers T tesla teslas H henry henries lx lux Gy gray "
    "grays Sy sievert sieverts kat katal katals M"
).split()
FUNCTION_CANDIDATES = (
    "abs ceil floor round min max sqrt cbrt exp ln log2 log10 sin cos tan asin acos atan "
    "atan2 sinh cosh tanh asinh acosh atanh"
).split()
# More arguments than any function with a fixed count takes.
PROBE_ARGUMENTS = 20
ARGUMENT_RANGE = re.compile(r"expected (\d+)\.\.=(\d+) but got")
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
    candidates = dict.fromkeys([*UNIT_CANDIDATES, *COMMON_SPELLINGS, *NOT_BUILT_IN])
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
        function
        for function in (probe_function(name) for name in FUNCTION_CANDIDATES)
        if function is not None
    )


def probe_function(name: str) -> Function | None:
    arguments = ", ".join(["1"] * PROBE_ARGUMENTS)
    try:
        _engine.run(f"{name}({arguments}) =?")
    except MensuratorException as error:
        found = ARGUMENT_RANGE.search(str(error))
        if found is None:
            return None  # not a function
        return Function(name, int(found.group(1)), int(found.group(2)))
    # So many arguments pass: the function has no upper limit. A call needs one argument.
    return Function(name, 1, None)


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

