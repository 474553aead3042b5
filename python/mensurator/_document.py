"""The rendered document and its views: LaTeX text, body, display-math variant, notebook
displays and PDF."""

from __future__ import annotations

from collections.abc import Sequence
from dataclasses import dataclass, field
from typing import TYPE_CHECKING, Any

from . import _display, _engine
from ._paths import PathLike
from ._pdf_limits import DEFAULT_TIME_LIMIT
from ._title_block import NO_TITLE_BLOCK, TitleBlock
from .results import Problem, Statement, Statements, problem_from

# The attribute of a document that holds its engine run, or the text to run again, while its
# views are not yet made.
PENDING_RUN = "_run"
VIEWS = ("statements", "warnings")

BEGIN = "\\begin{document}\n"
END = "\\end{document}"


@dataclass(frozen=True)
class Document:
    """A rendered document. ``latex`` is the complete LaTeX text as the engine wrote it,
    ``statements`` what each statement defined and printed, ``warnings`` the engine's warnings
    (which never change the text)."""

    latex: str
    # Views of the same run: a document equals another by its text. No class-level defaults,
    # so that a document holding a pending run reaches __getattr__ for them.
    statements: Sequence[Statement] = field(default_factory=tuple, compare=False, repr=False)
    warnings: tuple[Problem, ...] = field(default_factory=tuple, compare=False, repr=False)

    if not TYPE_CHECKING:  # hidden from the type checker, which would accept any name then

        def __getattr__(self, name: str) -> Any:
            # A document of render_many keeps the engine's run, or its text, and makes its
            # views when one is first read: most callers of many small documents read only
            # the LaTeX.
            run = self.__dict__.get(PENDING_RUN)
            if run is None or name not in VIEWS:
                raise AttributeError(f"'{type(self).__name__}' object has no attribute '{name}'")
            if isinstance(run, str):
                # The text rendered once already; the same engine renders it again.
                run = _engine.run(run)
            warnings = run.warnings
            # Two threads reading at once make equal views; either one is kept.
            object.__setattr__(self, "statements", Statements(run.statements))
            object.__setattr__(
                self, "warnings", tuple(map(problem_from, warnings)) if warnings else ()
            )
            return self.__dict__[name]

    def __getstate__(self) -> dict[str, Any]:
        # The engine's run does not pickle; its views do.
        return {"latex": self.latex, "statements": self.statements, "warnings": self.warnings}

    @property
    def body(self) -> str:
        """The text between ``\\begin{document}`` and ``\\end{document}``."""
        start = self.latex.index(BEGIN) + len(BEGIN)
        return self.latex[start : self.latex.rindex(END)]

    @property
    def display_latex(self) -> str:
        """The same document with its math lines set as display math, aligned on the equals
        signs: the layout of a hand calculation sheet, full-size fractions, results that stand
        out.

        The statements' own math lines are the ones set; a document made from a LaTeX text
        alone has no statements, and every line of the form ``$...$\\\\`` is set."""
        if not self.statements:
            return _display.display_math(self.latex)
        printed = [s.printed for s in self.statements if s.printed is not None]
        return _display.display_math(self.latex, printed)

    def to_pdf(
        self,
        path: PathLike,
        time_limit: float = DEFAULT_TIME_LIMIT,
        *,
        title: str | None = None,
        project: str | None = None,
        author: str | None = None,
        checked_by: str | None = None,
        revision: str | None = None,
        date: str | None = None,
        template: PathLike | None = None,
    ) -> None:
        """Compile the document with ``pdflatex`` and write the PDF to ``path``. A heading
        from a LaTeX block is followed directly by the next line, not by a blank line.

        Any of the header fields (``title`` ... ``date``) puts a title block at the top of the
        first page and "page x of y" at the foot of every page. ``template`` is a LaTeX
        template of one's own (see ``report_template``), filled in with the body and the
        fields.

        pdflatex may read and write only inside a temporary directory and is stopped after
        ``time_limit`` seconds. Raises ``PdfError`` naming the missing program, the exceeded
        limit, or quoting LaTeX's first error, and ``TemplateError`` for a template that
        cannot be read or filled in."""
        from ._pdf import write_pdf  # subprocess and tempfile only when a PDF is made
        from ._report_layout import report_latex
        from ._report_template import ReportTemplate

        block = TitleBlock(title, project, author, checked_by, revision, date)
        chosen = None if template is None else ReportTemplate.read(template)
        write_pdf(report_latex(self.latex, block, chosen), path, time_limit)

    def to_html(
        self,
        title: str = "mensurator",
        *,
        project: str | None = None,
        author: str | None = None,
        checked_by: str | None = None,
        revision: str | None = None,
        date: str | None = None,
    ) -> str:
        """One self-contained HTML page: math lines as MathML, no TeX and no network needed.

        ``title`` is the page's title; with any of the other header fields the page starts
        with a header table of all of them, the title included.
        Math the converter cannot handle is shown as its LaTeX source."""
        from ._html.report import page  # the converter is imported only when a page is made

        block = TitleBlock(title, project, author, checked_by, revision, date)
        return page(self.body, title, block if block.rows() else NO_TITLE_BLOCK).html

    def to_docx(
        self,
        path: PathLike,
        reference_doc: PathLike | None = None,
        *,
        title: str | None = None,
        project: str | None = None,
        author: str | None = None,
        checked_by: str | None = None,
        revision: str | None = None,
        date: str | None = None,
        time_limit: float = DEFAULT_TIME_LIMIT,
    ) -> None:
        """Write a Word document to ``path``: every math line a native Word equation, headings
        as Word headings, the text of LaTeX blocks as paragraphs, the header fields given as
        a title and a table. ``reference_doc``, a Word file, lends its styles (a company's).

        Needs pandoc (the ``docx`` extra, or a ``pandoc`` on PATH), which runs in its sandbox
        and is stopped after ``time_limit`` seconds; raises ``DocxError`` otherwise."""
        from ._docx import write_docx  # subprocess only when a Word document is made

        block = TitleBlock(title, project, author, checked_by, revision, date)
        write_docx(self.body, path, block, reference_doc, time_limit)

    def _repr_markdown_(self) -> str:
        return _display.mathjax_text(self.body, _display.markdown_heading)

    def _repr_latex_(self) -> str:
        return _display.mathjax_text(self.body, _display.plain_heading)
