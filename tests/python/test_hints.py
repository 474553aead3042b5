"""Hints that follow the author's intent: a unit that is not built in keeps its size, a variable
written after a number is not taken for a misspelt unit, and the common syntax slips (blanks
in an alias, exponent notation, a unary minus, brackets and blocks left open) are named. Each
hint's advice, applied, must make the document render."""

import mensurator
import pytest
from mensurator import DocumentError
from mensurator._hints import NOT_BUILT_IN


def failure(text):
    with pytest.raises(DocumentError) as caught:
        mensurator.render(text)
    return caught.value


def test_a_unit_that_is_not_built_in_keeps_its_size():
    error = failure("L = 12 ft")
    assert error.hints == (
        "ft (foot) is not built in: 1 ft = 0.3048 m",
        "`ft` is in the extended table: add `!units extended`",
    )
    # Not femtotesla, the look-alike with a case change, fifteen orders of magnitude away.
    assert not any("fT" in hint for hint in error.hints)


@pytest.mark.parametrize("name", sorted(NOT_BUILT_IN))
def test_every_value_given_for_a_unit_that_is_not_built_in_renders(name):
    value = NOT_BUILT_IN[name][1]
    hints = failure(f"x = 2 {name}").hints
    assert hints[0] == f"{name} ({NOT_BUILT_IN[name][0]}) is not built in: 1 {name} = {value}"
    mensurator.render(f"x = 2 * {value}")
    # Every such unit but the plural lbs and the long inch is in the extended table, and the
    # table's hint is right: the document renders with the directive.
    if len(hints) > 1:
        assert hints[1] == f"`{name}` is in the extended table: add `!units extended`"
        mensurator.render(f"!units extended\nx = 2 {name}")
    assert (len(hints) > 1) == (name not in ("lbs", "inch"))


def test_a_variable_after_a_number_is_explained_not_taken_for_a_unit():
    error = failure("a = 3 m\ny = 2 a")
    assert len(error.hints) == 1
    assert "a is a variable, but a name after a number is read as a unit" in error.hints[0]
    assert "A" not in error.hints[0].split(":")[-1]
    mensurator.render("a = 3 m\ny = 2 * a")
    # Defined only later, or only printed: still an unknown unit, and A (ampere) is offered.
    assert failure("y = 2 a\na = 3 m").hints == ("did you mean A?",)
    assert failure("a =? \ny = 2 a").hints != failure("a = 1\ny = 2 a").hints


# A document, the hint it must get, and the document written as the hint says.
SYNTAX_SLIPS = [
    (
        "alias dz \\Delta z\ndz = 1 m",
        "an alias's display is one word without blanks: write \\Delta{}z",
        "alias dz \\Delta{}z\ndz = 1 m",
    ),
    (
        "x = 1.5e3",
        "numbers have no exponent notation: write 1.5e3 as 1.5 * 10^3",
        "x = 1.5 * 10^3",
    ),
    (
        "x = 3 * 2.5E-3 m",
        "numbers have no exponent notation: write 2.5E-3 as 2.5 * 10^-3",
        "x = 3 * 2.5 * 10^-3 m",
    ),
    (
        "a = 2\ny = -a",
        "a minus sign in front of a name or a bracket needs a number: write -1 * a for -a",
        "a = 2\ny = -1 * a",
    ),
    (
        "a = 2\ny = 3 * (-a + 1) =?",
        "a minus sign in front of a name or a bracket needs a number: write -1 * a for -a",
        "a = 2\ny = 3 * (-1 * a + 1) =?",
    ),
    ("a = 1 m\nb = (a + 2 m", "the ( at column 5 is never closed", "a = 1 m\nb = (a + 2 m)"),
    ("x = sin(2))", "the ) at column 11 closes no bracket", "x = sin(2)"),
    (
        "x = 1\n'''\\section{A}\nx = 2",
        "the LaTeX block opened on line 2 is never closed: end it with '''",
        "x = 1\n'''\\section{A}'''\nx = 2",
    ),
]


@pytest.mark.parametrize("text, hint, fixed", SYNTAX_SLIPS)
def test_common_syntax_slips_are_named(text, hint, fixed):
    assert hint in failure(text).hints
    mensurator.render(fixed)


@pytest.mark.parametrize(
    "text",
    [
        "x = 2 - a",  # a binary minus
        "x = -2 m + 1 s",  # a negative number
        "x = 2 e",  # the constant e after a number, no exponent notation
        "x = (1 + 2) * 3 Hz",  # balanced brackets
        "'''a\nb'''\nx = 1 Hz",  # the block is closed on a later line
    ],
)
def test_correct_syntax_gets_no_syntax_hint(text):
    hints = " ".join(failure(text).hints)
    for word in ("alias", "exponent", "minus", "bracket", "block"):
        assert word not in hints


def test_the_prefixes_the_hints_find_are_the_engines():
    from itertools import product
    from string import ascii_letters

    from mensurator._hints import is_prefix

    symbols = "y z a f p n m c d da h k M G T P E Z Y".split()
    words = (
        "yocto zepto atto femto pico nano micro milli centi deci deca hecto kilo mega giga tera "
        "peta exa zetta yotta".split()
    )
    heads = list(ascii_letters) + ["".join(pair) for pair in product(ascii_letters, repeat=2)]
    assert sorted(head for head in heads if is_prefix(head)) == sorted(symbols)
    assert all(is_prefix(word) for word in words)
    assert not any(is_prefix(word[:-1]) or is_prefix(word + "s") for word in words)
    # Hints still find the unit behind a prefix word or symbol.
    assert failure("x = 2 kiloHz").hints == ("did you mean kilohz?",)
    assert failure("x = 2 daHz").hints == ("did you mean dahz?",)


@pytest.mark.parametrize("prefix", list("mMpPyYzZ"))
@pytest.mark.parametrize("unit", ["ohm", "hz", "volt", "amps"])
def test_a_case_hint_keeps_the_prefix_as_written(prefix, unit):
    # m and M, p and P, ...: the same letter in the other case is a prefix of another power.
    spellings = failure(f"x = 2 {prefix}{unit.upper()}").hints[0]
    suggested = spellings.removeprefix("did you mean ").removesuffix("?").split(" or ")
    assert suggested and all(spelling.startswith(prefix) for spelling in suggested)
    for spelling in suggested:
        mensurator.render(f"x = 2 {spelling}")
