"""Stress cases at the Python boundary: very large, very deep, extreme and malformed documents.
Each must end quickly with a document or a MensuratorException naming the line."""

import ctypes
import ctypes.util
import math
import re
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import pytest
from conftest import check_contract, outcome
from mensurator_py import run_mensurator

FUZZ = Path(__file__).resolve().parents[1] / "fuzz"

# Generous bounds: each case takes well under a second on the test machine.
SECONDS = 10.0


def timed(text):
    start = time.perf_counter()
    result = check_contract(text)
    elapsed = time.perf_counter() - start
    assert elapsed < 2 * SECONDS, f"{elapsed:.1f} s"  # check_contract runs the text twice
    return result


def document(text):
    kind, body = timed(text)
    assert kind == "document", body
    return body


def error(text):
    kind, body = timed(text)
    assert kind == "error", body[:200]
    return body


def math_lines(body):
    return [line for line in body.split("\n") if line.startswith("$")]


def printed_value(line):
    """The text right of the last " = " of a printed math line."""
    assert line.endswith("$\\\\"), line[-40:]
    return line[:-3].rsplit(" = ", 1)[1]


# ---- depth ----

MEGABYTE = 1_000_000


@pytest.mark.parametrize(
    "text",
    [
        "(" * MEGABYTE,
        "x = " + "(" * MEGABYTE,
        "x = " + "(" * MEGABYTE + "1" + ")" * MEGABYTE + " =?",
        "1 " + "(" * MEGABYTE + "m",
        "x = 1 " + "(" * MEGABYTE + "m" + ")" * MEGABYTE,
        "x = " + "abs(" * (MEGABYTE // 4) + "1" + ")" * (MEGABYTE // 4),
        "x = 1 =? " + "(" * MEGABYTE + "m" + ")" * MEGABYTE,
    ],
    ids=["bare", "var_dec", "balanced", "unit_unclosed", "unit_balanced", "calls", "hint"],
)
def test_a_megabyte_of_nested_brackets_is_refused(text):
    message = error(text)
    assert message == "Line 1: Brackets are nested more than 64 levels deep"


@pytest.mark.parametrize(
    "lead, open_, inner",
    [("", "(", "1"), ("", "abs(", "1"), ("1 ", "(", "m")],
    ids=["groups", "calls", "unit_groups"],
)
def test_nesting_limit_is_64_levels(lead, open_, inner):
    allowed = lead + open_ * 64 + inner + ")" * 64
    refused = lead + open_ * 65 + inner + ")" * 65
    assert len(math_lines(document(f"x = {allowed} =?"))) == 1
    message = error(f"y = 2\nx = {refused} =?")
    assert message == "Line 2: Brackets are nested more than 64 levels deep"


def test_a_megabyte_of_brackets_within_the_limit():
    group = "(" * 60 + "1" + ")" * 60
    text = "x = " + "+".join([group] * 8200) + " =?"
    assert len(text) > MEGABYTE
    (line,) = math_lines(document(text))
    assert float(printed_value(line)) == 8200


# ---- length ----


@pytest.mark.parametrize(
    "separator, term, expected",
    [(" + ", "1", 100_000), (" - ", "1", -99_998), (" * ", "1", 1), ("/", "1", 1),
     (" + ", "1 m", 100_000), ("^", "1", 1), (" + ", "(1)", 100_000)],
    ids=["sum", "difference", "product", "quotient", "sum_with_unit", "powers", "groups"],
)
def test_a_100000_term_chain_on_one_line(separator, term, expected):
    text = "x = " + separator.join([term] * 100_000) + " =?"
    (line,) = math_lines(document(text))
    value = printed_value(line)
    number = float(value.split(" ")[0])
    if term == "1 m":
        assert value.endswith("\\mathrm{k m\\,}")  # 100 km
        number *= 1000
    assert math.isclose(number, expected, rel_tol=1e-12)


def test_100000_statements():
    text = "x = 1\n" * 100_000 + "x = x + 1 =?"
    lines = math_lines(document(text))
    assert len(lines) == 100_001
    assert printed_value(lines[-1]) == "2"


def test_an_error_after_100000_statements_names_its_line():
    text = "x = 1\n\n" * 50_000 + "y = q"
    assert error(text) == "Line 100001: q is not a variable or a valid unit"


def test_100000_blank_lines():
    body = document("x = 1\n" + "\n" * 100_000 + "y = 2")
    gaps = "\\\\" * 100_000  # one LaTeX line break per blank line
    assert body.endswith(f"$x = 1$\\\\\n{gaps}$y = 2$\\\\\n\\end{{document}}")


def test_very_long_identifier():
    name = "v" + "x_{1}" * 20_000
    body = document(f"{name} = 2\n{name} =?\nalias w {name}\nw = 3 =?")
    assert body.count(name) == 3


def test_very_long_latex_identifier():
    name = "\\" + "a" * 100_000
    (first, second) = math_lines(document(f"{name} = 1\n{name} * 2 =?"))
    assert first == f"${name} = 1$\\\\"
    assert printed_value(second) == "2"


def test_very_long_unit_name_is_an_unknown_unit():
    unit = "k" * 100_000
    assert error(f"x = 1 {unit}") == f"Line 1: {unit} is not a variable or a valid unit"


@pytest.mark.parametrize("size", [MEGABYTE, 10 * MEGABYTE])
def test_very_long_latex_block(size):
    content = "\\textbf{x} " * (size // 12)
    body = document(f"'''{content}'''")
    assert content in body


def test_unclosed_latex_block_of_a_megabyte():
    content = "a" * MEGABYTE
    assert error(f"x = 1\n'''{content}") == f"Line 2: Invalid statement '''{content}"


# ---- magnitudes ----


@pytest.mark.parametrize(
    "expression, value",
    [
        ("2^1000000000000", "inf"),
        ("2^-1000000000000", "0"),
        ("(-2)^1000000000000", "inf"),
        ("10^400 - 10^400", "0"),
        ("10^400 / 0 - 10^400 / 0", "NaN"),
        ("0 * 10^400", "0"),
    ],
)
def test_powers_far_beyond_the_double_range(expression, value):
    (line,) = math_lines(document(f"{expression} =?"))
    assert printed_value(line) == value


@pytest.mark.parametrize(
    "text",
    [
        "(2 m)^1000000000000 =?",
        "(2 m)^-1000000000000 =?",
        "x = 1 m^128",
        "x = 1 m^-129",
        "x = 1 m^127 * 1 m",
        "x = 1 m^-128 / 1 m",
        "x = 2 s =? m^200",
    ],
)
def test_unit_exponents_outside_8_bits_are_an_ordinary_error(text):
    assert error(text) == "Line 1: Unit exponent out of range -128..127"


@pytest.mark.parametrize("exponent", [127, -128])
def test_unit_exponents_at_the_8_bit_limits_work(exponent):
    (line,) = math_lines(document(f"1 m^{exponent} =?"))
    assert printed_value(line).startswith("1 ")


# Powers of ten carried in exp10 that reach the limits of a signed 64-bit integer.
EXTREME_POWERS = """!scientific
x = 10^1000000000000000000 =?
y = x * x * x * x * x * x * x * x * x * x * x * x =?
z = 1 / y =?
w = y * z =?
v = y - y =?
u = y / y =?
t = z * z =?
s = y * 1 km =? m
r = z * 1 m =? km
q = 10^9223372036854775807 * 10 =?
p = 10^-9223372036854775808 / 10 =?
o = y km =?
"""


def test_powers_of_ten_at_the_64_bit_limits():
    lines = math_lines(document(EXTREME_POWERS))
    assert len(lines) == 12
    values = [printed_value(line) for line in lines]
    assert values[0] == "1\\times 10^{1000000000000000000}"
    assert values[1] == "1\\times 10^{9223372036854775807}"  # saturated
    assert values[2] == "1\\times 10^{-9223372036854775807}"
    assert values[3] == "1"
    assert values[5] == "1"
    # Without scientific notation the same values are written as inf and 0.
    plain = math_lines(document(EXTREME_POWERS.replace("!scientific\n", "")))
    assert printed_value(plain[1]) == "inf"
    assert printed_value(plain[2]) == "0"


@pytest.mark.parametrize(
    "value, pattern",
    [
        ("1.5", r"1\.5(0){999}"),
        ("10^300", r"1(\d){300}"),
        ("10^-300", r"0\.0{299}(1\d{700}|09\d{699})"),
        ("10^308", r"1(\d){308}|9(\d){307}"),
        ("10^-1000", r"0"),
        ("10^309", r"inf"),
        ("-1 / 3", r"-0\.3{15}\d{985}"),
        ("2^-1074", r"0\.(0){323}4(\d){676}"),
    ],
)
def test_a_thousand_digits_of_huge_and_tiny_values(value, pattern):
    (line,) = math_lines(document(f"!digits 1000\nx = {value} =?"))
    assert re.fullmatch(pattern, printed_value(line)), printed_value(line)[:80]


@pytest.mark.parametrize("count", ["1001", "-1", "18446744073709551616", "99999999999999999999999"])
def test_digit_counts_outside_0_to_1000_are_refused(count):
    message = error(f"x = 1\n!digits {count}")
    assert message == f"Line 2: Digit count {count} is out of range 0..1000"


# ---- every function on NaN, infinities and huge arguments ----

libm = ctypes.CDLL(ctypes.util.find_library("m"))
ONE_ARGUMENT = ["ceil", "floor", "round", "sqrt", "cbrt", "exp", "log2", "log10", "sin", "cos",
                "tan", "asin", "acos", "atan", "sinh", "cosh", "tanh", "asinh", "acosh", "atanh"]
C_NAMES = {"ln": "log", "abs": "fabs"}


def c_function(name, arity):
    function = getattr(libm, C_NAMES.get(name, name))
    function.restype = ctypes.c_double
    function.argtypes = [ctypes.c_double] * arity
    return function


ARGUMENTS = {
    "0/0": math.nan, "1/0": math.inf, "-1/0": -math.inf, "10^300": 1e300, "0 - 10^300": -1e300,
    "10^-300": 1e-300, "0": 0.0, "10^400": math.inf, "0 - 10^400": -math.inf, "10^-400": 0.0,
}


def check_printed(value_text, expected, name, argument):
    if math.isnan(expected):
        assert value_text == "NaN"
    elif math.isinf(expected):
        assert value_text == ("inf" if expected > 0 else "-inf")
    else:
        got = float(value_text)
        if name in ("sin", "cos", "tan") and abs(argument) > 1e6:
            assert math.isfinite(got)  # the result depends on the argument's last bits
        else:
            assert math.isclose(got, expected, rel_tol=1e-9, abs_tol=1e-12)


@pytest.mark.parametrize("name", ONE_ARGUMENT + ["ln", "abs"])
def test_functions_on_extreme_arguments(name):
    function = c_function(name, 1)
    statements = [f"{name}({argument}) =?" for argument in ARGUMENTS]
    lines = math_lines(document("!digits 12\n" + "\n".join(statements)))
    assert len(lines) == len(ARGUMENTS)
    for line, argument in zip(lines, ARGUMENTS.values()):
        check_printed(printed_value(line), function(argument), name, argument)


def test_two_argument_and_list_functions_on_extreme_arguments():
    atan2 = c_function("atan2", 2)
    pairs = [(a, b) for a in ARGUMENTS for b in ARGUMENTS]
    text = "!digits 12\n" + "\n".join(f"atan2({a}, {b}) =?" for a, b in pairs)
    lines = math_lines(document(text))
    assert len(lines) == len(pairs)
    for line, (a, b) in zip(lines, pairs):
        check_printed(printed_value(line), atan2(ARGUMENTS[a], ARGUMENTS[b]), "atan2", 0)

    def fold(values, better):
        numbers = [v for v in values if not math.isnan(v)]
        return better(numbers) if numbers else math.nan

    for name, better in (("min", min), ("max", max)):
        lists = [list(ARGUMENTS)] + [[a, "1"] for a in ARGUMENTS] + [["0/0", "0/0"]]
        text = "!digits 12\n" + "\n".join(f"{name}({', '.join(args)}) =?" for args in lists)
        for line, args in zip(math_lines(document(text)), lists):
            expected = fold([ARGUMENTS.get(a, 1.0) for a in args], better)
            check_printed(printed_value(line), expected, name, 0)


@pytest.mark.parametrize("name", ["abs", "ceil", "floor", "round", "min", "max"])
@pytest.mark.parametrize("argument", ["0/0 m", "10^400 m", "-1 * 10^400 km", "10^300 g"])
def test_unit_keeping_functions_on_extreme_quantities(name, argument):
    (line,) = math_lines(document(f"{name}({argument}) =?"))
    assert re.fullmatch(r"(-?inf|NaN|\d+) \\ \\mathrm\{.*\}", printed_value(line))


# ---- line ends and unusual characters ----

LINES = ["x = 2 m", "", "y = x * 3 =? km", "'''\\section{A}'''", "alias z y", "z + 1 m =?"]


@pytest.mark.parametrize("end", ["\r\n", "\r"])
def test_crlf_and_lone_cr_documents_equal_lf_documents(end):
    lf = "\n".join(LINES)
    assert document(end.join(LINES)) == document(lf)
    # A final CR LF is a line end like a final LF; a final lone CR merges with the line feed
    # the module appends into one CR LF.
    assert document(end.join(LINES) + end) == document(lf + ("\n" if end == "\r\n" else ""))


@pytest.mark.parametrize("end, line", [("\n", 3), ("\r\n", 3), ("\r", 1)])
def test_error_lines_count_lf_and_crlf_but_not_lone_cr(end, line):
    assert error(end.join(["x = 1", "y = 2", "z = q"])) == (
        f"Line {line}: q is not a variable or a valid unit")


@pytest.mark.parametrize(
    "text, expected",
    [
        ("\x00", "Line 1: Invalid statement \x00"),
        ("x = 1\n\x00\x00", "Line 2: Invalid statement \x00\x00"),
        ("a\x00b = 1", "Line 1: Invalid statement a\x00b = 1"),
        ("x = 1\x00", "Parsing Error near line 1 column 6\n"),
        ("x = 1 m\x00", "Parsing Error near line 1 column 8\n"),
    ],
)
def test_nul_characters_are_ordinary_text(text, expected):
    assert error(text) == expected


def test_nul_characters_pass_through_latex_blocks():
    assert "a\x00b\x00" in document("'''a\x00b\x00'''")


@pytest.mark.parametrize(
    "text",
    ["\ufeffx = 1", "x = 1\u2028y = 2", "x = 1\x85", "\U0001F600 = 1", "x = 1 \u00b5s",
     "x = 1 \u2126", "'''\U0010FFFF'''", "\x1b[31m", "\x7f" * 1000, "\u200b" * 10_000],
    ids=["bom", "line_separator", "next_line", "emoji", "micro", "ohm", "max_code_point",
         "escape", "delete", "zero_width"],
)
def test_unusual_characters_keep_the_contract(text):
    timed(text)


def test_lone_surrogates_raise_the_interpreters_encoding_error():
    with pytest.raises(UnicodeEncodeError):
        run_mensurator("x = 1\ud800")


# ---- threads ----

THREADED = [
    "v = 3 m / 2 s\nv =? km/hour",
    "x = " + " + ".join(["1"] * 20_000) + " =?",
    "x = 10^1000000000000000000\n!scientific\nx * x =?",
    "(2 m)^1000000000000 =?",
    "(" * 100_000,
    "!digits 1000\nx = 1 / 3 =?",
    "x = 1\n" * 20_000 + "x =?",
    "hello world",
    "'''" + "y" * 100_000 + "'''",
]


def test_calls_from_several_threads_match_single_threaded_results():
    expected = [outcome(text) for text in THREADED]
    work = THREADED * 6
    with ThreadPoolExecutor(max_workers=6) as pool:
        results = list(pool.map(outcome, work))
    assert results == expected * 6


# ---- linear time and memory ----

MEASURE = """
import resource, sys, time
from mensurator_py import run_mensurator
text = sys.stdin.read()
start = time.perf_counter()
try:
    run_mensurator(text)
except Exception:
    pass
print(time.perf_counter() - start, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss)
"""


def cost(text):
    """Seconds and peak resident size (KiB) of one run in a fresh interpreter."""
    done = subprocess.run([sys.executable, "-c", MEASURE], input=text, capture_output=True,
                          text=True, timeout=120, check=True)
    seconds, kib = done.stdout.split()
    return float(seconds), int(kib)


@pytest.mark.parametrize(
    "make",
    [
        lambda n: "x = " + "+".join(["1"] * n) + " =?",
        lambda n: "x = 1 m\n" * n + "x =?",
        lambda n: "x = 1 " + "m*" * n + "m",
        lambda n: "x = " + "+".join(["(" * 50 + "1 m" + ")" * 50] * (n // 50)) + " =?",
        lambda n: "alias a b\n" * n,
        lambda n: "'''" + "ab" * n,
    ],
    ids=["sum", "statements", "unit_chain", "groups", "aliases", "unclosed_block"],
)
def test_time_and_memory_grow_linearly(make):
    _, baseline_kib = cost("x = 1")
    small, large = make(100_000), make(400_000)
    small_seconds, _ = cost(small)
    large_seconds, large_kib = cost(large)
    # Four times the input: a quadratic cost would be sixteen times.
    assert large_seconds < 10 * small_seconds + 0.3
    # The syntax trees take a few hundred bytes per input byte at worst (a long chain of short
    # operands); a cost that grows faster than the input exceeds this.
    assert (large_kib - baseline_kib) * 1024 < 400 * len(large.encode()) + 32 * 1024 * 1024


# ---- the fuzzer's seed corpus and the inputs it once crashed on ----


@pytest.mark.parametrize(
    "path",
    sorted(p for folder in ("corpus", "regressions") for p in (FUZZ / folder).glob("*")
           if p.suffix != ".md"),
    ids=lambda p: f"{p.parent.name}/{p.name}",
)
def test_fuzz_inputs_keep_the_contract(path):
    timed(path.read_bytes().decode("utf-8", errors="replace"))
