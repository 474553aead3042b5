"""Hints for unit names the engine does not know, such as ``Hz``, ``h`` or ``kWh``.

Candidate spellings come from the usual ways people write units; each one is shown only if the
engine itself accepts it as a unit, so a hint never names a spelling that fails.
"""

from __future__ import annotations

import re
from functools import lru_cache
from typing import Dict, List, Optional, Tuple

import mensurator_py

UNKNOWN_NAME = re.compile(r"(.+) is not a variable or a valid unit\Z", re.DOTALL)
# What a hint may name: unit names joined by * and /, nothing that could form another statement.
UNIT_SPELLING = re.compile(r"[A-Za-z]+(?:[*/][A-Za-z]+)*\Z")

# Spellings in common use, mapped to what the engine understands. A prefix written in front of
# one of these is kept (kHz -> khz, mAh -> mA*hour).
COMMON_SPELLINGS: Dict[str, str] = {
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

# Symbols and words of the prefixes, as the engine spells them.
PREFIX_SYMBOLS = tuple("da y z a f p n m c d h k M G T P E Z Y".split())
PREFIX_WORDS = tuple(
    "yocto zepto atto femto pico nano micro milli centi deci deca hecto kilo mega giga tera "
    "peta exa zetta yotta".split()
)

MAX_HINTED = 3


def hints_for(reason: str) -> Tuple[str, ...]:
    """Hint lines for the reason of a statement error (the message after ``Line N: ``)."""
    unknown = UNKNOWN_NAME.match(reason)
    if not unknown:
        return ()
    return hints_for_name(unknown.group(1))


def hints_for_name(name: str) -> Tuple[str, ...]:
    """Hint lines for a name the engine knows neither as a variable nor as a unit."""
    spellings = valid_spellings(name)
    if not spellings:
        return ()
    return (f"did you mean {' or '.join(spellings)}?",)


@lru_cache(maxsize=256)
def valid_spellings(name: str) -> Tuple[str, ...]:
    """Spellings close to ``name`` that the engine accepts as a unit, most likely first."""
    for candidates in (common_spellings(name), other_cases(name)):
        accepted = [c for c in unique(candidates) if c != name and is_unit(c)]
        if accepted:
            return tuple(accepted[:MAX_HINTED])
    return ()


def common_spellings(name: str) -> List[str]:
    candidates = []
    if re.search(r"\s", name.strip()):
        # Two unit names with a blank between them are read as one name; a product was meant.
        candidates.append("*".join(name.split()))
    for prefix, rest in prefix_splits(name):
        replacement = COMMON_SPELLINGS.get(rest)
        if replacement is not None:
            candidates.append(prefix + replacement)
    return candidates


def other_cases(name: str) -> List[str]:
    # Also after each prefix, which keeps its case: for MS both ms and Ms are offered.
    candidates = []
    for prefix, rest in prefix_splits(name):
        candidates += [prefix + rest.lower(), prefix + rest.upper(), prefix + rest.capitalize()]
    return candidates


def prefix_splits(name: str) -> List[Tuple[str, str]]:
    """The name whole, then split after each prefix word or symbol it starts with."""
    splits = [("", name)]
    for prefix in PREFIX_WORDS + PREFIX_SYMBOLS:
        if name.startswith(prefix) and len(name) > len(prefix):
            splits.append((prefix, name[len(prefix) :]))
    return splits


def unique(items: List[str]) -> List[str]:
    return list(dict.fromkeys(items))


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
