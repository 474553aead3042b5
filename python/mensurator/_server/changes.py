"""What goes over the page's render socket as changes rather than whole: the page's text (its
lines), and the lists the page keeps of the answers (the highlighted lines and the lines of the
sheet's HTML), each as the change from what the socket carried before. A keystroke then sends
what it changed each way, not the whole document again."""

from __future__ import annotations

from collections.abc import Sequence
from typing import Any

# [start, removed, inserted]: the page removes `removed` items at `start` and puts `inserted`
# there, as JavaScript's splice does.
Change = list[Any]


def change_between(old: Sequence[Any], new: Sequence[Any]) -> Change:
    """The change that turns ``old`` into ``new``: the run between their common start and their
    common end, which for one edited line is that line."""
    start, limit = 0, min(len(old), len(new))
    # Kept highlighting is the very same object again: identity answers before equality.
    while start < limit and (old[start] is new[start] or old[start] == new[start]):
        start += 1
    old_end, new_end = len(old), len(new)
    while old_end > start and new_end > start:
        last_old, last_new = old[old_end - 1], new[new_end - 1]
        if last_old is not last_new and last_old != last_new:
            break
        old_end -= 1
        new_end -= 1
    return [start, old_end - start, list(new[start:new_end])]


class ShownList:
    """A list as the page has it from this socket's answers so far."""

    def __init__(self) -> None:
        self.items: Sequence[Any] = ()

    def change_to(self, new: Sequence[Any]) -> Change:
        """The change that makes the page's list ``new``."""
        change = change_between(self.items, new)
        self.items = new
        return change


class ShownAnswers:
    """What one socket has shown its page: answers go out as changes, in the order sent."""

    def __init__(self) -> None:
        self.highlight = ShownList()
        self.sheet = ShownList()

    def changes(self, answer: dict[str, Any]) -> dict[str, Any]:
        """``answer`` with its highlighting and its sheet as changes; a superseded or refused
        answer, and the sheet of a failed one, change nothing."""
        if "highlight" not in answer:
            return answer
        sent = {**answer, "highlight": self.highlight.change_to(answer["highlight"])}
        if "sheet" in answer:
            sent["sheet"] = self.sheet.change_to(answer["sheet"].split("\n"))
        return sent


class LinesError(ValueError):
    """A message's change of the text's lines does not fit the lines it was sent for."""


class ReceivedLines:
    """The text's lines as the page has sent them over one socket: a message carries the whole
    text (``text``), or the change of its lines since the last message (``lines``)."""

    def __init__(self) -> None:
        self.lines: list[str] = []

    def text_of(self, payload: dict[str, Any]) -> str:
        """The text the message stands for. Raises LinesError for a malformed change."""
        text = payload.get("text")
        if isinstance(text, str):
            self.lines = text.split("\n")
            return text
        change = payload.get("lines")
        if not (isinstance(change, list) and len(change) == 3):
            raise LinesError('a message carries "text" or "lines": [start, removed, inserted]')
        start, removed, inserted = change
        fits = (
            type(start) is int
            and type(removed) is int
            and 0 <= start <= start + removed <= len(self.lines)
            and isinstance(inserted, list)
            and all(isinstance(line, str) for line in inserted)
        )
        if not fits:
            raise LinesError("the change of lines does not fit the lines sent before")
        self.lines[start : start + removed] = inserted
        return "\n".join(self.lines)
