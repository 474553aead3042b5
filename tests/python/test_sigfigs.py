"""``!sigfigs N``: numbers with N significant figures, against a reference built on Python's
``format(x, '.Ng')``, literals never with fewer figures than written, and ``!digits`` back."""

import re
from decimal import Decimal

import mensurator
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from mensurator import DocumentError, _engine


def reference(x, figures):
    """x to ``figures`` significant figures in positional notation, trailing zeros kept; a
    whole number with no more digits than that as it is."""
    if x == 0:
        return "0"
    if x == int(x) and abs(x) < 10**figures:
        return str(int(x))
    rounded = format(abs(x), f"#.{figures}g")  # '#' keeps the trailing zeros
    mantissa, _, exponent = rounded.partition("e")
    digits = mantissa.replace(".", "")
    point = (int(exponent) if exponent else len(mantissa.split(".")[0]) - 1) + 1
    if not exponent and mantissa.startswith("0."):
        stripped = mantissa[2:]
        point = -(len(stripped) - len(stripped.lstrip("0")))
        digits = stripped.lstrip("0")
    if point <= 0:
        text = "0." + "0" * -point + digits
    elif point >= len(digits):
        text = digits + "0" * (point - len(digits))
    else:
        text = digits[:point] + "." + digits[point:]
    assert Decimal(text) == Decimal(format(abs(x), f".{figures}g"))
    return ("-" if x < 0 else "") + text


def figures_written(text):
    return len(re.sub(r"[-.]", "", text).lstrip("0"))


def shown_literal(text, figures):
    """How the engine prints the literal ``text`` under ``!sigfigs figures``."""
    latex = _engine.run(f"x = {text}", sigfigs=figures).latex
    return re.search(r"\$x = (.*)\$\\\\", latex).group(1)


decimals = st.builds(
    lambda sign, digits, point: sign + (digits[:point] or "0") + "." + (digits[point:] or "0"),
    st.sampled_from(["", "-"]),
    st.text("0123456789", min_size=1, max_size=17),
    st.integers(0, 17),
)


@settings(max_examples=400, deadline=None)
@given(decimals, st.integers(1, 17))
def test_literals_match_the_reference_and_keep_their_written_figures(text, figures):
    shown = shown_literal(text, figures)
    assert shown == reference(float(text), max(figures, figures_written(text)))


def printed_value(document, **options):
    return re.findall(r"= ([-0-9.]+)\$", _engine.run(document, **options).latex)[-1]


@settings(max_examples=400, deadline=None)
@given(decimals, st.integers(1, 10**6), st.integers(-30, 30), st.integers(1, 17))
def test_computed_values_match_the_reference(numerator, denominator, power, figures):
    document = f"x = {numerator} / {denominator} * 10^{power}\nx =?"
    # With a thousand decimals the engine writes the double it computed exactly (for these
    # magnitudes), so the reference gets the very number the engine rounds.
    value = float(printed_value("!digits 1000\n" + document))
    assert printed_value(document, sigfigs=figures) == reference(value, figures)


def test_the_issue_examples():
    latex = mensurator.render(
        "!sigfigs 3\nf = 0.0201234\nf =?\nRe = 157069.6\nRe =?\nq = 1.602 * 10^-19\nq =?"
    ).latex
    assert "f = 0.0201$" in latex and "Re = 157000$" in latex
    assert "q = 0.000000000000000000160$" in latex


def test_digits_returns_to_decimals_and_scientific_keeps_its_meaning():
    latex = mensurator.render("!sigfigs 2\nx = 1234.5678 m\nx =?\n!digits 3\nx =?").latex
    assert "x = 1.2 \\ \\mathrm{k m\\,}" in latex and "x = 1.235 \\ \\mathrm{k m\\,}" in latex
    # The power of ten is written apart as before; only the mantissa's figures are counted.
    scientific = "!scientific\nx = 1234.5678 m\nx =?\ny = 0.00012345\ny =?"

    def printed(latex):
        return latex.splitlines()[2:-1][1::2]  # the =? lines, not the literals' definitions

    shown = printed(mensurator.render("!sigfigs 3\n" + scientific).latex)
    assert len(shown) == 2 and shown == printed(mensurator.render("!digits 2\n" + scientific).latex)


def test_the_option_acts_as_the_first_line():
    body = "x = 2.345 m\nx =?\ny = 2 zz"
    for text, options in ((body, {"sigfigs": 2}), ("!sigfigs 2\n" + body, {})):
        with pytest.raises(DocumentError) as caught:
            mensurator.render(text, **options)
        assert caught.value.line == body.count("\n") + 1 + (0 if options else 1)
    assert (
        mensurator.render(body[:-9], sigfigs=2).latex
        == mensurator.render("!sigfigs 2\n" + body[:-9]).latex
    )


@pytest.mark.parametrize("count", ["0", "18", "-3", "99999999999999999999"])
def test_counts_out_of_range_are_errors(count):
    with pytest.raises(DocumentError, match=r"Significant figure count .* is out of range 1\.\.17"):
        mensurator.render(f"!sigfigs {count}")
    with pytest.raises(ValueError):
        mensurator.render("x = 1", sigfigs=int(count[:3]) if count != "-3" else -3)
