"""Unit vocabulary shared by the corpus generator and the pint peer.

Every unit the generator writes is listed here once, with the name pint knows it by and its
dimension, so that both sides of the benchmark read the same quantities and the generator can
check that sums and unit hints only ever combine matching dimensions.
"""

from __future__ import annotations

import re

# Dimension vectors are tuples of exponents over these base quantities.
BASES = ("length", "mass", "time", "current", "temperature", "amount")

Dim = tuple[int, ...]

DIMENSIONLESS: Dim = (0,) * len(BASES)


def dim(**exponents: int) -> Dim:
    return tuple(exponents.get(base, 0) for base in BASES)


def dim_mul(a: Dim, b: Dim) -> Dim:
    return tuple(x + y for x, y in zip(a, b))


def dim_div(a: Dim, b: Dim) -> Dim:
    return tuple(x - y for x, y in zip(a, b))


def dim_pow(a: Dim, n: int) -> Dim:
    return tuple(x * n for x in a)


LENGTH = dim(length=1)
MASS = dim(mass=1)
TIME = dim(time=1)
CURRENT = dim(current=1)
FORCE = dim(mass=1, length=1, time=-2)
ENERGY = dim(mass=1, length=2, time=-2)
POWER = dim(mass=1, length=2, time=-3)
VOLTAGE = dim(mass=1, length=2, time=-3, current=-1)

# Document name -> (pint name, dimension). Prefixed names are listed whole: the document
# language splits them itself, pint does the same with its own prefix table.
UNITS: dict[str, tuple[str, Dim]] = {
    "m": ("m", LENGTH),
    "mm": ("mm", LENGTH),
    "cm": ("cm", LENGTH),
    "km": ("km", LENGTH),
    "g": ("g", MASS),
    "kg": ("kg", MASS),
    "mg": ("mg", MASS),
    "s": ("s", TIME),
    "ms": ("ms", TIME),
    "min": ("min", TIME),
    "hour": ("hour", TIME),
    "day": ("day", TIME),
    "A": ("A", CURRENT),
    "mA": ("mA", CURRENT),
    "K": ("K", dim(temperature=1)),
    "mol": ("mol", dim(amount=1)),
    "mmol": ("mmol", dim(amount=1)),
    "N": ("N", FORCE),
    "kN": ("kN", FORCE),
    "MN": ("MN", FORCE),
    "Pa": ("Pa", dim_div(FORCE, dim(length=2))),
    "kPa": ("kPa", dim_div(FORCE, dim(length=2))),
    "MPa": ("MPa", dim_div(FORCE, dim(length=2))),
    "GPa": ("GPa", dim_div(FORCE, dim(length=2))),
    "J": ("J", ENERGY),
    "kJ": ("kJ", ENERGY),
    "MJ": ("MJ", ENERGY),
    "W": ("W", POWER),
    "kW": ("kW", POWER),
    "MW": ("MW", POWER),
    "V": ("V", VOLTAGE),
    "kV": ("kV", VOLTAGE),
    "mV": ("mV", VOLTAGE),
    "ohm": ("ohm", dim_div(VOLTAGE, CURRENT)),
    "kohm": ("kohm", dim_div(VOLTAGE, CURRENT)),
    "C": ("C", dim(time=1, current=1)),
    "nF": ("nF", dim_div(dim(time=1, current=1), VOLTAGE)),
    "pF": ("pF", dim_div(dim(time=1, current=1), VOLTAGE)),
    "hz": ("Hz", dim(time=-1)),
    "khz": ("kHz", dim(time=-1)),
    "Mhz": ("MHz", dim(time=-1)),
    "L": ("L", dim(length=3)),
    "mL": ("mL", dim(length=3)),
    "deg": ("deg", DIMENSIONLESS),
    "rad": ("rad", DIMENSIONLESS),
}

_UNIT_TOKEN = re.compile(r"\s*(?:([A-Za-z]+)(?:\^(-?\d+))?|([*/]))")


def parse_unit(text: str) -> tuple[str, Dim]:
    """Read a unit expression such as "kg/m^3" or "kN*m" (names joined by * and /, each with an
    optional integer power, grouped from the left) and return its pint spelling and dimension."""
    pint_parts: list[str] = []
    result = DIMENSIONLESS
    operator = "*"
    pos = 0
    expect_name = True
    while pos < len(text):
        match = _UNIT_TOKEN.match(text, pos)
        if match is None:
            raise ValueError(f"bad unit expression {text!r}")
        pos = match.end()
        name, power, op = match.groups()
        if expect_name != (name is not None):
            raise ValueError(f"bad unit expression {text!r}")
        expect_name = not expect_name
        if op is not None:
            operator = op
            pint_parts.append(op)
            continue
        pint_name, unit_dim = UNITS[name]
        exponent = int(power) if power is not None else 1
        unit_dim = dim_pow(unit_dim, exponent)
        result = dim_mul(result, unit_dim) if operator == "*" else dim_div(result, unit_dim)
        pint_parts.append(pint_name if power is None else f"{pint_name}**{exponent}")
    if expect_name:
        raise ValueError(f"bad unit expression {text!r}")
    return "".join(pint_parts), result


# Unit hints a calculation prints its results in, in document syntax.
HINTS = (
    "m", "mm", "cm", "km", "kg", "g", "s", "min", "hour", "ms", "A", "mA", "K", "mol", "mmol",
    "N", "kN", "kPa", "MPa", "J", "kJ", "kN*m", "kW*hour", "W", "kW", "V", "mV", "ohm", "kohm",
    "hz", "khz", "L", "m^3", "mm^3", "nF", "C", "mA*hour", "m/s", "km/hour", "m^2", "mm^2",
    "cm^2", "kg/m^3", "kN/m", "N/mm", "m/s^2", "L/min", "mm^4",
)  # fmt: skip


def hints_by_dimension() -> dict[Dim, list[tuple[str, str]]]:
    """Map each dimension to its hints as (document text, pint text) pairs."""
    table: dict[Dim, list[tuple[str, str]]] = {}
    for hint in HINTS:
        pint_text, hint_dim = parse_unit(hint)
        table.setdefault(hint_dim, []).append((hint, pint_text))
    return table
