"""The LaTeX a report is printed from: the print layout of the engine's document, with the
header of the default layout or inside an office's template."""

from __future__ import annotations

from . import _display
from ._report_template import ReportTemplate
from ._title_block import NO_TITLE_BLOCK, TitleBlock, with_title_block

BEGIN = "\\begin{document}\n"
END = "\\end{document}"


def report_latex(
    latex: str, block: TitleBlock = NO_TITLE_BLOCK, template: ReportTemplate | None = None
) -> str:
    """The document to compile: unchanged but for the print layout when there is neither a
    header nor a template."""
    printed = _display.print_layout(latex)
    if template is not None:
        first_line_end = printed.index("\n") + 1  # the engine's \\documentclass line
        begin = printed.index(BEGIN)
        body = printed[begin + len(BEGIN) : printed.rindex(END)]
        return template.fill(body, printed[first_line_end:begin], block)
    if block:
        return with_title_block(printed, block, BEGIN)
    return printed
