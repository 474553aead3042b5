"""``!symbols``: units and functions typeset as printed matter. Every such document compiles
with the plain preamble and converts to MathML in the HTML report."""

import mensurator
import pytest
from conftest import EXAMPLES, FUNCTION_CALLS
from mensurator._html.report import page
from test_pdflatex import compile_latex

EVERY_UNIT = [
    name
    for unit in mensurator.units().units
    for name in unit.names
    if name.isascii() and name.isalpha()
]
# The document grammar reads ASCII names, so the micro sign is left out.
PREFIXES = [
    spelling
    for prefix in mensurator.units().prefixes
    for spelling in (prefix.word, prefix.symbol)
    if spelling.isascii()
]

DOCUMENTS = {
    "issue examples": "\n".join(
        [
            "f = 50 hz",
            "R = 45.5 mohm",
            "R =? mohm",
            "C = 60.55 microF",
            "S = 3 kV*A",
            "a = 30 deg",
            "r = sqrt(3) * 2 V",
            "v = 3 m/s^2",
            "v =? km/(hour*s)",
            "w = 2 kg*m^2/(s^2*A)",
            "w =? N*(m/A)",
        ]
    ),
    "functions": "\n".join(f"{call} =?" for call in FUNCTION_CALLS.values()),
    "every unit": "!units extended\n" + "\n".join(f"x = 2 {name}" for name in EVERY_UNIT),
    "every prefix": "\n".join(f"x = 2 {prefix}m/{prefix}s" for prefix in PREFIXES),
    "example": (EXAMPLES / "deck_beam_us.txt").read_text(encoding="utf-8"),
}


def body(text):
    return mensurator.render(text, symbols=True).body


def test_units_are_typeset_as_symbols():
    latex = body(DOCUMENTS["issue examples"])
    for typeset in [
        r"50\ \mathrm{Hz}",
        r"45.500\ \mathrm{m\Omega}",
        r"60.550\ \mathrm{\mu F}",
        r"3\ \mathrm{kV\,A}",
        r"30\ \mathrm{{}^{\circ}}",
        r"\mathrm{\frac{km}{h\,s}}",
        # Written parentheses stay, but for those around a whole part of a fraction.
        r"\mathrm{\frac{kg\,m^{2}}{s^{2}\,A}}",
        r"\mathrm{N\,(\frac{m}{A})}",
    ]:
        assert typeset in latex
    # One \mathrm group per annotation, no written spellings.
    assert r"\mathrm{\mathrm" not in latex and "hz" not in latex and "micro" not in latex


def test_functions_are_typeset_as_operators():
    latex = body("x = sqrt(2) + sin(1) + ln(2) + log10(3) + abs(-1) + atan2(1, 2)")
    assert r"\sqrt{2} + \sin(1) + \ln(2) + \log_{10}(3) + \left|-1\right|" in latex
    assert r"\mathrm{atan2}(1,2)" in latex


def test_symbols_change_nothing_but_the_typesetting():
    text = DOCUMENTS["issue examples"]
    plain = mensurator.render(text)
    typeset = mensurator.render(text, symbols=True)
    assert [s.value for s in plain.statements] == [s.value for s in typeset.statements]
    assert mensurator.render("!symbols\n" + text).latex == typeset.latex


@pytest.mark.parametrize("name", sorted(DOCUMENTS))
def test_every_line_converts_to_mathml(name):
    text = body(DOCUMENTS[name])
    rendered = page(text, name)
    assert rendered.unconverted == ()
    assert rendered.html.count("<math") == text.count("$\\\\")


@pytest.mark.parametrize("name", sorted(DOCUMENTS))
def test_every_document_compiles_with_the_plain_preamble(pdflatex, tmp_path, name):  # noqa: F811
    latex = mensurator.render(DOCUMENTS[name], symbols=True).latex
    status, errors, log = compile_latex(pdflatex, latex, tmp_path)
    assert (status, errors) == (0, []), log[-3000:]
