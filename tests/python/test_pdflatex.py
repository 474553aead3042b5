"""Every produced document compiles with a real pdflatex.

The corpus is the example documents plus generated documents that together use every statement
kind, every built-in function, every unit name, hints, scientific notation, line gaps at the
start and after blocks, chained powers, negative literals, prefixes, fractions and aliases to
LaTeX names. Where pdflatex is missing the tests are skipped, except in CI, where they fail.
"""

import os
import shutil
import subprocess
import sys
from pathlib import Path

import mensurator
import mensurator_py
import pytest

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"

FUNCTION_CALLS = {
    "abs": "abs(-2 hours)",
    "ceil": "ceil(1.2 m)",
    "floor": "floor(-1.5)",
    "round": "round(2.5)",
    "min": "min(1 km, 300 m, 2 km)",
    "max": "max(2, 3, 1)",
    "sqrt": "sqrt(2)",
    "cbrt": "cbrt(27)",
    "exp": "exp(1)",
    "ln": "ln(10)",
    "log2": "log2(8)",
    "log10": "log10(1000)",
    "sin": "sin(30 deg)",
    "cos": "cos(pi)",
    "tan": "tan(0.5)",
    "asin": "asin(0.5)",
    "acos": "acos(2)",
    "atan": "atan(1)",
    "atan2": "atan2(1, 2)",
    "sinh": "sinh(1)",
    "cosh": "cosh(1)",
    "tanh": "tanh(1)",
    "asinh": "asinh(-1)",
    "acosh": "acosh(2)",
    "atanh": "atanh(0.5)",
}

UNIT_NAMES = (
    "m meter meters g gm gram grams s second seconds A amp amps ampere amperes K kelvin "
    "mol mols mole moles candela rad radian radians rev revolution revolutions deg degree "
    "degrees min minute minutes hour hours day days year years amu hz Bq becquerel becquerels "
    "J joule N newton L liter Pa pascal W watt C coulomb coulombs V volt volts F farad farads "
    "ohm ohms S siemen siemens Wb weber webers T tesla teslas H henry henries lx lux Gy gray "
    "grays Sy sievert sieverts kat katal katals M"
).split()

PREFIXED = (
    "kg mg km mm cm dm dam hm kN mmol kPa MPa GPa kWb Mhz nF pF kohm mL mM yottameter "
    "zettameter millimeter microsecond kilojoule megawatt Gs Ts Ps Es Zs Ys as fs ys zs"
).split()

GENERATED = {
    "statement kinds": "\n".join(
        [
            "  ",
            "alias v_0 v_{0}",
            "v_0 = 90 km/hour",
            "t = 4 s",
            "a = v_0 / t =? m/s^2",
            "a =?",
            "s = v_0 * t + a * t^2 / 2",
            "s =? m",
            "!digits 5",
            "s / t =? km/hour",
            "!scientific",
            "s =? mm",
            "'''\\section{Summary}'''",
            "s * 2 =?",
            "",
            "x = 1",
        ]
    ),
    "functions": "\n".join(f"{call} =?" for call in FUNCTION_CALLS.values()),
    "unit names": "\n".join(f"2 {name} =?" for name in UNIT_NAMES),
    "prefixes": "\n".join(f"3 {name} =?" for name in PREFIXED),
    "hints": "\n".join(
        [
            "x = 9.81 kg*m/s^2",
            "x =? N",
            "x =? kg*m/s^2",
            "y = 2 kg/(m*s)",
            "y =? kg/(m*s)",
            "y =? g/(cm*s)",
            "z = 1 m/s/kg =? m/s/kg",
            "5 m =? km",
            "2 hours =? min",
            "1 m^-2 =? cm^-2",
            "!scientific",
            "2 hours =? min",
            "5 m =? km",
            "1 lux =? lx",
        ]
    ),
    "scientific": "\n".join(
        [
            "!scientific",
            "12345 =?",
            "0.0025 =?",
            "5000 m =?",
            "0.25 m =?",
            "5 kJ =?",
            "1 Mhz =?",
            "10^300 =?",
            "10^-300 =?",
            "1/0 =?",
            "0/0 =?",
            "ln(0) =?",
            "-0.0001 =?",
        ]
    ),
    "powers and negatives": "\n".join(
        [
            "2^3^2 =?",
            "-2^2 =?",
            "2 ^ -1 =?",
            "3 * -5 =?",
            "-3 m - -2 m =?",
            "x = 3",
            "x ^ 2 m =?",
            "5 (m/s)^2 =?",
            "(2 km)^2 =?",
            "1 m^127 =?",
            "1 m^-128 =?",
            "100^0.5 =?",
            "2^0.5 =?",
        ]
    ),
    "fractions and brackets": "\n".join(
        [
            "a = 1",
            "b = 2",
            "(a + b) / (a - b) =?",
            "8/2/2 =?",
            "((a + 1)) / 2 ^ (2) =?",
            "a - (b + 1) =?",
            "(" * 64 + "1" + ")" * 64 + " =?",
            "sqrt(abs(-4) / (1 + 1)) =?",
        ]
    ),
    "latex names": "\n".join(
        [
            "alias a \\alpha",
            "alias D \\Delta",
            "alias w \\omega_{0}",
            "alias pi \\varpi",
            "\\varpi = 3",
            "a = 0.5 rad",
            "D = 2 m",
            "w = 2 * \\pi / 1 s",
            "\\mu_{r} = 4000",
            "v_{max} = D * w =?",
            "a * D + D =?",
            "pi =?",
            "\\mu_{r} * a =?",
            "\\theta_{1} = 2 * a =? deg",
        ]
    ),
    "digits": "\n".join(
        [
            "!digits 0",
            "2.5 =?",
            "1/3 =?",
            "!digits 12",
            "1/3 m =?",
            "!digits 200",
            "1/3 =?",
            "!digits 3",
        ]
    ),
    "line gaps": "\n".join(
        [
            "",
            "  ",
            "\t",
            "'''\\begin{center}'''",
            "x = 1",
            "'''\\end{center}'''",
            "",
            "''''''",
            "!digits 2",
            "",
            "'''Some \\emph{text} between",
            "lines of a block.'''",
            "x =?",
            "'''\\subsection*{End}'''",
            "",
        ]
    ),
}


@pytest.fixture(scope="module")
def pdflatex():
    path = shutil.which("pdflatex")
    if path is None:
        if os.environ.get("CI"):
            pytest.fail("pdflatex is required in CI; tests/install-deps.sh installs it")
        pytest.skip("pdflatex is not installed")
    return path


def compile_latex(pdflatex, latex, directory):
    source = directory / "document.tex"
    source.write_text(latex, encoding="utf-8")
    completed = subprocess.run(
        [pdflatex, "-interaction=nonstopmode", "-halt-on-error", source.name],
        cwd=directory,
        stdin=subprocess.DEVNULL,
        capture_output=True,
        text=True,
        errors="replace",
        timeout=60,
        check=False,
    )
    log = (directory / "document.log").read_text(encoding="utf-8", errors="replace")
    errors = [line for line in log.splitlines() if line.startswith("!")]
    return completed.returncode, errors, log


def example_text(path):
    text = path.read_text(encoding="utf-8")
    return text.removesuffix("\n")


def corpus():
    documents = [(f"example {p.name}", example_text(p)) for p in sorted(EXAMPLES.glob("*.txt"))]
    return documents + list(GENERATED.items())


def test_corpus_covers_every_function_and_example():
    assert len(FUNCTION_CALLS) == 25
    assert all(call.startswith(name + "(") for name, call in FUNCTION_CALLS.items())
    assert len([name for name, _ in corpus() if name.startswith("example ")]) >= 4


@pytest.mark.parametrize("name, text", corpus(), ids=[name for name, _ in corpus()])
def test_document_compiles(pdflatex, tmp_path, name, text):
    latex = mensurator_py.run_mensurator(text)
    status, errors, log = compile_latex(pdflatex, latex, tmp_path)
    assert (status, errors) == (0, []), log[-3000:]
    assert (tmp_path / "document.pdf").stat().st_size > 0


def test_broken_block_is_detected(pdflatex, tmp_path):
    # The check above must notice a LaTeX error: a block with an undefined command fails.
    latex = mensurator_py.run_mensurator("x = 1\n'''\\undefinedcommand'''")
    status, errors, _ = compile_latex(pdflatex, latex, tmp_path)
    assert status != 0
    assert errors and errors[0].startswith("! Undefined control sequence")


def test_command_writes_a_pdf(pdflatex, tmp_path):
    output = tmp_path / "kinematics.pdf"
    completed = subprocess.run(
        [
            sys.executable,
            "-m",
            "mensurator",
            "--pdf",
            str(output),
            str(EXAMPLES / "kinematics.txt"),
        ],
        capture_output=True,
        text=True,
        timeout=120,
        check=False,
    )
    assert (completed.returncode, completed.stdout, completed.stderr) == (0, "", "")
    assert output.read_bytes().startswith(b"%PDF-")


@pytest.mark.parametrize("name, text", corpus(), ids=[name for name, _ in corpus()])
def test_display_variant_compiles(pdflatex, tmp_path, name, text):
    document = mensurator.render(text)
    status, errors, log = compile_latex(pdflatex, document.display_latex, tmp_path)
    assert (status, errors) == (0, []), log[-3000:]


def test_to_pdf_writes_a_pdf_or_quotes_the_first_latex_error(pdflatex, tmp_path):
    output = tmp_path / "out.pdf"
    mensurator.render("x = 1 m\nx =? km").to_pdf(output)
    assert output.read_bytes().startswith(b"%PDF-")

    broken = mensurator.render("x = 1\n'''\\undefinedcommand'''")
    with pytest.raises(
        mensurator.PdfError, match=r"^pdflatex failed: ! Undefined control sequence"
    ):
        broken.to_pdf(tmp_path / "broken.pdf")
    assert not (tmp_path / "broken.pdf").exists()
