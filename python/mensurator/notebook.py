"""The ``%%mensurator`` cell magic for IPython and Jupyter (``%load_ext mensurator``).

IPython is imported only here, so the package works without it."""

from __future__ import annotations

import sys
from typing import Any, Optional

from .diagnostics import format_error
from .document import Document
from .engine import render, strip_final_line_end
from .errors import DocumentError

CELL_NAME = "<cell>"


def render_cell(line: str, cell: str) -> Optional[Document]:
    """Render a cell; a failing document is reported like the command line does, on the
    cell's error output, instead of a traceback."""
    text = strip_final_line_end(cell)
    try:
        return render(text)
    except DocumentError as error:
        sys.stderr.write(format_error(error, text, CELL_NAME))
        return None


def load_ipython_extension(ipython: Any) -> None:
    ipython.register_magic_function(render_cell, magic_kind="cell", magic_name="mensurator")
