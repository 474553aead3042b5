r"""Other layouts of a rendered document: display math for print, Markdown for notebooks.

The engine writes each definition and result as one math line, ``$...$\\`` and a line feed;
line gaps are ``\\`` or ``\leavevmode\\``, and LaTeX blocks are copied as written. These
transforms recognise exactly those pieces and leave all other text as it is.
"""

from __future__ import annotations

import re
from typing import Callable, Iterable, List

# A math line: the engine's math never holds a dollar sign or a line feed.
MATH_LINE = re.compile(r"\$([^$\n]*)\$\\\\\n")
GAP = re.compile(r"(?:\\leavevmode)?\\\\")
HEADING = re.compile(r"\\(sub(?:sub)?)?section\*?\{((?:[^{}]|\{[^{}]*\})*)\}")

HeadingStyle = Callable[[int, str], str]


def display_math(latex: str) -> str:
    """The document with every math line set as display math, ``\\[ ... \\]``.

    Display math ends its line by itself, so the line break after each math line goes."""
    return MATH_LINE.sub(lambda match: "\\[ " + match.group(1) + " \\]\n", latex)


def display_printed(latex: str, printed: Iterable[str]) -> str:
    """``display_math`` for a document whose statements' math lines are known (``printed``, in
    document order): only those lines change, so math a LaTeX block holds stays as written."""
    parts: List[str] = []
    position = 0
    for line in printed:
        at = latex.index(line + "\n", position)
        # A math line is "$" MATH "$\\".
        parts += [latex[position:at], "\\[ ", line[1:-3], " \\]\n"]
        position = at + len(line) + 1
    parts.append(latex[position:])
    return "".join(parts)


def markdown_heading(level: int, title: str) -> str:
    return "#" * (level + 1) + " " + title


def plain_heading(level: int, title: str) -> str:
    return title


def mathjax_text(body: str, heading: HeadingStyle = markdown_heading) -> str:
    """The body as text that a notebook shows with MathJax: math lines as ``$$...$$``
    paragraphs, section headings through ``heading`` (level 1 for a section, 2 for a
    subsection, 3 below), line gaps as paragraph breaks and other LaTeX as it is."""
    parts: List[str] = []
    position = 0
    for match in MATH_LINE.finditer(body):
        parts.append(text_part(body[position : match.start()], heading))
        parts.append("$$" + match.group(1) + "$$")
        position = match.end()
    parts.append(text_part(body[position:], heading))
    return "\n\n".join(part for part in parts if part) + "\n"


def text_part(text: str, heading: HeadingStyle) -> str:
    def replace_heading(match: re.Match[str]) -> str:
        level = 1 + len(match.group(1) or "") // 3
        return "\n\n" + heading(level, match.group(2)) + "\n\n"

    text = HEADING.sub(replace_heading, GAP.sub("\n\n", text))
    paragraphs = (paragraph.strip() for paragraph in re.split(r"\n\s*\n", text))
    return "\n\n".join(paragraph for paragraph in paragraphs if paragraph)
