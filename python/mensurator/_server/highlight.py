"""The editor's text highlighted by the document lexer: for each line, its pieces with the
short Pygments class of each (``kt`` for a unit, ``nv`` for a defined name, ...), which the
editor's style sheet colours. The pieces of a line join to the line exactly.

A keystroke changes one line, so the text is lexed in segments that the lexer reads the same
alone as within the document, and each segment's pieces are kept by its text: a render lexes
only the lines that changed. A segment is one line, or, where a LaTeX block runs on over line
ends, the lines up to the one that closes it. At every line end outside a block the lexer is
back in its first state, which is what makes a segment lex alone as it does in place.
"""

from __future__ import annotations

from functools import lru_cache

from pygments.token import STANDARD_TYPES, Text, Whitespace, _TokenType

from .._lexer import MensuratorLexer

Piece = tuple[str, str]
Line = tuple[Piece, ...]

BLOCK_MARK = "'''"
# Lines kept: a few documents' worth, each line costing its text and its pieces.
CACHED_SEGMENTS = 16384
# A segment whose blocks still run on after this many extensions is lexed to the end of the
# text instead, so that a chain of open blocks costs a bounded number of passes.
MAX_EXTENSIONS = 8


def css_class(kind: _TokenType) -> str:
    """The class of the kind, or of the nearest kind above it that has one; none for blanks."""
    found: _TokenType | None = kind
    while found is not None and found not in STANDARD_TYPES:
        found = found.parent
    return "" if found is None or found is Whitespace else STANDARD_TYPES[found]


def lexed_lines(text: str) -> tuple[tuple[Line, ...], bool]:
    """The pieces of each line of ``text`` lexed alone, and whether a block opened in it is
    left without its closing marks (the lexer then reads the marks as plain text, where in a
    longer text they might open a block)."""
    lexer = MensuratorLexer(stripnl=False, ensurenl=False)
    lines: list[list[Piece]] = [[]]
    unclosed = False
    for _, kind, value in lexer.get_tokens_unprocessed(text):
        unclosed = unclosed or (kind is Text and value == BLOCK_MARK)
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
    return tuple(tuple(line) for line in lines), unclosed


@lru_cache(maxsize=CACHED_SEGMENTS)
def closed_segment_lines(segment: str) -> tuple[Line, ...] | None:
    """The lines of a segment lexed alone; None when a block opened in it runs on, so that the
    text after it decides how the segment reads."""
    lines, unclosed = lexed_lines(segment)
    return None if unclosed else lines


def line_end(text: str, position: int) -> int:
    """Where the line holding ``position`` ends, its line feed included."""
    found = text.find("\n", position)
    return len(text) if found < 0 else found + 1


def highlighted_lines(text: str) -> list[Line]:
    lines: list[Line] = []
    start = 0
    while start < len(text):
        end = line_end(text, start)
        segment = closed_segment_lines(text[start:end])
        extensions = 0
        # A block left open takes in the lines up to the next closing marks.
        while segment is None and end < len(text) and extensions < MAX_EXTENSIONS:
            closing = text.find(BLOCK_MARK, end)
            if closing < 0:
                break  # nothing closes it: the marks read as text here as in the whole text
            end = line_end(text, closing)
            segment = closed_segment_lines(text[start:end])
            extensions += 1
        if segment is None:
            if extensions == MAX_EXTENSIONS:
                end = len(text)
            segment = lexed_lines(text[start:end])[0]
        # A segment that ends at a line end lexes an empty line after it, which the next
        # segment begins.
        lines.extend(segment[:-1] if text[end - 1] == "\n" else segment)
        start = end
    if not text or text.endswith("\n"):
        lines.append(())
    return lines
