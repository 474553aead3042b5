"""End-to-end documents: input text in, exact LaTeX document (or exact error message) out."""

import math
import re
from pathlib import Path

import mensurator_py
import pytest

PREAMBLE = "\\documentclass{article}\n\\begin{document}\n"
END = "\\end{document}"
EXAMPLES = Path(__file__).resolve().parents[2] / "examples"


def lines(*math):
    """The text of printed statements: one "$...$\\\\" line each."""
    return "".join(f"${line}$\\\\\n" for line in math)


def document(body):
    return PREAMBLE + body + END


def run(text):
    return mensurator_py.run_mensurator(text)


def error_of(text):
    with pytest.raises(Exception) as caught:
        run(text)
    assert type(caught.value).__name__ == "MensuratorException"
    return str(caught.value)


def test_velocity_converted_to_km_per_hour():
    assert run("v = 3 m / 2 s\nv =? km/hour") == document(
        lines(
            r"v = \frac{3\ \mathrm{\mathrm{m }}}{2\ \mathrm{\mathrm{s}}}",
            r"v = 5.400 \ \mathrm{\frac{\mathrm{km}}{\mathrm{hour}}}",
        )
    )


def test_alias_definition_print_and_section_block():
    text = "alias r r_1\nr = e * e\nr = ?\n'''\\section{Results}'''"
    assert run(text) == document(
        lines(r"r_1 = e \times e", r"r_1 = 7.389") + r"\section{Results}\leavevmode\\"
    )


STATEMENTS = [
    # Plain kinds.
    ("definition", "x = 5", [r"x = 5"]),
    (
        "print",
        "2 m + 3 m=?",
        [r"2\ \mathrm{\mathrm{m }} + 3\ \mathrm{\mathrm{m}} = 5 \ \mathrm{ m\,}"],
    ),
    (
        "defining print with hint",
        "c = 2 m =? cm",
        [r"c = 2\ \mathrm{\mathrm{m }} = 200 \ \mathrm{cm}"],
    ),
    ("print with blanks between = and ?", "x = 4\nx = ?", [r"x = 4", r"x = 4"]),
    # Aliases in the three defining/printing kinds.
    ("alias names the stored variable", "alias r r_1\nr = 2\nr_1 =?", [r"r_1 = 2", r"r_1 = 2"]),
    ("alias in a print", "alias r r_1\nr = 2\nr =?", [r"r_1 = 2", r"r_1 = 2"]),
    (
        "alias in a defining print",
        "alias r r_1\nr = 2\ns = r * 3 =?",
        [r"r_1 = 2", r"s = r_1 \times 3 = 6"],
    ),
    (
        "alias in a definition's expression",
        "r = 2\nA = pi * r^2\nA =?",
        [r"r = 2", r"A = \pi \times r^{2}", r"A = 12.566"],
    ),
    (
        "defining print stores under the alias",
        "alias a \\alpha\na = 2 =?\n\\alpha =?",
        [r"\alpha = 2 = 2", r"\alpha = 2"],
    ),
    (
        "aliases apply in a single pass",
        "alias a b\nalias b c\nb = 1\na = 2\na =?\nc =?",
        [r"c = 1", r"b = 2", r"b = 2", r"c = 1"],
    ),
    ("alias of pi replaced", "alias pi q\nq = 2\npi =?", [r"q = 2", r"q = 2"]),
    (
        "stored name of pi usable directly",
        "x = \\pi * 2\nx =?",
        [r"x = \pi \times 2", r"x = 6.283"],
    ),
    ("built-in e", "e =?", [r"e = 2.718"]),
    # Redefinition.
    (
        "redefinition replaces the value",
        "x = 1\nx = x + 1\nx =?",
        [r"x = 1", r"x = x + 1", r"x = 2"],
    ),
    ("e can be redefined", "e = 5\ne * 2 =?", [r"e = 5", r"e \times 2 = 10"]),
    # Directives.
    ("scientific toggled twice is off", "!scientific\n!scientific\n12345 =?", [r"12345 = 12345"]),
    ("scientific on", "!scientific\n12345 =?", [r"12345 = 1.234\times 10^{4}"]),
    (
        "scientific leaves literals alone",
        "!scientific\n0.0025 =?",
        [r"0.003 = 2.500\times 10^{-3}"],
    ),
    (
        "scientific with a hint",
        "!scientific\n2 hours =? min",
        [r"2\ \mathrm{\mathrm{hours}} = 1.200 \times 10^{2} \ \mathrm{min}"],
    ),
    ("default digits round literals", "1.23456 =?", [r"1.235 = 1.235"]),
    ("digits widen literals", "!digits 5\n1.23456 =?", [r"1.23456 = 1.23456"]),
    (
        "digits hold from their line on",
        "x = 1.23456\n!digits 5\nx =?",
        [r"x = 1.235", r"x = 1.23456"],
    ),
    ("digit count without blank", "!digits4\n1.5 =?", [r"1.5000 = 1.5000"]),
    ("blank after the bang", "! digits 1\n1.26 =?", [r"1.3 = 1.3"]),
    ("zero digits", "!digits 0\n2.25 =?", [r"2 = 2"]),
    # Operators, precedence and rendering.
    (
        "unit annotation binds tighter than times",
        "2 * 3 m =? m",
        [r"2 \times 3\ \mathrm{\mathrm{m }} = 6 \ \mathrm{m}"],
    ),
    (
        "unit annotation binds to the divisor",
        "6 / 2 s =?",
        [r"\frac{6}{2\ \mathrm{\mathrm{s }}} = 3 \ \mathrm{\frac{1}{ s\,}}"],
    ),
    (
        "annotation after a power",
        "x = 3\nx ^ 2 m =?",
        [r"x = 3", r"x^{2}\ \mathrm{\mathrm{m }} = 9 \ \mathrm{ m\,}"],
    ),
    ("powers associate to the left", "2^3^2 =?", [r"(2^{3})^{2} = 64"]),
    ("negative base of a power", "-2^2 =?", [r"(-2)^{2} = 4"]),
    ("times before plus", "1 + 2 * 3 =?", [r"1 + 2 \times 3 = 7"]),
    ("left-associative minus", "1 - 2 - 3 =?", [r"1 - 2 - 3 = -4"]),
    ("nested fractions", "8/2/2 =?", [r"\frac{\frac{8}{2}}{2} = 2"]),
    ("negative literal operand", "3 * -5 =?", [r"3 \times -5 = -15"]),
    (
        "parentheses dropped in fractions and exponents",
        "a = 1\n(a + 1) / 2 ^ (2) =?",
        [r"a = 1", r"\frac{a + 1}{2^{2}} = 0.500"],
    ),
    (
        "double parentheses keep one pair",
        "a = 1\n((a + 1)) / 2 =?",
        [r"a = 1", r"\frac{(a + 1)}{2} = 1"],
    ),
    ("no negative zero", "-0.0001 =?", [r"0.000 = 0.000"]),
    ("no negative zero from a product", "-1 * 0 =?", [r"-1 \times 0 = 0"]),
    # Units and conversion.
    (
        "kilojoule with prefix on the largest exponent",
        "5 kJ =?",
        [r"5\ \mathrm{\mathrm{kJ}} = 5 \ \mathrm{\frac{ g\, km^{2}\,}{ s^{2}\,}}"],
    ),
    (
        "automatic kilo prefix",
        "1 km + 1 m =?",
        [r"1\ \mathrm{\mathrm{km}} + 1\ \mathrm{\mathrm{m }} = 1.001 \ \mathrm{k m\,}"],
    ),
    (
        "automatic deci prefix",
        "0.25 m =?",
        [r"0.250\ \mathrm{\mathrm{m }} = 2.500 \ \mathrm{d m\,}"],
    ),
    (
        "no prefix between 1 and 1000",
        "500 m =?",
        [r"500\ \mathrm{\mathrm{m }} = 500 \ \mathrm{ m\,}"],
    ),
    (
        "hint smaller than the value",
        "5 m =? km",
        [r"5\ \mathrm{\mathrm{m }} = 0.005 \ \mathrm{km}"],
    ),
    ("hint with a factor", "1 hour =? s", [r"1\ \mathrm{\mathrm{hour}} = 3600 \ \mathrm{s}"]),
    ("degree is pi/180", "180 degree =?", [r"180\ \mathrm{\mathrm{degree}} = 3.142"]),
    (
        "lux is candela per square metre",
        "1 lux =?",
        [r"1\ \mathrm{\mathrm{lux}} = 1 \ \mathrm{\frac{ cd\,}{ m^{2}\,}}"],
    ),
    ("dam is the decametre", "1 dam =?", [r"1\ \mathrm{\mathrm{dam}} = 10 \ \mathrm{ m\,}"]),
    (
        "molar",
        "1 mol / 2 L =? M",
        [r"\frac{1\ \mathrm{\mathrm{mol}}}{2\ \mathrm{\mathrm{L }}} = 0.500 \ \mathrm{M}"],
    ),
    (
        "hertz keeps the value in its text",
        "1 Mhz =?",
        [r"1\ \mathrm{\mathrm{Mhz}} = 1000000 \ \mathrm{\frac{1}{ s\,}}"],
    ),
    ("bare unit name is one of that unit", "km =? m", [r"km = 1000 \ \mathrm{m}"]),
    (
        "variable shadows a bare unit name",
        "m = 3\nm * 2 m =?",
        [r"m = 3", r"m \times 2\ \mathrm{\mathrm{m }} = 6 \ \mathrm{ m\,}"],
    ),
    # Functions.
    (
        "call rendering",
        "max(1 km, 300 m) =?",
        [r"\mathrm{max}(1\ \mathrm{\mathrm{km}},300\ \mathrm{\mathrm{m}}) = 1 \ \mathrm{k m\,}"],
    ),
    ("atan2 takes y first", "atan2(1, 0) =?", [r"\mathrm{atan2}(1,0) = 1.571"]),
    ("round half away from zero", "round(-2.5) =?", [r"\mathrm{round}(-2.500) = -3"]),
    ("floor of a negative", "floor(-0.5) =?", [r"\mathrm{floor}(-0.500) = -1"]),
    (
        "abs keeps a unit with a factor",
        "abs(-2 hours) =? s",
        [r"\mathrm{abs}(-2\ \mathrm{\mathrm{hours}}) = 7200 \ \mathrm{s}"],
    ),
    ("max skips NaN", "max(0/0, 1) =?", [r"\mathrm{max}(\frac{0}{0},1) = 1"]),
    # Arithmetic never fails on numbers.
    ("division by zero", "1/0 =?", [r"\frac{1}{0} = inf"]),
    ("zero by zero", "0/0 =?", [r"\frac{0}{0} = NaN"]),
    ("logarithm of zero", "ln(0) =?", [r"\mathrm{ln}(0) = -inf"]),
    ("square root of a negative", "sqrt(-1) =?", [r"\mathrm{sqrt}(-1) = NaN"]),
    # Line ends.
    ("lone CR separates statements", "x = 1\ry = 2", [r"x = 1", r"y = 2"]),
    ("trailing blanks after a statement", "x = 1 \t\nx =?", [r"x = 1", r"x = 1"]),
    ("keyword spelled as a variable", "alias = 3\nalias =?", [r"alias = 3", r"alias = 3"]),
    ("alias keyword without blank", "aliasv w\nv = 1", [r"w = 1"]),
]


@pytest.mark.parametrize(
    "text, math", [case[1:] for case in STATEMENTS], ids=[case[0] for case in STATEMENTS]
)
def test_statement_output(text, math):
    assert run(text) == document(lines(*math))


ERRORS = [
    ("empty input", "", "Parsing Error near line 2 column 1\n"),
    ("only line ends", "\n\n", "Parsing Error near line 4 column 1\n"),
    ("partly matched first line", "x = 5 6", "Parsing Error near line 1 column 7\n"),
    ("partly matched later line", "x = 2\nx = 5 6\ny = 1", "Parsing Error near line 2 column 7\n"),
    ("unrecognised line", "hello world", "Line 1: Invalid statement hello world"),
    (
        "line number counts leading blank lines",
        "\n\n\nx = 1\ny = 2\nz = 3\nhello",
        "Line 7: Invalid statement hello",
    ),
    (
        "line number with CR LF",
        "x=1\r\ny=2\r\nz = 3\r\nbad line",
        "Line 4: Invalid statement bad line",
    ),
    ("lone CR keeps line 1", "x=1\ry=2\rbad", "Line 1: Invalid statement bad"),
    ("non-ASCII name", "x = 1\nΩ = 1", "Line 2: Invalid statement Ω = 1"),
    (
        "unclosed latex block",
        "x = 1\n''' never closed\ny = 1",
        "Line 2: Invalid statement ''' never closed",
    ),
    ("doubled equals sign", "x = 1\nx==?", "Line 2: Invalid statement x==?"),
    ("empty call", "min() =?", "Line 1: Invalid statement min() =?"),
    ("unknown name", "x = 1\ny = 2\nw =? km", "Line 3: w is not a variable or a valid unit"),
    (
        "unknown name in a definition",
        "x = 1\nA = pi * r^2",
        "Line 2: r is not a variable or a valid unit",
    ),
    ("unknown unit in a hint", "5 kg =? km/h", "Line 1: h is not a variable or a valid unit"),
    (
        "hint error before expression error",
        "zz =? qq",
        "Line 1: qq is not a variable or a valid unit",
    ),
    ("two prefixes", "1 kkm =?", "Line 1: kkm is not a variable or a valid unit"),
    ("prefix alone", "1 k =?", "Line 1: k is not a variable or a valid unit"),
    ("Hz is not a unit name", "1 Hz =?", "Line 1: Hz is not a variable or a valid unit"),
    ("cd is not a unit name", "1 cd =?", "Line 1: cd is not a variable or a valid unit"),
    ("blank inside a unit name", "1 m s =?", "Line 1: m s is not a variable or a valid unit"),
    ("adding different dimensions", "2 m + 3 s =?", "Line 1: Can't sub values with units m and s"),
    (
        "subtracting different dimensions",
        "t = 1 s\nr = 2 m\nt - r =?",
        "Line 3: Can't sub values with units s and m",
    ),
    (
        "hint of another dimension",
        "3 m =? s",
        "Line 1: Unit hint s does not match value with unit m",
    ),
    (
        "hint of a compound dimension",
        "5 kJ =? W",
        "Line 1: Unit hint m^2 g s^-3 does not match value with unit m^2 g s^-2",
    ),
    ("unknown function", "x = 2\nfoo(x) =?", "Line 2: Unknown function foo"),
    ("function names are case-sensitive", "Sin(1) =?", "Line 1: Unknown function Sin"),
    ("there is no log", "log(1) =?", "Line 1: Unknown function log"),
    (
        "argument count",
        "sin(1, 2) =?",
        "Line 1: Incorrect number of arguments to function sin, expected 1..=1 but got 2",
    ),
    (
        "atan2 needs two",
        "atan2(1) =?",
        "Line 1: Incorrect number of arguments to function atan2, expected 2..=2 but got 1",
    ),
    (
        "count checked before arguments",
        "sqrt(1, zz) =?",
        "Line 1: Incorrect number of arguments to function sqrt, expected 1..=1 but got 2",
    ),
    ("unit to a plain-number function", "sqrt(4 m) =?", "Line 1: Can't take sqrt of unit-ed value"),
    (
        "mixed dimensions to min",
        "min(1 s, 1 m) =?",
        "Line 1: Functions require all arguments to have the same unit",
    ),
    ("negative digit count", "!digits -2", "Line 1: Digit count -2 is out of range 0..1000"),
    (
        "digit count above the limit",
        "x = 1\n!digits 1001",
        "Line 2: Digit count 1001 is out of range 0..1000",
    ),
    (
        "digit count beyond 64 bits",
        "!digits 99999999999999999999999",
        "Line 1: Digit count 99999999999999999999999 is out of range 0..1000",
    ),
    (
        "brackets nested too deep",
        "(" * 65 + "1" + ")" * 65 + " =?",
        "Line 1: Brackets are nested more than 64 levels deep",
    ),
    (
        "calls nested too deep",
        "x = 1\n" + "abs(" * 65 + "1" + ")" * 65 + " =?",
        "Line 2: Brackets are nested more than 64 levels deep",
    ),
]


@pytest.mark.parametrize(
    "text, message", [case[1:] for case in ERRORS], ids=[case[0] for case in ERRORS]
)
def test_error_message(text, message):
    assert error_of(text) == message


@pytest.mark.parametrize(
    "text",
    [
        "2 m^200 =?",
        "(2 m)^200 =?",
        "x = 2 m\nx^100 * x^100 =?",
        "1 m^128 =?",
        "5 m^99999999999999999999 =?",
        "2 ^ (0.5 m) =?",
        "5 1/s =?",
    ],
)
def test_unrepresentable_units_are_statement_errors(text):
    # Exponents beyond the unit model and malformed unit expressions are ordinary errors of
    # their statement, not faults of the engine.
    assert error_of(text).startswith(f"Line {text.count(chr(10)) + 1}: ")


@pytest.mark.parametrize(
    "text, expected_tail",
    [
        ("1 m^127 =?", r"= 1 \ \mathrm{ m^{127}\,}$\\" + "\n"),
        ("1 m^-128 =?", r"= 1 \ \mathrm{\frac{1}{ m^{128}\,}}$\\" + "\n"),
        ("(" * 64 + "1" + ")" * 64 + " =?", ")" * 64 + " = 1$\\\\\n"),
        ("!digits 1000\n1/8 =?", r"\frac{1}{8} = 0.125" + "0" * 997 + "$\\\\\n"),
    ],
    ids=["largest exponent", "smallest exponent", "deepest brackets", "most digits"],
)
def test_limits_are_inclusive(text, expected_tail):
    assert run(text).endswith(expected_tail + END)


def test_failure_returns_no_partial_output():
    message = error_of("x = 1\ny = 2 m\n'''\\section{A}'''\nx =?\ny + 1 s =?\nx =?")
    assert message == "Line 5: Can't sub values with units m and s"


@pytest.mark.parametrize(
    "text, body",
    [
        ("  \nx = 1", r"\leavevmode\\" + lines("x = 1")),
        ("  \n  \nx = 1", r"\leavevmode\\\\" + lines("x = 1")),
        ("!digits 2\n\nx = 1", r"\leavevmode\\" + lines("x = 1")),
        ("!scientific\n \nx = 1", r"\leavevmode\\" + lines("x = 1")),
        ("'''\\section{A}'''\nx = 1", r"\section{A}\leavevmode\\" + lines("x = 1")),
        ("'''\\section{A}'''alias a b\n\nx = 1", r"\section{A}\leavevmode\\" + lines("x = 1")),
        (
            "x = 1\n'''\\section{B}'''\n\n\ny = 2",
            lines("x = 1") + r"\section{B}\leavevmode\\\\\\" + lines("y = 2"),
        ),
        ("''''''\n", r"\leavevmode\\\\"),
        ("'''a'''\n'''b'''", r"a\leavevmode\\b\leavevmode\\"),
        ("x = 1\n\nx =?", lines("x = 1") + r"\\" + lines("x = 1")),
        ("x = 1\n", lines("x = 1") + r"\\"),
        ("x = 1\n\n\n", lines("x = 1") + r"\\\\\\"),
    ],
    ids=[
        "blank first line",
        "two blank first lines",
        "after a digit directive at the start",
        "after a scientific directive at the start",
        "after a block",
        "after a block and an alias",
        "several after a block",
        "empty block",
        "two blocks",
        "between printed lines",
        "input ending in a line end",
        "several at the end",
    ],
)
def test_line_gaps(text, body):
    assert run(text) == document(body)


@pytest.mark.parametrize(
    "text",
    [
        "x = 1",
        "\n\n\nx = 1",
        "\r\n\r\nx = 1",
        "x = 1\r\n",
        "'''\\LaTeX'''",
        "  \n",
        "x = 1\ry = 2\n",
    ],
)
def test_document_shape(text):
    output = run(text)
    assert output.startswith(PREAMBLE) and len(PREAMBLE) == 41
    assert output.endswith(END)
    assert output.count("\\begin{document}") == 1 and output.count(END) == 1


def test_leading_line_ends_produce_nothing():
    assert run("\n\r\n\rx = 1") == run("x = 1")


def test_latex_block_passes_through_verbatim():
    block = "\\begin{tabular}{ll}\n  Größe & 5 \\\\\n\\end{tabular}"
    assert run(f"x = 1\n'''{block}'''") == document(lines("x = 1") + block + r"\leavevmode\\")


def test_calls_do_not_share_state():
    probe = "x = 3\nx =?\ne =?\n1.5 =?\n12345 =?"
    fresh = run(probe)
    assert fresh == document(lines("x = 3", "x = 3", "e = 2.718", "1.500 = 1.500", "12345 = 12345"))
    changed = run("alias x y\n!digits 5\n!scientific\ne = 10\n" + probe)
    assert changed != fresh
    assert run(probe) == fresh


def test_large_document():
    count = 3000
    text = "\n".join(f"x_{{{i}}} = {i}" for i in range(count)) + f"\nx_{{{count - 1}}} + 1 =?"
    output = run(text)
    assert output.count("$\\\\\n") == count + 1
    assert output.endswith(f"$x_{{{count - 1}}} + 1 = {count}$\\\\\n" + END)


# The examples' results, worked out independently: (example, [(name, value, unit as printed)]).
EXAMPLE_RESULTS = [
    (
        "kinematics.txt",
        [
            ("s_{braking}", 25**2 / (2 * 6.5), r"\mathrm{m}"),
            ("t_{stop}", 1.2 + 25 / 6.5, r"\mathrm{s}"),
            ("R", 25**2 * math.sin(math.radians(70)) / 9.81, r"\mathrm{m}"),
        ],
    ),
    (
        "circuit.txt",
        [
            ("I", 12 / 6900 * 1e3, r"\mathrm{mA}"),
            ("f_c", 1 / (2 * math.pi * 10e3 * 47e-9), r"\mathrm{hz}"),
            ("G", 1 / math.hypot(1, 2 * math.pi * 1e3 * 10e3 * 47e-9), None),
        ],
    ),
    (
        "beam.txt",
        [
            ("V_{max}", 12 * 6 / 2, r"\mathrm{kN}"),
            ("\\sigma", 12e3 * 6**2 / 8 / 713e-6 / 1e6, r"\mathrm{MPa}"),
            ("w_{max}", 5 * 12e3 * 6**4 / (384 * 210e9 * 8356e-8) * 1e3, r"\mathrm{mm}"),
        ],
    ),
    (
        "beam_check.txt",
        [
            ("M_{Ed}", 12 * 6**2 / 8, r"\mathrm{\mathrm{kN} \ \mathrm{m}}"),
            ("M_{Rd}", 557e-6 * 235e6 / 1e3, r"\mathrm{\mathrm{kN} \ \mathrm{m}}"),
            ("V_{Rd}", 25.7e-4 * 235e6 / math.sqrt(3) / 1e3, r"\mathrm{kN}"),
            ("w_{lim}", 6e3 / 250, r"\mathrm{mm}"),
        ],
    ),
    (
        "heat_loss.txt",
        [
            ("\\Phi", 0.8 * 18 * 25 / 0.24, r"\mathrm{W}"),
            ("E_{day}", 1500 * 24 / 1e3, r"\mathrm{\mathrm{kW} \ \mathrm{hour}}"),
            ("E_{year}", 1500 * 365 * 86400, r"\mathrm{J}"),
        ],
    ),
    (
        "molarity.txt",
        [
            ("n", 5.85 / 58.44 * 1e3, r"\mathrm{mmol}"),
            ("c", 5.85 / 58.44 / 0.25, r"\mathrm{M}"),
            ("m_2", 5.85e3, r"\mathrm{mg}"),
        ],
    ),
    (
        # With !sigfigs 3 and !symbols; the results whose three figures are within the
        # tolerance below.
        "deck_beam_us.txt",
        [
            ("w", 55 * 16 / 12, r"\mathrm{\frac{lbf}{ft}}"),
            ("M_{max}", 55 * 16 / 12 * 14**2 / 8 / 1e3, r"\mathrm{kip\,ft}"),
            ("V_{max}", 55 * 16 / 12 * 14 / 2, r"\mathrm{lbf}"),
            ("S_x", 1.5 * 9.25**2 / 6, r"\mathrm{in^{3}}"),
            ("I_x", 1.5 * 9.25**3 / 12, r"\mathrm{in^{4}}"),
            (
                "\\Delta",
                5 * 40 * 16 / 144 * 168**4 / (384 * 1.6e6 * 1.5 * 9.25**3 / 12),
                r"\mathrm{in}",
            ),
            ("\\Delta_{max}", 168 / 360, r"\mathrm{in}"),
            ("m", 15 * 16 / 12 * 14, r"\mathrm{lb}"),
        ],
    ),
]

PRINTED_RESULT = re.compile(
    r" = (?P<number>-?\d+(?:\.\d+)?)(?: \\times 10\^\{(?P<power>-?\d+)\})?"
    r"(?: \\ (?P<unit>.*))?\$\\\\$"
)


def printed_result(output, name):
    (line,) = [
        line
        for line in output.splitlines()
        if line.split("$")[1:2] and line.split("$")[1].startswith(name + " = ")
    ]
    match = PRINTED_RESULT.search(line)
    assert match, line
    value = float(match["number"]) * 10 ** int(match["power"] or 0)
    return value, match["unit"]


def read_example(name):
    text = (EXAMPLES / name).read_text(encoding="utf-8")
    return text.removesuffix("\n")


def test_every_example_is_checked():
    assert sorted(p.name for p in EXAMPLES.glob("*.txt")) == sorted(n for n, _ in EXAMPLE_RESULTS)


@pytest.mark.parametrize("name, results", EXAMPLE_RESULTS, ids=[n for n, _ in EXAMPLE_RESULTS])
def test_example_results(name, results):
    output = run(read_example(name))
    for variable, value, unit in results:
        # Printed with 3 or 4 digits after the point: compare to that precision.
        assert printed_result(output, variable) == (pytest.approx(value, rel=2e-3), unit)
