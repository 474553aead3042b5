"""Lines and columns of an outline (characters, from 0) as the client's positions, whose
columns count UTF-16 units unless the client asked for another encoding."""

from __future__ import annotations

from typing import Callable

from lsprotocol import types

from .outline import Outline

# The client's position of a (line, column) of the given lines.
ToClient = Callable[[list[str], int, int], types.Position]


class Places:
    """Converts (line, character column) to the client's positions for one outline."""

    def __init__(self, outline: Outline, to_client: ToClient) -> None:
        self._outline = outline
        self._to_client = to_client

    def position(self, line: int, column: int) -> types.Position:
        return self._to_client(self._outline.lines, line, column)

    def range(self, line: int, start: int, end: int) -> types.Range:
        return types.Range(self.position(line, start), self.position(line, end))

    def whole_line(self, line: int) -> types.Range:
        return self.range(line, 0, len(self._outline.lines[line]))
