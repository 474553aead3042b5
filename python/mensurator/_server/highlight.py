"""The editor's text highlighted by the document lexer: for each line, its pieces with the
short Pygments class of each (``kt`` for a unit, ``nv`` for a defined name, ...), which the
editor's style sheet colours. The pieces of a line join to the line exactly."""

from __future__ import annotations

from pygments.token import STANDARD_TYPES, Whitespace, _TokenType

from .._lexer import MensuratorLexer

Piece = tuple[str, str]


def css_class(kind: _TokenType) -> str:
    """The class of the kind, or of the nearest kind above it that has one; none for blanks."""
    found: _TokenType | None = kind
    while found is not None and found not in STANDARD_TYPES:
        found = found.parent
    return "" if found is None or found is Whitespace else STANDARD_TYPES[found]


def highlighted_lines(text: str) -> list[list[Piece]]:
    lexer = MensuratorLexer(stripnl=False, ensurenl=False)
    lines: list[list[Piece]] = [[]]
    for _, kind, value in lexer.get_tokens_unprocessed(text):
        name = css_class(kind)
        for number, piece in enumerate(value.split("\n")):
            if number:
                lines.append([])
            if not piece:
                continue
            line = lines[-1]
            if line and line[-1][0] == name:
                line[-1] = (name, line[-1][1] + piece)
            else:
                line.append((name, piece))
    return lines
