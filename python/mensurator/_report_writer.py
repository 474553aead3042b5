"""Writing one rendered document to a file in one of the report formats, with the header and
layout the command's options ask for. Used by the command for a single output, for one output
per input (``--outdir``) and for parametric cases."""

from __future__ import annotations

from dataclasses import dataclass, field

from ._document import Document
from ._html.report import write_page
from ._output_file import replace_file
from ._pdf_limits import DEFAULT_TIME_LIMIT
from ._report_layout import report_latex
from ._report_template import ReportTemplate, TemplateError
from ._title_block import NO_TITLE_BLOCK, TitleBlock

# The formats by the name of their option, with the file name ending each is written with.
EXTENSIONS = {"tex": ".tex", "pdf": ".pdf", "html": ".html", "docx": ".docx"}


@dataclass(frozen=True)
class ReportSettings:
    """How every report of a run is made: header, template, Word styles, layout, limits."""

    block: TitleBlock = NO_TITLE_BLOCK
    template: ReportTemplate | None = None
    reference_doc: str | None = None
    display: bool = False
    time_limit: float = DEFAULT_TIME_LIMIT

    def latex(self, document: Document) -> str:
        """The LaTeX text of the document as the settings lay it out (without line end)."""
        latex = document.display_latex if self.display else document.latex
        if self.template is None and not self.block:
            return latex
        return report_latex(latex, self.block, self.template)


@dataclass
class Outcome:
    """What writing a report said: errors (it was not written) and warnings."""

    errors: list[str] = field(default_factory=list)
    warnings: list[str] = field(default_factory=list)


def write_report(
    document: Document, kind: str, path: str, settings: ReportSettings, title: str
) -> Outcome:
    """Write ``document`` as ``kind`` (a key of ``EXTENSIONS``) to ``path``; ``title`` names
    an HTML page that has no header title."""
    # Imported here: subprocess and tempfile only when a PDF or a Word file is made.
    from ._docx import DocxError, write_docx
    from ._pdf import PdfError, write_pdf

    outcome = Outcome()
    try:
        if kind == "html":
            for latex in write_page(
                document.body, path, settings.block.title or title, settings.block
            ):
                outcome.warnings.append(f"not converted to MathML, shown as LaTeX: {latex}")
        elif kind == "docx":
            write_docx(
                document.body, path, settings.block, settings.reference_doc, settings.time_limit
            )
        elif kind == "pdf":
            latex = document.display_latex if settings.display else document.latex
            write_pdf(
                report_latex(latex, settings.block, settings.template), path, settings.time_limit
            )
        else:
            replace_file(path, (settings.latex(document) + "\n").encode("utf-8"))
    except (PdfError, DocxError, TemplateError) as error:
        outcome.errors.append(str(error))
    except OSError as error:
        outcome.errors.append(f"cannot write {path}: {error.strerror or error}")
    return outcome
