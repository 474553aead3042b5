"""Compiler-style reports of document errors, for terminals and notebook cells.

kinematics.txt:2:7: error: Parsing Error near line 2 column 7
x = 5 6
      ^
"""

from __future__ import annotations

from ._errors import DocumentError
from ._printable import printable


def format_error(error: DocumentError, source: str | None, filename: str) -> str:
    """The report of ``error`` in the document text ``source`` read from ``filename``: a
    location line, the source line (with a caret under the column of a parse error) and hint
    lines. Without the source, or for a line past its end, only the location and hints.

    Everything quoted from the document has its control characters escaped (tabs stay, so
    that the caret lines up), so that a document cannot write to the terminal."""
    location = f"{filename}:{error.line}"
    if error.column is not None:
        location += f":{error.column}"
    lines = [printable(f"{location}: error: {error.message}")]
    text = source_line(source, error.line) if source is not None else None
    if text is not None:
        shown = printable(text, keep="\t")
        lines.append(shown)
        if error.column is not None:
            lines.append(caret_line(shown, shown_column(text, error.column)))
    lines += [printable(f"hint: {hint}") for hint in error.hints]
    return "\n".join(lines) + "\n"


def source_line(source: str, number: int) -> str | None:
    """Line ``number`` (from 1) as the engine counts lines: only LF starts a new line, so a
    lone CR stays inside the line (it is shown as a blank, which keeps the columns)."""
    lines = source.split("\n")
    if not 1 <= number <= len(lines):
        return None
    return lines[number - 1].removesuffix("\r").replace("\r", " ")


def shown_column(text: str, column: int) -> int:
    """The column of ``text``'s character ``column`` once its control characters are escaped."""
    return len(printable(text[: column - 1], keep="\t")) + 1


def caret_line(text: str, column: int) -> str:
    # Tabs are copied so that the caret lines up however the terminal expands them.
    padding: list[str] = ["\t" if char == "\t" else " " for char in text[: column - 1]]
    return "".join(padding).ljust(column - 1) + "^"
