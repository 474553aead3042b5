"""The engine's own tables of units, prefixes and functions: ``mensurator.units()`` and the
``mensurator units`` command read them from the engine, so the listing is never a copy."""

from __future__ import annotations

import sys
from dataclasses import asdict, dataclass
from fractions import Fraction

from . import _engine

# The engine's base units in the order of its exponents; its mass unit is the gram.
BASE_UNITS = ("m", "g", "s", "A", "K", "mol", "cd")
SI_BASE_UNITS = ("m", "kg", "s", "A", "K", "mol", "cd")
GRAMS_PER_KILOGRAM = 1000


@dataclass(frozen=True)
class UnitInfo:
    """A row of a unit table: ``factor`` is the size of one unit in the SI base units of
    ``dimension`` (kilogram, not gram); ``table`` is "specified" (always available) or
    "extended" (after ``!units extended``)."""

    names: tuple[str, ...]
    dimension: str
    factor: float
    symbol: str
    table: str


@dataclass(frozen=True)
class PrefixInfo:
    word: str
    symbol: str
    power: int


@dataclass(frozen=True)
class FunctionInfo:
    name: str
    least_arguments: int
    most_arguments: int | None  # None: no limit
    keeps_unit: bool  # otherwise its arguments must be plain numbers


@dataclass(frozen=True)
class Tables:
    units: tuple[UnitInfo, ...]
    prefixes: tuple[PrefixInfo, ...]
    functions: tuple[FunctionInfo, ...]


def dimension_text(exponents: tuple[Fraction, ...]) -> str:
    """``kg m^-1 s^-2``; empty for a plain number."""
    parts = []
    for symbol, exponent in zip(SI_BASE_UNITS, exponents):
        if exponent == 0:
            continue
        parts.append(symbol if exponent == 1 else f"{symbol}^{exponent}")
    return " ".join(parts)


def unit_info(row: _engine.UnitRow) -> UnitInfo:
    names, pairs, exp10, factor, symbol, table = row
    exponents = tuple(Fraction(numerator, denominator) for numerator, denominator in pairs)
    grams = exponents[BASE_UNITS.index("g")]
    si_factor = factor * 10.0**exp10 / GRAMS_PER_KILOGRAM ** float(grams)
    return UnitInfo(names, dimension_text(exponents), si_factor, symbol, table)


def units() -> Tables:
    """Every unit (both tables), prefix and built-in function the engine knows."""
    unit_rows, prefix_rows, function_rows = _engine.tables()
    return Tables(
        tuple(unit_info(row) for row in unit_rows),
        tuple(PrefixInfo(*row) for row in prefix_rows),
        tuple(FunctionInfo(*row) for row in function_rows),
    )


def listing(tables: Tables) -> str:
    lines = ["units:"]
    width = max(len(", ".join(unit.names)) for unit in tables.units)
    for unit in tables.units:
        names = ", ".join(unit.names)
        factor = repr(unit.factor)  # the shortest text that reads back as the same number
        lines.append(f"  {names:<{width}}  {unit.table:<9}  {factor:<22} {unit.dimension}")
    lines.append("prefixes:")
    for prefix in tables.prefixes:
        lines.append(f"  {prefix.word:<6} {prefix.symbol:<3} 10^{prefix.power}")
    lines.append("functions:")
    for function in tables.functions:
        most = "any" if function.most_arguments is None else str(function.most_arguments)
        arguments = (
            str(function.least_arguments)
            if most == str(function.least_arguments)
            else f"{function.least_arguments} to {most}"
        )
        noun = "argument" if arguments == "1" else "arguments"
        rule = "keeps the unit" if function.keeps_unit else "plain numbers"
        lines.append(f"  {function.name:<6} {arguments:<8} {noun:<9}  {rule}")
    return "\n".join(lines) + "\n"


def units_command(arguments: list[str]) -> int:
    import argparse
    import json

    parser = argparse.ArgumentParser(
        prog="mensurator units",
        description="List every unit (specified and extended tables), prefix and function.",
    )
    parser.add_argument("--json", action="store_true", help="print the tables as JSON")
    options = parser.parse_args(arguments)
    tables = units()
    if options.json:
        sys.stdout.write(json.dumps(asdict(tables), ensure_ascii=False, indent=1) + "\n")
    else:
        sys.stdout.write(listing(tables))
    return 0
