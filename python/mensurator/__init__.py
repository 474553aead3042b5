"""Companion package of the ``mensurator_py`` engine: documents, a command line and notebooks.

    >>> import mensurator
    >>> mensurator.render("v = 3 m / 2 s\\nv =? km/hour").body
"""

from .document import Document
from .engine import render, render_file

__all__ = ["Document", "render", "render_file"]
