"""Property tests at the Python boundary: documents built from the language's pieces, valid and
broken, must always give a well-formed LaTeX document or a MensuratorException naming the line,
the same result on every call, and nothing else."""

import re

from conftest import check_contract, outcome
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

# Bounded so that the whole file runs in well under a minute.
BOUNDED = settings(
    max_examples=150,
    deadline=2000,
    suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large],
)


# ---- pieces of the language ----

NAMES = st.sampled_from(["x", "y", "v", "t_1", "\\alpha", "\\beta_{2}", "E", "e", "pi", "alias"])
SIMPLE_UNITS = ["m", "km", "cm", "g", "kg", "s", "ms", "min", "hour", "A", "K", "mol", "J", "N",
                "W", "V", "Pa", "L", "deg", "ohm", "Hz", "foo"]
UNITS = st.sampled_from(SIMPLE_UNITS)
FUNCTIONS = ["abs", "ceil", "floor", "round", "min", "max", "sqrt", "cbrt", "exp", "ln", "log2",
             "log10", "sin", "cos", "tan", "asin", "acos", "atan", "atan2", "sinh", "cosh",
             "tanh", "asinh", "acosh", "atanh", "nosuch"]
OPERATORS = st.sampled_from(["+", "-", "*", "/", "^"])
BLANKS = st.sampled_from(["", " ", "  ", "\t"])

numbers = st.one_of(
    st.integers(-10**6, 10**6).map(str),
    st.decimals(-10**6, 10**6, places=3, allow_nan=False, allow_infinity=False).map(str),
    st.sampled_from(["0", "0.0", "1", "10", "1000000000000", "0.000000001",
                     "9" * 400, "0." + "0" * 400 + "1"]),
)


def unit_expressions():
    leaf = st.one_of(
        UNITS,
        st.builds(lambda u, n: f"{u}^{n}", UNITS, st.integers(-4, 4)),
        st.builds(lambda u, n: f"{u}^{n}", UNITS, st.sampled_from([127, 128, -128, -129, 10**30])),
        st.builds(lambda u: f"1/{u}", UNITS),
    )
    return st.recursive(
        leaf,
        lambda inner: st.one_of(
            st.builds(lambda a, op, b: f"{a}{op}{b}", inner, st.sampled_from(["*", "/", " * "]),
                      inner),
            inner.map(lambda u: f"({u})"),
        ),
        max_leaves=6,
    )


def expressions(names):
    operand = st.one_of(
        numbers,
        names,
        st.builds(lambda n, u: f"{n} {u}", numbers, unit_expressions()),
    )

    def extend(inner):
        return st.one_of(
            st.builds(lambda a, b, op, c, d: f"{a}{b}{op}{c}{d}", inner, BLANKS, OPERATORS,
                      BLANKS, inner),
            inner.map(lambda e: f"({e})"),
            st.builds(lambda f, args: f"{f}({', '.join(args)})", st.sampled_from(FUNCTIONS),
                      st.lists(inner, min_size=1, max_size=3)),
        )

    return st.recursive(operand, extend, max_leaves=10)


def statements(names):
    expression = expressions(names)
    hint = st.one_of(st.just(""), unit_expressions().map(lambda u: " " + u))
    return st.one_of(
        st.builds(lambda n, e: f"{n} = {e}", names, expression),
        st.builds(lambda e, h: f"{e} =?{h}", expression, hint),
        st.builds(lambda n, e, h: f"{n} = {e} = ?{h}", names, expression, hint),
        st.builds(lambda a, b: f"alias {a} {b}", names, names),
        st.builds(lambda n: f"!digits {n}", st.integers(-3, 1003)),
        st.just("!scientific"),
        st.just(""),
        st.just("  \t"),
        st.builds(lambda body: f"'''{body}'''", st.text(alphabet="abc \\{}$\n", max_size=20)),
        st.just("'''"),
        st.text(max_size=20).filter(lambda s: not any("\ud800" <= c <= "\udfff" for c in s)),
    )


LINE_ENDS = st.sampled_from(["\n", "\r\n", "\r"])


@st.composite
def documents(draw, lines):
    body = draw(st.lists(lines, min_size=1, max_size=8))
    ends = draw(st.lists(LINE_ENDS, min_size=len(body), max_size=len(body)))
    text = "".join(line + end for line, end in zip(body, ends))
    if draw(st.booleans()):
        text = text[: -len(ends[-1])]  # no final line end
    return text


@st.composite
def mutated(draw, texts):
    """A document with a few characters inserted, deleted or replaced."""
    text = draw(texts)
    pieces = st.sampled_from(list("=?()+-*/^!,'\\_{} \t\r\n\x000123456789.emsk") +
                             ["'''", "=?", "!digits", "alias", "\u2126", "\u00b5", "\U0001F600"])
    for _ in range(draw(st.integers(1, 4))):
        at = draw(st.integers(0, len(text)))
        action = draw(st.sampled_from(["insert", "delete", "replace"]))
        if action == "insert":
            text = text[:at] + draw(pieces) + text[at:]
        elif action == "delete":
            text = text[:at] + text[at + 1:]
        else:
            text = text[:at] + draw(pieces) + text[at + 1:]
    return text


grammar_documents = documents(statements(NAMES))


@BOUNDED
@given(grammar_documents)
def test_documents_from_the_grammar_keep_the_contract(text):
    check_contract(text)


@BOUNDED
@given(mutated(grammar_documents))
def test_broken_documents_keep_the_contract(text):
    check_contract(text)


@settings(max_examples=150, deadline=2000)
@given(st.text(alphabet=st.characters(blacklist_categories=["Cs"]), max_size=200))
def test_arbitrary_text_keeps_the_contract(text):
    check_contract(text)


# ---- documents that must succeed ----

# Dimensionless arithmetic over numbers and the built-in constants never fails: overflow,
# division by zero and domain errors give infinities and NaN, which are printed.
PLAIN_FUNCTIONS = [f for f in FUNCTIONS if f not in ("atan2", "nosuch", "min", "max")]


def plain_expressions():
    operand = st.one_of(numbers, st.sampled_from(["pi", "e"]))

    def extend(inner):
        return st.one_of(
            st.builds(lambda a, op, b: f"{a} {op} {b}", inner, OPERATORS, inner),
            inner.map(lambda e: f"({e})"),
            st.builds(lambda f, a: f"{f}({a})", st.sampled_from(PLAIN_FUNCTIONS), inner),
            st.builds(lambda a, b: f"atan2({a}, {b})", inner, inner),
            st.builds(lambda f, args: f"{f}({', '.join(args)})", st.sampled_from(["min", "max"]),
                      st.lists(inner, min_size=1, max_size=4)),
        )

    return st.recursive(operand, extend, max_leaves=12)


VALUE_TEXT = re.compile(r"-?(\d+(\.\d+)?|inf)|NaN")


@st.composite
def plain_documents(draw):
    """Lines of definitions and prints, and the number of math lines they must produce."""
    lines, printed = [], 0
    for index in range(draw(st.integers(1, 6))):
        expression = draw(plain_expressions())
        form = draw(st.sampled_from(["define", "print", "define_print", "digits", "scientific"]))
        name = f"q_{index}"
        if form == "define":
            lines.append(f"{name} = {expression}")
        elif form == "print":
            lines.append(f"{expression} =?")
        elif form == "define_print":
            lines.append(f"{name} = {expression} =?")
        elif form == "digits":
            lines.append(f"!digits {draw(st.integers(0, 12))}")
            continue
        else:
            lines.append("!scientific")
            continue
        printed += 1
    return "\n".join(lines), printed


@BOUNDED
@given(plain_documents())
def test_dimensionless_arithmetic_always_renders(case):
    text, printed = case
    kind, body = check_contract(text)
    assert kind == "document", body
    math_lines = [line for line in body.split("\n") if line.startswith("$")]
    assert len(math_lines) == printed
    for line in math_lines:
        assert line.endswith("$\\\\")
    # Without scientific notation a printed value is a plain decimal, an infinity or NaN.
    if "!scientific" not in text:
        for line in math_lines:
            if line.count(" = ") >= 2 or not re.match(r"\$q_\d+ = ", line):
                value = line[:-3].rsplit(" = ", 1)[1]
                assert VALUE_TEXT.fullmatch(value), line


@BOUNDED
@given(grammar_documents, LINE_ENDS)
def test_line_end_style_does_not_change_the_document(text, end):
    """The same lines with LF, CR LF or CR line ends give the same document."""
    lines = re.split(r"\r\n|\r|\n", text)
    # A final lone CR would merge with the line feed the module appends into one CR LF.
    while lines and not lines[-1]:
        lines.pop()
    if any("'''" in line for line in lines):
        return  # a latex block keeps its line ends verbatim
    lf = outcome("\n".join(lines))
    other = outcome(end.join(lines))
    if lf[0] == "document":
        assert other == lf
    elif end == "\r\n":
        assert other == lf  # CR LF breaks lines like LF, so even the message is the same
    else:
        assert other[0] == "error"
