"""The rendered document and its views: LaTeX text, body, display-math variant, notebook
displays and PDF."""

from __future__ import annotations

from dataclasses import dataclass

from . import display
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
        """The same document with its math lines set as display math, aligned on the equals
        signs: the layout of a hand calculation sheet, full-size fractions, results that stand
        out."""
        return display.display_math(self.latex)

    def to_pdf(self, path: PathLike) -> None:
        """Compile the document with ``pdflatex`` and write the PDF to ``path``. A heading
        from a LaTeX block is followed directly by the next line, not by a blank line.

        Raises ``PdfError`` naming the missing program or quoting LaTeX's first error."""
        from .pdf import write_pdf  # subprocess and tempfile only when a PDF is made

        write_pdf(display.print_layout(self.latex), path)

    def to_html(self, title: str = "mensurator") -> str:
        """One self-contained HTML page: math lines as MathML, no TeX and no network needed.

        Math the converter cannot handle is shown as its LaTeX source."""
        from .html.report import page  # the converter is imported only when a page is made

        return page(self.body, title).html

    def _repr_markdown_(self) -> str:
        return display.mathjax_text(self.body, display.markdown_heading)

    def _repr_latex_(self) -> str:
        return display.mathjax_text(self.body, display.plain_heading)
