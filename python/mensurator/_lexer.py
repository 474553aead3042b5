"""A Pygments lexer for calculation documents, so that Sphinx, MkDocs, nbconvert and the live
editor highlight them.

It follows the grammar line by line: a definition's name, the letters after a number or a name
(always a unit annotation), the unit hint after ``=?``, function calls, directives, ``alias``
and ``check`` at the start of a line, and LaTeX blocks. Like the grammar it reserves no word:
``alias = 3`` is a definition of a variable named alias.
"""

from __future__ import annotations

from typing import Any, ClassVar

from pygments.lexer import RegexLexer, default, include, words
from pygments.lexer import bygroups as untyped_bygroups
from pygments.token import (
    Keyword,
    Name,
    Number,
    Operator,
    Punctuation,
    String,
    Text,
    Whitespace,
    _TokenType,
)

# Names as the grammar reads them: a letter or a backslash, then letters, digits, _, { and }.
IDENT = r"(?:[A-Za-z]|\\)[A-Za-z0-9_{}]*"
BLANKS = r"[ \t]*"
# Directives of the language and of its documented extensions, by the word after the "!".
DIRECTIVES = ("digits", "scientific", "sigfigs", "units", "steps", "symbols")
# Words that stand after a directive's name (``!units extended``).
DIRECTIVE_WORDS = ("extended",)
CONSTANTS = ("pi", "e")

# What the token types mean here; the editor and the language server read these.
UNIT = Keyword.Type
DEFINED_NAME = Name.Variable
DIRECTIVE = Keyword.Pseudo
LATEX = String.Other
# The kinds of a name that is not a function's: a variable, a constant or a defined name.
NAMES = frozenset({Name, Name.Builtin, DEFINED_NAME})


def bygroups(*kinds: _TokenType) -> Any:
    return untyped_bygroups(*kinds)  # type: ignore[no-untyped-call]


class MensuratorLexer(RegexLexer):
    name = "Mensurator"
    aliases: ClassVar[list[str]] = ["mensurator", "mens"]
    filenames: ClassVar[list[str]] = ["*.mens"]
    mimetypes: ClassVar[list[str]] = ["text/x-mensurator"]

    tokens: ClassVar[dict[str, Any]] = {
        "root": [
            (r"\n", Whitespace),
            (r"[ \t]+", Whitespace),
            # A block runs to the next ''' on any line; without one the line is invalid.
            (r"'''[\s\S]*?'''", LATEX),
            (r"'''", Text),
            (
                rf"(!)({BLANKS})({'|'.join(DIRECTIVES)})",
                bygroups(DIRECTIVE, Whitespace, DIRECTIVE),
                "directive",
            ),
            (
                rf"(alias)({BLANKS})({IDENT})([ \t]+)({IDENT})(?={BLANKS}(?:\n|\Z))",
                bygroups(Keyword, Whitespace, Name, Whitespace, DEFINED_NAME),
            ),
            (rf"(check)\b(?!{BLANKS}=)", Keyword, "expression"),
            (
                rf"({IDENT})({BLANKS})(=)(?!{BLANKS}\?)",
                bygroups(DEFINED_NAME, Whitespace, Operator),
                "expression",
            ),
            default("expression"),
        ],
        "directive": [
            (r"[ \t]+", Whitespace),
            (r"-?[0-9]+", Number.Integer),
            (words(DIRECTIVE_WORDS, suffix=r"\b"), Keyword.Constant),
            (r"\n", Whitespace, "#pop"),
            (r"[^\n]", Text),
        ],
        "line end": [
            (r"\n", Whitespace, "#pop"),
        ],
        "expression": [
            include("line end"),
            (r"[ \t]+", Whitespace),
            (rf"(=)({BLANKS})(\?)", bygroups(Operator, Whitespace, Operator), "hint"),
            (rf"({IDENT})({BLANKS})(?=\()", bygroups(Name.Function, Whitespace)),
            (r"-?[0-9]+(?:\.[0-9]+)?", Number, "annotation"),
            (words(CONSTANTS, suffix=r"\b(?![{}_])"), Name.Builtin, "annotation"),
            (IDENT, Name, "annotation"),
            (r"<=|>=|[-+*/^<>=]", Operator),
            (r"[(),]", Punctuation),
            (r"[^\n]", Text),
        ],
        # After a number or a name: letters are a unit, never an implicit product.
        "annotation": [
            (r"[ \t]+", Whitespace),
            (r"[A-Za-z]+", UNIT, ("#pop", "unit chain")),
            (rf"(1)({BLANKS})([*/])", bygroups(Number.Integer, Whitespace, Operator)),
            default("#pop"),
        ],
        # After a unit name: more unit names joined by * and /, and integer powers.
        "unit chain": [
            (r"[ \t]+", Whitespace),
            (rf"(\^)({BLANKS})(-?[0-9]+)", bygroups(Operator, Whitespace, Number.Integer)),
            (
                rf"([*/])({BLANKS})(?=[A-Za-z(])",
                bygroups(Operator, Whitespace),
                ("#pop", "annotation"),
            ),
            default("#pop"),
        ],
        # The unit to print in, after =?.
        "hint": [
            (r"\n", Whitespace, "#pop:2"),
            (r"[ \t]+", Whitespace),
            (r"[A-Za-z]+", UNIT),
            (r"-?[0-9]+", Number.Integer),
            (r"[*/^]", Operator),
            (r"[()]", Punctuation),
            (r"[^\n]", Text),
        ],
    }
