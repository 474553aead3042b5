"""Rendering documents through the engine: one text, one file, or many texts on threads."""

from __future__ import annotations

import os
from typing import Union

import mensurator_py

from .document import Document

PathLike = Union[str, "os.PathLike[str]"]

LINE_ENDS = ("\r\n", "\n", "\r")


def strip_final_line_end(text: str) -> str:
    """Drop the line end that terminates a file's last line.

    That line end is not a blank line of the document; passed on, the engine would render it
    as a line break at the end of the document.
    """
    for ending in LINE_ENDS:
        if text.endswith(ending):
            return text[: -len(ending)]
    return text


def read_document(path: PathLike) -> str:
    """Read a document file as UTF-8, keeping its line ends as written except the final one.

    Line ends are not translated: a lone CR counts differently from LF in the engine's line
    numbers, and the numbers in messages must match the file.
    """
    with open(path, "rb") as source:
        return strip_final_line_end(source.read().decode("utf-8"))


def render(text: str) -> Document:
    """Render a document text; the result's ``latex`` is exactly the engine's output."""
    return Document(mensurator_py.run_mensurator(text))


def render_file(path: PathLike) -> Document:
    """Render a document file (UTF-8); its final line end is dropped first."""
    return render(read_document(path))
