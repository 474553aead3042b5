"""Hints for names the engine does not know, such as ``Hz``, ``h`` or ``kWh``.

Candidate spellings come from the usual ways people write units; each one is shown only if the
engine itself accepts it as a unit, so a hint never names a spelling that fails. A hint never
changes the size of the quantity: a unit that is not built in (``ft``) gets its value in units
that are, not a unit of another size that happens to look alike (``fT``, femtotesla). And a
name the document defines as a variable is not a misspelt unit: it stands after a number,
where every name is read as a unit.
"""

from __future__ import annotations

import re
from functools import lru_cache
from typing import Callable

import mensurator_py

from . import _engine

UNKNOWN_NAME = re.compile(r"(.+) is not a variable or a valid unit\Z", re.DOTALL)
# What a hint may name: unit names joined by * and /, nothing that could form another statement.
UNIT_SPELLING = re.compile(r"[A-Za-z]+(?:[*/][A-Za-z]+)*\Z")

# Spellings in common use, mapped to what the engine understands. A prefix written in front of
# one of these is kept (kHz -> khz, mAh -> mA*hour).
COMMON_SPELLINGS: dict[str, str] = {
    "Hz": "hz",
    "HZ": "hz",
    "h": "hour",
    "hr": "hour",
    "hrs": "hours",
    "d": "day",
    "yr": "year",
    "sec": "s",
    "secs": "s",
    "l": "L",
    "Ohm": "ohm",
    "Ohms": "ohms",
    "Sv": "Sy",
    "Wh": "W*hour",
    "Ah": "A*hour",
    "Nm": "N*m",
    "rpm": "rev/min",
}

# The longest prefix word the engine knows has five letters.
LONGEST_PREFIX = 5

# Units in common use that are not built in, with their value in units that are.
NOT_BUILT_IN: dict[str, tuple[str, str]] = {
    "ft": ("foot", "0.3048 m"),
    "in": ("inch", "0.0254 m"),
    "inch": ("inch", "0.0254 m"),
    "yd": ("yard", "0.9144 m"),
    "mi": ("mile", "1609.344 m"),
    "lb": ("pound", "0.45359237 kg"),
    "lbs": ("pound", "0.45359237 kg"),
    "oz": ("ounce", "28.349523125 g"),
    "psi": ("pound per square inch", "6.894757 kPa"),
    "bar": ("bar", "100 kPa"),
    "atm": ("standard atmosphere", "101.325 kPa"),
    "cal": ("calorie", "4.184 J"),
    "kcal": ("kilocalorie", "4.184 kJ"),
    "gal": ("US gallon", "3.785411784 L"),
    "t": ("tonne", "1000 kg"),
}

MAX_HINTED = 3


def hints_for(reason: str, defined: Callable[[str], bool] = lambda name: False) -> tuple[str, ...]:
    """Hint lines for the reason of a statement error (the message after ``Line N: ``).

    ``defined`` tells whether the document defines a name as a variable before the line."""
    unknown = UNKNOWN_NAME.match(reason)
    if not unknown:
        return ()
    return hints_for_name(unknown.group(1), defined)


def hints_for_name(
    name: str, defined: Callable[[str], bool] = lambda name: False
) -> tuple[str, ...]:
    """Hint lines for a name the engine knows neither as a variable nor as a unit."""
    if defined(name):
        return (
            f"{name} is a variable, but a name after a number is read as a unit: "
            f"write the product with *, such as 2 * {name}",
        )
    extended = (
        (f"`{name}` is in the extended table: add `!units extended`",)
        if is_extended_unit(name)
        else ()
    )
    if name in NOT_BUILT_IN:
        meaning, value = NOT_BUILT_IN[name]
        return (f"{name} ({meaning}) is not built in: 1 {name} = {value}",) + extended
    spellings = valid_spellings(name)
    if not spellings:
        # A standard spelling (hz for Hz) is the better advice where there is one.
        return extended
    return (f"did you mean {' or '.join(spellings)}?",)


@lru_cache(maxsize=256)
def valid_spellings(name: str) -> tuple[str, ...]:
    """Spellings close to ``name`` that the engine accepts as a unit, most likely first."""
    for candidates in (common_spellings(name), other_cases(name)):
        accepted = [
            c for c in unique(candidates) if c != name and is_unit(c) and same_prefix(name, c)
        ]
        if accepted:
            return tuple(accepted[:MAX_HINTED])
    return ()


def same_prefix(name: str, spelling: str) -> bool:
    """False when ``spelling`` reads another prefix than the one ``name`` is written with, as
    ``mohm`` (milliohm) for ``MOHM``: no two prefixes have the same power, so the hint would
    change the quantity by orders of magnitude. A spelling read without a prefix (``min`` for
    ``Min``) and a name written without one (``KM``) pass."""
    written = prefix_head(name)
    head = prefix_head(spelling)
    if not written or not head or head == written:
        return True
    # The engine reads a prefix only where the rest is a unit (min is the minute, not m + in).
    return not is_unit(spelling[len(head) :])


def prefix_head(name: str) -> str:
    """The longest prefix word or symbol that ``name`` starts with, before more letters."""
    for length in range(min(LONGEST_PREFIX, len(name) - 1), 0, -1):
        if is_prefix(name[:length]):
            return name[:length]
    return ""


def common_spellings(name: str) -> list[str]:
    candidates = []
    if re.search(r"\s", name.strip()):
        # Two unit names with a blank between them are read as one name; a product was meant.
        candidates.append("*".join(name.split()))
    for prefix, rest in prefix_splits(name):
        replacement = COMMON_SPELLINGS.get(rest)
        if replacement is not None:
            candidates.append(prefix + replacement)
    return candidates


def other_cases(name: str) -> list[str]:
    # Also after each prefix, which keeps its case: kOHM gives kohm.
    candidates = []
    for prefix, rest in prefix_splits(name):
        candidates += [prefix + rest.lower(), prefix + rest.upper(), prefix + rest.capitalize()]
    return candidates


def prefix_splits(name: str) -> list[tuple[str, str]]:
    """The name whole, then split after each prefix word or symbol it starts with, longest
    first."""
    splits = [("", name)]
    for length in range(min(LONGEST_PREFIX, len(name) - 1), 0, -1):
        if is_prefix(name[:length]):
            splits.append((name[:length], name[length:]))
    return splits


@lru_cache(maxsize=1024)
def is_prefix(head: str) -> bool:
    """Whether the engine reads ``head`` as a prefix: the engine's prefix table is the one
    place that lists them, so it is asked, with the metre and the second behind the head (a
    unit name such as gm, the gram, is no prefix of the metre and the second both)."""
    return head.isalpha() and is_unit(head + "m") and is_unit(head + "s")


def unique(items: list[str]) -> list[str]:
    return list(dict.fromkeys(items))


@lru_cache(maxsize=256)
def is_extended_unit(spelling: str) -> bool:
    """Whether ``spelling`` is a unit only with ``!units extended`` (kVA, psi, ft)."""
    if not UNIT_SPELLING.match(spelling) or is_unit(spelling):
        return False
    try:
        _engine.run(f"1 {spelling} =?", extended_units=True)
    except Exception:
        return False
    return True


def is_unit(spelling: str) -> bool:
    # A unit annotation always reads the unit table, never a variable, so an empty document
    # around it tests exactly the spelling.
    if not UNIT_SPELLING.match(spelling):
        return False
    try:
        mensurator_py.run_mensurator(f"1 {spelling} =?")
    except Exception:
        return False
    return True
