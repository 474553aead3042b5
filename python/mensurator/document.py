"""The rendered document and its views: LaTeX text, body, display-math variant, notebook
displays and PDF."""

from __future__ import annotations

from dataclasses import dataclass

from . import display, pdf
from .paths import PathLike

BEGIN = "\\begin{document}\n"
END = "\\end{document}"


@dataclass(frozen=True)
class Document:
    """A rendered document. ``latex`` is the complete LaTeX text as the engine wrote it."""

    latex: str

    @property
    def body(self) -> str:
        """The text between ``\\begin{document}`` and ``\\end{document}``."""
        start = self.latex.index(BEGIN) + len(BEGIN)
        return self.latex[start : self.latex.rindex(END)]

    @property
    def display_latex(self) -> str:
        """The same document with every math line set as display math (``\\[ ... \\]``), the
        layout of a hand calculation sheet: full-size fractions, results that stand out."""
        return display.display_math(self.latex)

    def to_pdf(self, path: PathLike, time_limit: float = pdf.DEFAULT_TIME_LIMIT) -> None:
        """Compile the document with ``pdflatex`` and write the PDF to ``path``.

        pdflatex may read and write only inside a temporary directory and is stopped after
        ``time_limit`` seconds. Raises ``PdfError`` naming the missing program, the exceeded
        limit, or quoting LaTeX's first error."""
        pdf.write_pdf(self.latex, path, time_limit)

    def to_html(self, title: str = "mensurator") -> str:
        """One self-contained HTML page: math lines as MathML, no TeX and no network needed.

        Math the converter cannot handle is shown as its LaTeX source."""
        from .html_report import page  # the converter is imported only when a page is made

        return page(self.body, title).html

    def _repr_markdown_(self) -> str:
        return display.mathjax_text(self.body, display.markdown_heading)

    def _repr_latex_(self) -> str:
        return display.mathjax_text(self.body, display.plain_heading)
