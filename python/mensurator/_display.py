r"""Other layouts of a rendered document: aligned display math and the print layout for PDFs,
Markdown for notebooks. Each reads the document through ``pieces`` and leaves the text of
LaTeX blocks as it is.
"""

from __future__ import annotations

import re
from collections.abc import Iterable
from typing import Callable

from ._pieces import BLOCK, GAP, MATH, Piece, pieces
from ._verdicts import coloured

HEADING = re.compile(r"\\(sub(?:sub)?)?section\*?\{((?:[^{}]|\{[^{}]*\})*)\}")
ENDS_WITH_HEADING = re.compile(f"(?:{HEADING.pattern})[ \\t\\n]*\\Z")
BEGIN_DOCUMENT = "\\begin{document}"
# align* comes with amsmath, which every LaTeX installation has (Debian: texlive-latex-base).
ALIGN_PACKAGE = "\\usepackage{amsmath}\n"

HeadingStyle = Callable[[int, str], str]


def aligned_row(math: str) -> str:
    """The math line as a row of an aligned block: aligned on its first equals sign."""
    depth = 0
    for index, character in enumerate(math):
        if character == "{":
            depth += 1
        elif character == "}":
            depth -= 1
        elif character == "=" and depth == 0:
            return f"{math[:index].rstrip()} &= {math[index + 1 :].lstrip()}"
    return math


def display_math(latex: str, printed: Iterable[str] | None = None) -> str:
    """The document with its math lines set as display math, each run of consecutive lines in
    one ``align*`` block aligned on the equals signs, as on a hand calculation sheet.

    Display math ends its line by itself, so the line break after each math line goes. Given
    the statements' own math lines (``printed``, in document order), only those are set, so
    math that a LaTeX block holds stays as written; otherwise every ``$...$\\\\`` line is."""
    expected = None if printed is None else iter(printed)
    upcoming = None if expected is None else next(expected, None)
    parts: list[str] = []
    rows: list[str] = []

    def end_rows() -> None:
        if rows:
            parts.append("\\begin{align*}\n" + "\\\\\n".join(rows) + "\n\\end{align*}\n")
            rows.clear()

    for piece in pieces(latex):
        if piece.kind == MATH and (expected is None or piece.source == f"{upcoming}\n"):
            rows.append(aligned_row(piece.math))
            if expected is not None:
                upcoming = next(expected, None)
            continue
        end_rows()
        parts.append(piece.source)
    end_rows()
    # The first \begin{document} is the engine's, ending the preamble.
    return "".join(parts).replace(BEGIN_DOCUMENT, ALIGN_PACKAGE + BEGIN_DOCUMENT, 1)


def print_layout(latex: str) -> str:
    """The document as it is printed: without the line break the engine writes after a LaTeX
    block, where the block ends with a heading (it would leave a blank line under each one)."""
    parts: list[str] = []
    previous: Piece | None = None
    for piece in pieces(latex):
        after_heading = (
            previous is not None
            and previous.kind == BLOCK
            and ENDS_WITH_HEADING.search(previous.source) is not None
        )
        if not (piece.kind == GAP and after_heading):
            parts.append(piece.source)
        previous = piece
    return "".join(parts)


def markdown_heading(level: int, title: str) -> str:
    return "#" * (level + 1) + " " + title


def plain_heading(level: int, title: str) -> str:
    return title


def mathjax_text(body: str, heading: HeadingStyle = markdown_heading) -> str:
    """The body as text that a notebook shows with MathJax: math lines as ``$$...$$``
    paragraphs (a check's verdict in colour), section headings through ``heading`` (level 1
    for a section, 2 for a subsection, 3 below), line gaps as paragraph breaks and other LaTeX
    as it is."""
    parts: list[str] = []
    text: list[str] = []
    for piece in pieces(body):
        if piece.kind == MATH:
            parts.append(text_part("".join(text), heading))
            text.clear()
            parts.append("$$" + coloured(piece.math) + "$$")
        else:
            text.append("\n\n" if piece.kind == GAP else piece.source)
    parts.append(text_part("".join(text), heading))
    return "\n\n".join(part for part in parts if part) + "\n"


def text_part(text: str, heading: HeadingStyle) -> str:
    def replace_heading(match: re.Match[str]) -> str:
        level = 1 + len(match.group(1) or "") // 3
        return "\n\n" + heading(level, match.group(2)) + "\n\n"

    text = HEADING.sub(replace_heading, text)
    paragraphs = (paragraph.strip() for paragraph in re.split(r"\n\s*\n", text))
    return "\n\n".join(paragraph for paragraph in paragraphs if paragraph)
