"""Check statements and substitution steps at the package's boundary: verdicts against exact
arithmetic on the values as written, steps that leave every value alone, and the layouts that
show both (PDF, MathML, HTML, notebook, command line)."""

import json
import re
import subprocess
import sys
from fractions import Fraction
from pathlib import Path

import mensurator
import pytest
from conftest import EXAMPLES
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st
from mensurator._html.mathml import to_mathml
from mensurator._html.report import page
from mensurator._notebook import render_cell
from mensurator._pieces import MATH, pieces

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tools"))
import documents  # noqa: E402  (the differential tool's document generator)

BOUNDED = settings(
    max_examples=200, deadline=None, suppress_health_check=[HealthCheck.too_slow]
)

PREFIXES = {"G": 9, "M": 6, "k": 3, "": 0, "c": -2, "m": -3}
BASE_UNITS = ["N", "Pa", "m", "g", "s"]
RELATIONS = {
    "<": Fraction.__lt__,
    "<=": Fraction.__le__,
    ">": Fraction.__gt__,
    ">=": Fraction.__ge__,
}


def decimal_text(value: Fraction) -> str:
    """A fraction whose denominator is a power of ten, as a decimal literal."""
    sign = "-" if value < 0 else ""
    value = abs(value)
    places = 0
    while value.denominator != 1:
        value *= 10
        places += 1
    digits = str(value.numerator).rjust(places + 1, "0")
    return sign + (digits[:-places] + "." + digits[-places:] if places else digits)


@st.composite
def quantities(draw):
    """(literal text, prefix) with at most five significant digits."""
    mantissa = draw(st.integers(-99999, 99999))
    places = draw(st.integers(0, 4))
    return Fraction(mantissa, 10**places), draw(st.sampled_from(sorted(PREFIXES)))


@st.composite
def checks(draw):
    """A document ending in one check, and the exact truth of that check."""
    unit = draw(st.sampled_from(BASE_UNITS))
    left, left_prefix = draw(quantities())
    right_prefix = draw(st.sampled_from(sorted(PREFIXES)))
    if draw(st.booleans()):
        # The same magnitude in another prefix, so that equality is tried often.
        right = left * Fraction(10) ** (PREFIXES[left_prefix] - PREFIXES[right_prefix])
    else:
        right, right_prefix = draw(quantities())
    relation = draw(st.sampled_from(sorted(RELATIONS)))
    left_side = f"{decimal_text(left)} {left_prefix}{unit}"
    right_side = f"{decimal_text(right)} {right_prefix}{unit}"
    lines = []
    if draw(st.booleans()):
        lines.append(f"a = {left_side}")
        left_side = "a"
    lines.append(f"check {left_side} {relation} {right_side}")
    truth = RELATIONS[relation](
        left * Fraction(10) ** PREFIXES[left_prefix],
        right * Fraction(10) ** PREFIXES[right_prefix],
    )
    return "\n".join(lines), truth


@BOUNDED
@given(checks())
def test_verdicts_are_the_exact_comparison_of_the_written_values(case):
    text, truth = case
    document = mensurator.render(text)
    check = document.statements[-1].check
    assert check is not None and check.passed is truth, text
    verdict = r"\quad \mathrm{OK}$\\" if truth else r"\quad \mathrm{NOT\ OK}$\\"
    assert document.statements[-1].printed.endswith(verdict)


def test_mixed_prefixes_and_the_structured_record():
    document = mensurator.render("F = 450 kN\ncheck F <= 0.5 MN\ncheck 450 kN > 0.45 MN")
    first, second = document.statements[1], document.statements[2]
    assert first.kind == "check" and first.check is not None
    assert (first.check.relation, first.check.passed) == ("<=", True)
    assert first.check.left.number == pytest.approx(450e6)  # in base units: g m / s^2
    assert first.check.right.number == pytest.approx(0.5e9)
    assert second.check is not None and not second.check.passed
    assert document.statements[0].check is None


@pytest.mark.parametrize("left, right", [("1 m", "2 s"), ("2 kN", "3 MPa"), ("1", "1 kg")])
def test_unit_mismatch_fails_as_the_sum_of_the_sides(left, right):
    with pytest.raises(mensurator.DocumentError) as sum_error:
        mensurator.render(f"{left} + {right} =?")
    with pytest.raises(mensurator.DocumentError) as check_error:
        mensurator.render(f"check {left} < {right}")
    assert check_error.value.message == sum_error.value.message


# ---- steps leave everything else alone ----


def math_lines(latex):
    return [piece.math for piece in pieces(latex) if piece.kind == MATH]


@settings(max_examples=1, deadline=None)
@given(st.just(None))
def test_steps_only_insert_a_substitution_into_printing_lines(_):
    # On the differential tool's generated documents: same outcome, same lines, and a line
    # with steps is the line without them with one more part before its value.
    compared = 0
    for index in range(400):
        text = documents.generated(7, index)
        try:
            plain = mensurator.render(text)
        except mensurator.DocumentError as error:
            with pytest.raises(mensurator.DocumentError) as stepped_error:
                mensurator.render(text, steps=True)
            assert stepped_error.value.message == error.message
            continue
        stepped = mensurator.render(text, steps=True)
        plain_lines, stepped_lines = math_lines(plain.latex), math_lines(stepped.latex)
        assert len(plain_lines) == len(stepped_lines)
        for before, after in zip(plain_lines, stepped_lines):
            if before == after:
                continue
            head, _, value = before.rpartition(" = ")
            assert after.startswith(head + " = ") and after.endswith(" = " + value), text
            assert len(after) > len(before) + 3
            compared += 1
    assert compared > 50


def test_the_option_is_a_leading_directive():
    text = "x = 2 m\ny = x * 3 =?"
    assert mensurator.render(text, steps=True).latex == mensurator.render("!steps\n" + text).latex
    assert "= 2 \\ \\mathrm{m} \\times 3 =" in mensurator.render(text, steps=True).latex


# ---- the layouts ----

EXAMPLE_TEXTS = {path.name: path.read_text(encoding="utf-8") for path in EXAMPLES.glob("*.txt")}


@pytest.mark.parametrize("name", sorted(EXAMPLE_TEXTS))
def test_examples_with_steps_convert_to_mathml(name):
    document = mensurator.render(EXAMPLE_TEXTS[name], steps=True)
    for line in math_lines(document.latex):
        assert to_mathml(line) is not None, line
    rendered = page(document.body, name)
    assert rendered.unconverted == ()


def test_examples_show_steps_and_checks():
    document = mensurator.render(EXAMPLE_TEXTS["beam_check.txt"])
    verdicts = [s.check.passed for s in document.statements if s.check is not None]
    assert len(verdicts) >= 3
    substituted = [line for line in math_lines(document.latex) if line.count(" = ") >= 3]
    assert substituted, "the example sheet shows no substitution"


def test_html_sheet_shows_verdicts_in_words_and_colour():
    document = mensurator.render("x = 2 m\ncheck x < 1 m\ncheck x >= 1 m")
    html = page(document.body, "checks").html
    assert html.count('class="calc check failed"') == 1
    assert html.count('class="calc check passed"') == 1
    assert re.search(r'class="verdict">&#x2717; NOT OK</span>', html)
    assert re.search(r'class="verdict">&#x2713; OK</span>', html)
    assert ".check.failed .verdict" in html  # the colours come with the inlined stylesheet
    # The verdict is HTML text, not a second copy inside the MathML.
    assert "NOT\\ OK" not in html and ">NOT<" not in html


def test_notebook_colours_the_verdicts():
    markdown = render_cell("", "x = 2\ncheck x < 1\ncheck x > 1")._repr_markdown_()
    assert r"\color{red}{\mathrm{NOT\ OK}}" in markdown
    assert r"\color{green}{\mathrm{OK}}" in markdown


def run_command(*arguments, cwd):
    return subprocess.run(
        [sys.executable, "-m", "mensurator", *arguments],
        cwd=cwd,
        capture_output=True,
        text=True,
        timeout=120,
        check=False,
    )


def test_command_summarises_checks_and_fails_on_request(tmp_path):
    (tmp_path / "sheet.txt").write_text(
        "x = 2 m\ncheck x < 1 m\ncheck x >= 1 m\ncheck x > 0 m\n", encoding="utf-8"
    )
    summary = "sheet.txt: 3 checks: 2 OK, 1 NOT OK\nsheet.txt:2: NOT OK: check x < 1 m\n"
    plain = run_command("sheet.txt", "--body", cwd=tmp_path)
    assert (plain.returncode, plain.stderr) == (0, summary)
    assert "NOT\\ OK" in plain.stdout
    strict = run_command("sheet.txt", "--body", "--fail-on-check", cwd=tmp_path)
    assert (strict.returncode, strict.stdout, strict.stderr) == (1, plain.stdout, summary)
    as_json = run_command("sheet.txt", "--json", "--fail-on-check", cwd=tmp_path)
    assert as_json.returncode == 1
    record = json.loads(as_json.stdout)
    assert [s["check"]["passed"] for s in record["statements"] if s["check"]] == [
        False,
        True,
        True,
    ]


def test_command_steps_option(tmp_path):
    (tmp_path / "sheet.txt").write_text("x = 2 m\ny = x * 3 =?\n", encoding="utf-8")
    stepped = run_command("sheet.txt", "--body", "--steps", cwd=tmp_path)
    assert stepped.returncode == 0 and stepped.stderr == ""
    expected = mensurator.render("x = 2 m\ny = x * 3 =?", steps=True).body
    assert stepped.stdout.rstrip("\n") == expected.rstrip("\n")



@pytest.mark.parametrize("name", sorted(EXAMPLE_TEXTS))
def test_examples_with_steps_compile(pdflatex, tmp_path, name):
    document = mensurator.render(EXAMPLE_TEXTS[name], steps=True)
    for variant in (document.latex, document.display_latex):
        (tmp_path / "sheet.tex").write_text(variant, encoding="utf-8")
        completed = subprocess.run(
            [pdflatex, "-interaction=nonstopmode", "-halt-on-error", "sheet.tex"],
            cwd=tmp_path,
            stdin=subprocess.DEVNULL,
            capture_output=True,
            text=True,
            errors="replace",
            timeout=60,
            check=False,
        )
        assert completed.returncode == 0, completed.stdout[-3000:]
