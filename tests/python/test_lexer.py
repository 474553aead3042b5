"""The Pygments lexer: registered under its names, loses no text, and reads units, functions
and definitions where the engine does."""

from __future__ import annotations

from conftest import EXAMPLES
from hypothesis import given
from hypothesis import strategies as st
from mensurator._lexer import DEFINED_NAME, DIRECTIVE, LATEX, UNIT, MensuratorLexer
from mensurator._lsp.catalog import function_named, unit_value
from pygments.lexers import get_lexer_by_name, get_lexer_for_filename
from pygments.token import Error, Name, Number, Operator

LANGUAGE_TEXT = st.text(alphabet="ab xkmsN1209.=?+-*/^()!,'\\_{}\t\n\r<>é", max_size=200)


def kinds(text: str) -> list[tuple[object, str]]:
    return [(kind, value) for kind, value in MensuratorLexer().get_tokens(text) if value.strip()]


def test_registered_for_pygments_users() -> None:
    assert isinstance(get_lexer_by_name("mensurator"), MensuratorLexer)
    assert isinstance(get_lexer_for_filename("beam.mens"), MensuratorLexer)


@given(LANGUAGE_TEXT)
def test_tokens_cover_the_text_exactly(text: str) -> None:
    lexer = MensuratorLexer(stripnl=False, ensurenl=False)
    offset = 0
    for start, _, value in lexer.get_tokens_unprocessed(text):
        assert start == offset
        offset += len(value)
    assert offset == len(text)


def test_examples_read_as_the_engine_reads_them() -> None:
    for path in sorted(EXAMPLES.glob("*.txt")):
        text = path.read_text()
        # A unit is read under the example's own unit table.
        directives = tuple(line for line in text.splitlines() if line.startswith("!units"))
        for kind, value in kinds(text):
            assert kind is not Error, (path.name, value)
            if kind is UNIT:
                assert unit_value(value, directives) is not None, (path.name, value)
            if kind is Name.Function:
                assert function_named(value) is not None, (path.name, value)


def test_statement_forms() -> None:
    assert kinds("v = 3 m / 2 s =? km/hour\n") == [
        (DEFINED_NAME, "v"),
        (Operator, "="),
        (Number, "3"),
        (UNIT, "m"),
        (Operator, "/"),
        (Number, "2"),
        (UNIT, "s"),
        (Operator, "="),
        (Operator, "?"),
        (UNIT, "km"),
        (Operator, "/"),
        (UNIT, "hour"),
    ]
    # Letters after a name are a unit too; a unit continues over * only into more letters.
    assert (UNIT, "km") in kinds("x km =?\n")
    assert kinds("y = 2 m * 3\n")[4] == (Operator, "*")
    # No word is reserved: alias and check are names where a definition is written.
    assert kinds("alias = 3\n")[0] == (DEFINED_NAME, "alias")
    assert kinds("check = 3\n")[0] == (DEFINED_NAME, "check")
    assert kinds("check a <= 2 m\n")[0][1] == "check"
    assert kinds("alias v velocity\n")[2] == (DEFINED_NAME, "velocity")
    assert [kind for kind, _ in kinds("!units extended\n! digits 4\n")][:2] == [DIRECTIVE] * 2
    assert kinds("'''a\n\\section{b}'''x = 1\n")[0] == (LATEX, "'''a\n\\section{b}'''")
    # An unclosed block is no block: the lines after it are statements.
    unclosed = kinds("'''open\nx = 1\n")
    assert LATEX not in [kind for kind, _ in unclosed]
    assert (DEFINED_NAME, "x") in unclosed
