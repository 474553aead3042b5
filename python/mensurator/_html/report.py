"""The engine's LaTeX document as one self-contained HTML page, for readers without TeX.

The body the engine writes is a sequence of three kinds of pieces (see ``pieces``): math
lines, line gaps and the verbatim text of LaTeX blocks. Each math line becomes display MathML,
which browsers render without any script (the engine writes it for the LaTeX it writes, the
converter of ``mathml`` takes the rest); gaps become spacing; block text goes through
``latex_text``. The page makes no request of any kind: the stylesheet is inlined and a content
security policy forbids the rest.
"""

from __future__ import annotations

import html
from dataclasses import dataclass
from functools import lru_cache
from importlib import resources

from .. import _engine
from .._output_file import replace_file
from .._paths import PathLike
from .._pieces import GAP, MATH, pieces
from .._title_block import NO_TITLE_BLOCK, TitleBlock
from .._verdicts import WORDS, split_verdict
from .latex_text import BlockText
from .mathml import to_mathml

PAGE = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; style-src 'unsafe-inline'">
<meta name="generator" content="mensurator">
<title>{title}</title>
<style>
{style}</style>
</head>
<body>
{sheet}
</body>
</html>
"""


@dataclass(frozen=True)
class HtmlRendering:
    """HTML text and the LaTeX that it shows as source because it could not be converted."""

    html: str
    unconverted: tuple[str, ...] = ()


def stylesheet() -> str:
    """The calculation-sheet stylesheet, shared by the report and the live editor's preview."""
    return resources.files(__package__).joinpath("report.css").read_text(encoding="utf-8")


def _inline_math(latex: str) -> str | None:
    return to_mathml(latex, display=False)


# The live editor renders the whole document after every pause in typing; remembering each
# converted line's MathML makes a render cost what changed, not what the document holds.
@lru_cache(maxsize=16384)
def _converted_mathml(latex: str) -> str | None:
    return to_mathml(latex, display=True, mark_result=True)


def display_mathml(latex: str) -> str | None:
    """A math line's MathML: the engine writes the LaTeX it writes itself, at a small fraction of
    the converter's cost; the converter takes what it leaves, such as aliases to other commands."""
    written = _engine.display_mathml(latex)
    return written if written is not None else _converted_mathml(latex)


class _SheetWriter:
    def __init__(self) -> None:
        self.parts: list[str] = []
        self.paragraph: list[str] = []
        self.text = BlockText(_inline_math)
        self.unconverted: list[str] = []

    def end_paragraph(self) -> None:
        content = " ".join(self.paragraph).strip()
        if content:
            self.parts.append(f"<p>{content}</p>")
        self.paragraph.clear()

    def math_line(self, latex: str) -> None:
        self.end_paragraph()
        math, passed = split_verdict(latex)
        # A check's comparison has no result to mark; its verdict is written as text, in colour.
        mathml = display_mathml(latex) if passed is None else to_mathml(math, display=True)
        if mathml is None:
            self.unconverted.append(math)
            source = html.escape(f"${math}$", quote=False)
            mathml = f'<code class="latex" title="shown as LaTeX: not convertible">{source}</code>'
        if passed is None:
            self.parts.append(f'<div class="calc">{mathml}</div>')
            return
        state = "passed" if passed else "failed"
        mark = "&#x2713;" if passed else "&#x2717;"
        verdict = f'<span class="verdict">{mark} {WORDS[passed]}</span>'
        self.parts.append(f'<div class="calc check {state}">{mathml} {verdict}</div>')

    def gap(self) -> None:
        if self.paragraph:
            self.end_paragraph()  # the gap ends the text's line, as \\ does in LaTeX
        else:
            self.parts.append('<div class="gap"></div>')

    def block_text(self, text: str) -> None:
        for item in self.text.items(text):
            if item.level:
                self.end_paragraph()
                self.parts.append(f"<h{item.level}>{item.html}</h{item.level}>")
            elif item.paragraph_break:
                self.paragraph.append(item.html)
                self.end_paragraph()
            else:
                self.paragraph.append(item.html)

    def finish(self) -> HtmlRendering:
        self.end_paragraph()
        sheet = '<article class="sheet">\n' + "\n".join(self.parts) + "\n</article>"
        return HtmlRendering(sheet, tuple(self.unconverted + self.text.unconverted))


def sheet(body: str) -> HtmlRendering:
    """The ``<article class="sheet">`` element for a document body (between begin and end)."""
    writer = _SheetWriter()
    for piece in pieces(body):
        if piece.kind == MATH:
            writer.math_line(piece.math)
        elif piece.kind == GAP:
            writer.gap()
        else:
            writer.block_text(piece.source)
    return writer.finish()


def header_table(block: TitleBlock) -> str:
    """The report header: the title across the top, then one row per field given."""
    rows = []
    if block.title:
        rows.append(f'<tr><th colspan="2" class="title">{html.escape(block.title)}</th></tr>')
    for label, value in block.rows():
        rows.append(f"<tr><th>{html.escape(label)}</th><td>{html.escape(value)}</td></tr>")
    return '<table class="title-block">\n' + "\n".join(rows) + "\n</table>\n"


def page(body: str, title: str, block: TitleBlock = NO_TITLE_BLOCK) -> HtmlRendering:
    """A complete HTML page for a document body, with the stylesheet inlined; a header table
    of ``block``'s fields above the sheet when any is given."""
    rendered = sheet(body)
    style, content = stylesheet(), rendered.html
    if block:
        # Its style only with the header: a page without one stays as it was.
        style += resources.files(__package__).joinpath("title_block.css").read_text("utf-8")
        content = header_table(block) + content
    text = PAGE.format(title=html.escape(title), style=style, sheet=content)
    return HtmlRendering(text, rendered.unconverted)


def write_page(
    body: str, path: PathLike, title: str, block: TitleBlock = NO_TITLE_BLOCK
) -> tuple[str, ...]:
    """Write the page to ``path`` (whole or not at all); returns the LaTeX it shows as source.
    Raises OSError."""
    rendered = page(body, title, block)
    replace_file(path, rendered.html.encode("utf-8"))
    return rendered.unconverted
