"""The report header an office puts on a calculation: title, project, author, checker,
revision and date. Each output writes it its own way (LaTeX, HTML, Word); this module holds
the fields, their labels and the LaTeX form of a field's text."""

from __future__ import annotations

import re
from collections.abc import Iterator
from dataclasses import dataclass, fields

# The text LaTeX reads as commands, and what prints each character as itself.
LATEX_SPECIAL = re.compile(r"[\\{}$&#^_%~]")
LATEX_LITERAL = {
    "\\": r"\textbackslash{}",
    "{": r"\{",
    "}": r"\}",
    "$": r"\$",
    "&": r"\&",
    "#": r"\#",
    "^": r"\^{}",
    "_": r"\_",
    "%": r"\%",
    "~": r"\textasciitilde{}",
}
LINE_BREAKS = re.compile(r"[\r\n]+")

# The label of the last page, which the footer's "page x of y" refers to.
LAST_PAGE_LABEL = "mensurator-last-page"


def latex_text(text: str) -> str:
    """``text`` as LaTeX that prints it character for character, on one line."""
    text = LINE_BREAKS.sub(" ", text)
    return LATEX_SPECIAL.sub(lambda match: LATEX_LITERAL[match.group()], text)


@dataclass(frozen=True)
class TitleBlock:
    """The header fields of a report; a field left out (None) is not shown."""

    title: str | None = None
    project: str | None = None
    author: str | None = None
    checked_by: str | None = None
    revision: str | None = None
    date: str | None = None

    def __bool__(self) -> bool:
        return any(value is not None for _, value in self.items())

    def items(self) -> Iterator[tuple[str, str | None]]:
        """Each field's name and value, in the order of the header."""
        for field in fields(self):
            yield field.name, getattr(self, field.name)

    def rows(self) -> list[tuple[str, str]]:
        """The label and value of each field given, the title excepted, in header order."""
        return [(LABELS[name], value) for name, value in self.items() if name != "title" and value]


LABELS = {
    "title": "Title",
    "project": "Project",
    "author": "Author",
    "checked_by": "Checked by",
    "revision": "Revision",
    "date": "Date",
}

# Before \begin{document}: every page gets "page x of y" at its foot, through a label that the
# end of the document puts on the last page (a second pdflatex run reads it back).
PAGE_FOOTER = (
    "\\makeatletter\n"
    "\\renewcommand\\ps@plain{\\renewcommand\\@oddhead{}%\n"
    "  \\renewcommand\\@oddfoot{\\hfil page \\thepage\\ of \\pageref{" + LAST_PAGE_LABEL + "}"
    "\\hfil}\\let\\@evenhead\\@oddhead\\let\\@evenfoot\\@oddfoot}\n"
    "\\makeatother\n"
    "\\pagestyle{plain}\n"
    "\\AtEndDocument{\\label{" + LAST_PAGE_LABEL + "}}\n"
)


def latex_title_block(block: TitleBlock) -> str:
    """The header as a framed table, full width, for the top of the first page."""
    lines = ["\\noindent\\begin{tabular}{|p{0.3\\linewidth}|p{0.62\\linewidth}|}\\hline"]
    if block.title:
        lines.append(
            "\\multicolumn{2}{|p{0.96\\linewidth}|}{\\large\\bfseries "
            + latex_text(block.title)
            + "}\\\\\\hline"
        )
    for label, value in block.rows():
        lines.append(f"{label} & {latex_text(value)}\\\\\\hline")
    lines.append("\\end{tabular}\n\\par\\bigskip\\noindent\n")
    return "\n".join(lines)


def with_title_block(latex: str, block: TitleBlock, begin: str) -> str:
    """The engine's document ``latex`` with the page footer in its preamble and the header at
    the start of its body; ``begin`` is the text that ends the preamble."""
    head, start, body = latex.partition(begin)
    return head + PAGE_FOOTER + start + latex_title_block(block) + body


# The header of a report without one.
NO_TITLE_BLOCK = TitleBlock()
