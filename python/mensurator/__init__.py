"""Companion package of the ``mensurator_py`` engine: documents, diagnostics, a command line,
notebook displays and PDFs. The engine does the work; this package only calls it.

    >>> import mensurator
    >>> mensurator.render("v = 3 m / 2 s\\nv =? km/hour").body
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Any

from ._document import Document
from ._errors import DocumentError, MensuratorException
from ._rendering import render, render_file, render_many
from ._tables import units

if TYPE_CHECKING:
    from ._case_study import cases
    from ._case_table import CaseError, CaseTable
    from ._docx import DocxError
    from ._pdf import PdfError
    from ._report_template import TemplateError

__all__ = [
    "CaseError",
    "CaseTable",
    "Document",
    "DocumentError",
    "DocxError",
    "MensuratorException",
    "PdfError",
    "TemplateError",
    "cases",
    "load_ipython_extension",
    "render",
    "render_file",
    "render_many",
    "units",
]


# Names whose modules are imported when first asked for: the command needs none of them for
# its usual work (the PDF module brings subprocess and tempfile along, the cases matplotlib).
LAZY = {
    "PdfError": "_pdf",
    "DocxError": "_docx",
    "TemplateError": "_report_template",
    "CaseError": "_case_table",
    "CaseTable": "_case_table",
    "cases": "_case_study",
}


def __getattr__(name: str) -> Any:
    if name in LAZY:
        from importlib import import_module

        return getattr(import_module(f".{LAZY[name]}", __name__), name)
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")


def load_ipython_extension(ipython: Any) -> None:
    """Entry point of ``%load_ext mensurator``: registers the ``%%mensurator`` cell magic."""
    from ._notebook import load_ipython_extension as load

    load(ipython)
