"""What several test modules share: the module's contract for any text (a LaTeX document or a
MensuratorException naming a line, the same on every call) and the corpus of documents that
together use every statement kind, built-in function and unit name.

Test modules import these from here (pytest puts this directory on the path for its conftest)
rather than from one another, so that each test module can run on its own."""

import os
import re
import shutil
from pathlib import Path

import pytest

from mensurator_py import run_mensurator

# ---- the module's contract ----

PREAMBLE = "\\documentclass{article}\n\\begin{document}\n"
CLOSING = "\\end{document}"
MESSAGE = re.compile(r"Line (\d+): .|Parsing Error near line (\d+) column \d+\n\Z", re.DOTALL)


def outcome(text: str) -> tuple[str, str]:
    """("document", text) or ("error", message); any other failure fails the test."""
    try:
        return ("document", run_mensurator(text))
    except (KeyboardInterrupt, SystemExit):
        raise
    except BaseException as error:  # the internal-error class derives from BaseException
        name = type(error).__name__
        assert name == "MensuratorException", f"{name}: {error} for {text!r}"
        assert isinstance(error, Exception)
        assert len(error.args) == 1 and isinstance(error.args[0], str)
        return ("error", error.args[0])


def check_contract(text: str) -> tuple[str, str]:
    """The module's contract for any text; returns the outcome."""
    result = outcome(text)
    kind, body = result
    if kind == "document":
        assert body.startswith(PREAMBLE)
        assert body.endswith(CLOSING)
    else:
        match = MESSAGE.match(body)
        assert match, f"message names no line: {body!r}"
        line = int(match.group(1) or match.group(2))
        # Lines are counted on the text with the appended line feed; a lone CR breaks none.
        assert 1 <= line <= text.count("\n") + 2
    if "\ufffd" not in text:
        # The module decodes the result leniently; a replacement character means bytes that
        # were not UTF-8, so the engine cut a character apart.
        assert "\ufffd" not in body
    assert outcome(text) == result, "a second call on the same text differs"
    return result


# ---- the document corpus ----

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


def example_text(path: Path) -> str:
    text = path.read_text(encoding="utf-8")
    return text.removesuffix("\n")


def corpus() -> list[tuple[str, str]]:
    documents = [(f"example {p.name}", example_text(p)) for p in sorted(EXAMPLES.glob("*.txt"))]
    return documents + list(GENERATED.items())


@pytest.fixture(scope="module")
def pdflatex():
    """The pdflatex program; in CI it must be there, elsewhere its tests are skipped."""
    path = shutil.which("pdflatex")
    if path is None:
        if os.environ.get("CI"):
            pytest.fail("pdflatex is required in CI; tests/install-deps.sh installs it")
        pytest.skip("pdflatex is not installed")
    return path
