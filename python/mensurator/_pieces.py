r"""The pieces the engine writes a document body in, for every other layout of it.

Each definition and result is one math line, ``$...$\\`` and a line feed (the engine's math
never holds a dollar sign or a line feed); a line gap is ``\\``, or ``\leavevmode\\`` where
LaTeX needs it; everything else is the verbatim text of LaTeX blocks. The display variant, the
notebook text and the HTML report all read a body through ``pieces``.
"""

from __future__ import annotations

import re
from collections.abc import Iterator
from dataclasses import dataclass
from typing import Literal

PieceKind = Literal["math", "gap", "block"]
MATH: PieceKind = "math"
GAP: PieceKind = "gap"
BLOCK: PieceKind = "block"

_TOKEN = re.compile(r"\$(?P<math>[^$\n]*)\$\\\\\n|(?P<gap>(?:\\leavevmode)?\\\\)")


@dataclass(frozen=True)
class Piece:
    """One piece: its kind, its ``source`` as written, and for a math line the math inside."""

    kind: PieceKind
    source: str

    @property
    def math(self) -> str:
        """The LaTeX between the dollar signs of a math line."""
        return self.source[1 : -len("$\\\\\n")]


def pieces(text: str) -> Iterator[Piece]:
    """The pieces of ``text`` in order; their sources joined give ``text`` back."""
    position = 0
    for match in _TOKEN.finditer(text):
        if match.start() > position:
            yield Piece(BLOCK, text[position : match.start()])
        yield Piece(MATH if match.group("math") is not None else GAP, match.group())
        position = match.end()
    if position < len(text):
        yield Piece(BLOCK, text[position:])
