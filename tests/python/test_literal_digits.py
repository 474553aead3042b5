"""Literals of an expression are printed with the digits of ``!digits N``: their double rounded
exactly (ties to even) to N decimals, or none when it is whole, without a sign when it rounds to
zero; ``!scientific`` does not change a literal. The reference is Python's exact decimal
arithmetic on the same double."""

import re
from decimal import ROUND_HALF_EVEN, Decimal, localcontext

from hypothesis import given, settings
from hypothesis import strategies as st
from mensurator import _engine


def reference(text, digits):
    x = float(text)
    places = digits if x != int(x) else 0
    with localcontext() as context:
        context.prec = 2000
        rounded = Decimal(x).quantize(Decimal(1).scaleb(-places), rounding=ROUND_HALF_EVEN)
    shown = f"{rounded:f}"
    return shown.lstrip("-") if set(shown) <= set("-0.") else shown


literals = st.builds(
    lambda sign, whole, fraction: sign + whole + ("." + fraction if fraction else ""),
    st.sampled_from(["", "-"]),
    # Leading zeros, and whole parts up to and past 2^64.
    st.one_of(st.text("0123456789", min_size=1, max_size=22), st.just("0")),
    st.one_of(st.just(""), st.text("0123456789", min_size=1, max_size=24)),
)


def printed_literals(document):
    return re.findall(r"\$x_\d = (.*)\$\\\\", _engine.run(document).latex)


@settings(max_examples=500, deadline=None)
@given(st.lists(literals, min_size=1, max_size=4), st.integers(0, 30), st.booleans())
def test_literals_print_their_exactly_rounded_digits(texts, digits, scientific):
    lines = [f"!digits {digits}"] + (["!scientific"] if scientific else [])
    lines += [f"x_{i} = {text}" for i, text in enumerate(texts)]
    assert printed_literals("\n".join(lines)) == [reference(text, digits) for text in texts]


def test_ties_and_the_edges_of_the_fast_digits():
    cases = {
        # Exact binary ties go to the even digit; 0.0025 lies above its tie.
        ("0.125", 2): "0.12", ("0.375", 2): "0.38", ("0.0025", 3): "0.003",
        ("-0.0004", 3): "0.000", ("-0.0", 3): "0", ("007.50", 1): "7.5",
        # Around 2^64 and past 19 decimals the digits no longer fit 64 bits.
        ("18446744073709551615", 3): "18446744073709551616", ("1844674407.3709551615", 9):
        "1844674407.370955229", ("0.1", 25): "0.1000000000000000055511151",
    }
    for (text, digits), expected in cases.items():
        assert reference(text, digits) == expected
        assert printed_literals(f"!digits {digits}\nx_0 = {text}") == [expected]
