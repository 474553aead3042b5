"""Companion package of the ``mensurator_py`` engine: documents, diagnostics, a command line,
notebook displays and PDFs. The engine does the work; this package only calls it.

    >>> import mensurator
    >>> mensurator.render("v = 3 m / 2 s\\nv =? km/hour").body
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Any

from .document import Document
from .engine import render, render_file, render_many
from .errors import DocumentError, MensuratorException
from .tables import units

if TYPE_CHECKING:
    from .pdf import PdfError

__all__ = [
    "Document",
    "DocumentError",
    "MensuratorException",
    "PdfError",
    "load_ipython_extension",
    "render",
    "render_file",
    "render_many",
    "units",
]


def __getattr__(name: str) -> Any:
    # The PDF module brings subprocess and tempfile along; the command needs them only for --pdf.
    if name == "PdfError":
        from .pdf import PdfError

        return PdfError
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")


def load_ipython_extension(ipython: Any) -> None:
    """Entry point of ``%load_ext mensurator``: registers the ``%%mensurator`` cell magic."""
    from .notebook import load_ipython_extension as load

    load(ipython)
