"""Sums whose operands left the double range on the way: a value that became zero or infinite
through an overflow, or that only a power of ten keeps in range (10^400, 1/2^2000), must combine
with ordinary values as its true magnitude says. Checked against exact rational arithmetic."""

from __future__ import annotations

import math
import random
from fractions import Fraction
from typing import Callable, List, Tuple, Union

import mensurator_py
import pytest

# An exact rational, or an IEEE infinity or NaN where a function overflowed.
Number = Union[Fraction, float]
Term = Tuple[str, Number]

# The printed digits of the default format: three decimals.
HALF_LAST_DIGIT = Fraction(1, 2000)


def _finite_part(x: Number) -> float:
    return 0.0 if isinstance(x, Fraction) else x


def add(a: Number, b: Number) -> Number:
    if isinstance(a, Fraction) and isinstance(b, Fraction):
        return a + b
    return _finite_part(a) + _finite_part(b)


def sub(a: Number, b: Number) -> Number:
    if isinstance(a, Fraction) and isinstance(b, Fraction):
        return a - b
    return _finite_part(a) - _finite_part(b)


def mul(a: Number, b: Number) -> Number:
    if isinstance(a, Fraction) and isinstance(b, Fraction):
        return a * b
    if a == 0 or b == 0:
        return math.nan
    return math.copysign(math.inf, (1 if a > 0 else -1) * (1 if b > 0 else -1))


def div(a: Number, b: Number) -> Number:
    if isinstance(b, float):
        return Fraction(0) if isinstance(a, Fraction) else math.nan
    if isinstance(a, float):
        return a if b > 0 else -a
    return a / b


# Values that a power of ten keeps in range, exact.
HUGE: List[Term] = [
    ("10^400", Fraction(10) ** 400),
    ("(10^200)^3", Fraction(10) ** 600),
    ("7 * 10^450", 7 * Fraction(10) ** 450),
    ("10^1000", Fraction(10) ** 1000),
]
# Quantities beyond 10^300 below the ordinary ones; the last three underflow to an exact zero.
TINY: List[Term] = [
    ("10^-400", Fraction(1, 10**400)),
    ("1/10^400", Fraction(1, 10**400)),
    ("3/10^500", Fraction(3, 10**500)),
    ("1/(10^200)^3", Fraction(1, 10**600)),
    ("1/2^2000", Fraction(1, 2**2000)),
    ("1/exp(1000)", Fraction(0)),
    ("1/cosh(1000)", Fraction(0)),
    ("exp(0 - 1000)", Fraction(0)),
    ("2/log10(0)", Fraction(0)),
]
# Functions that overflow to an infinity.
INFINITE: List[Term] = [
    ("exp(1000)", math.inf),
    ("cosh(1000)", math.inf),
    ("sinh(1000)", math.inf),
    ("(0 - log10(0))", math.inf),
]


def ordinary(rng: random.Random) -> Term:
    places = rng.randint(0, 3)
    text = f"{rng.uniform(0.5, 999):.{places}f}"
    return text, Fraction(text)


Template = Callable[[random.Random], Tuple[str, Number, str]]


def _templates() -> List[Template]:
    """Each gives the expression, its exact value and the unit hint ("" for none)."""

    def pick(rng: random.Random, table: List[Term]) -> Term:
        text, value = rng.choice(table)
        return f"({text})", value

    def with_tiny(rng: random.Random) -> Tuple[str, Number, str]:
        (o, ov), (o2, o2v), (t, tv) = ordinary(rng), ordinary(rng), pick(rng, TINY)
        forms = [
            (f"{o} + {t}", add(ov, tv)),
            (f"{t} + {o}", add(tv, ov)),
            (f"{o} - {t}", sub(ov, tv)),
            (f"{t} - {o}", sub(tv, ov)),
            (f"{o} * (1 + {t})", mul(ov, add(Fraction(1), tv))),
            (f"{o} / (1 - {t})", div(ov, sub(Fraction(1), tv))),
            (f"({o} + {t}) * {o2}", mul(add(ov, tv), o2v)),
            (f"{o} + {t} * {o2}", add(ov, mul(tv, o2v))),
            (f"{o} - {o2} * {t} + {o2}", add(sub(ov, mul(o2v, tv)), o2v)),
        ]
        text, value = rng.choice(forms)
        return text, value, ""

    def with_huge(rng: random.Random) -> Tuple[str, Number, str]:
        (o, ov), (o2, o2v), (h, hv) = ordinary(rng), ordinary(rng), pick(rng, HUGE)
        forms = [
            (f"{o} + {o2}/{h}", add(ov, div(o2v, hv))),
            (f"{o2}/({h}) - {o}", sub(div(o2v, hv), ov)),
            (f"{h}/({h}) + {o}", add(div(hv, hv), ov)),
            (f"{o} * {h} / ({h} + {o2})", div(mul(ov, hv), add(hv, o2v))),
            (f"({o} + {h}) / {h} * {o2}", mul(div(add(ov, hv), hv), o2v)),
        ]
        text, value = rng.choice(forms)
        return text, value, ""

    def with_infinity(rng: random.Random) -> Tuple[str, Number, str]:
        (o, ov), (o2, o2v), (i, iv) = ordinary(rng), ordinary(rng), pick(rng, INFINITE)
        t, tv = pick(rng, TINY)
        forms = [
            (f"{o} + {i}", add(ov, iv)),
            (f"{o} - {i}", sub(ov, iv)),
            (f"{i} - {i}", sub(iv, iv)),
            (f"{i} + {t}", add(iv, tv)),
            (f"{o} / {i} + {o2}", add(div(ov, iv), o2v)),
            (f"{o2} - {o} / {i}", sub(o2v, div(ov, iv))),
        ]
        text, value = rng.choice(forms)
        return text, value, ""

    def with_units(rng: random.Random) -> Tuple[str, Number, str]:
        (o, ov), (o2, o2v) = ordinary(rng), ordinary(rng)
        t, tv = pick(rng, TINY)
        h, hv = pick(rng, HUGE)
        forms = [
            (f"{o} m + {o2} cm/({h})", add(ov, div(o2v / 100, hv)), "cm"),
            (f"{o} km - {o2} m * {t}", sub(ov * 1000, mul(o2v, tv)), "m"),
            (f"{o2} mm * {t} + {o} m", add(mul(o2v / 1000, tv), ov), "mm"),
        ]
        text, metres, hint = rng.choice(forms)
        scale = {"cm": 100, "m": 1, "mm": 1000}[hint]
        return text, mul(metres, Fraction(scale)), hint

    return [with_tiny, with_huge, with_infinity, with_units]


def printed_value(math_line: str) -> str:
    value = math_line.rsplit(" = ", 1)[1].removesuffix("$\\\\")
    return value.split(" \\ \\mathrm{", 1)[0].strip()


def agrees(printed: str, expected: Number) -> bool:
    if isinstance(expected, float):
        return printed == {math.inf: "inf", -math.inf: "-inf"}.get(expected, "NaN")
    return abs(Fraction(printed) - expected) <= HALF_LAST_DIGIT * (1 + Fraction(1, 10**9))


def run_lines(lines: List[str]) -> List[str]:
    latex = mensurator_py.run_mensurator("\n".join(lines))
    return latex.splitlines()[2:-1]


@pytest.mark.parametrize(
    ("line", "value"),
    [
        ("z = 1 - 1/cosh(1000) =?", "1"),
        ("F = \\pi - e/(cosh(390079780041424752850518950)) =?", "3.142"),
        ("b = 1 + 1/10^400 =?", "1"),
        ("3 + 1/exp(1000) =?", "3"),
        ("1/(2^2000) + 3 =?", "3"),
        ("x = 2 m + 1 m/(2^2000) =? cm", "200"),
        ("55.6 - 95/log10(0) =?", "55.600"),
    ],
)
def test_reported_sums_print_their_true_values(line: str, value: str) -> None:
    (math_line,) = run_lines([line])
    assert printed_value(math_line) == value


def test_generated_sums_agree_with_exact_arithmetic() -> None:
    rng = random.Random(26)
    templates = _templates()
    cases = []
    for _ in range(20_000):
        text, expected, hint = rng.choice(templates)(rng)
        cases.append((f"{text} =? {hint}".rstrip(), expected))
    math_lines = run_lines([line for line, _ in cases])
    assert len(math_lines) == len(cases)
    wrong = [
        (line, expected, printed_value(math_line))
        for (line, expected), math_line in zip(cases, math_lines)
        if not agrees(printed_value(math_line), expected)
    ]
    assert not wrong, f"{len(wrong)} of {len(cases)} disagree, first: {wrong[:5]}"
