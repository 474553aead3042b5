"""Rendering documents through the engine: one text, one file, or many texts on threads."""

from __future__ import annotations

import os
from concurrent.futures import ThreadPoolExecutor
from typing import Callable, Iterable, List, Optional, Union

import mensurator_py

from .document import Document
from .engine_class import MensuratorException
from .errors import DocumentError
from .paths import PathLike

LINE_ENDS = ("\r\n", "\n", "\r")
# Some editors start UTF-8 files with it; it is no part of the first statement.
BYTE_ORDER_MARK = "\ufeff"


RenderResult = Union[Document, DocumentError]


def strip_final_line_end(text: str) -> str:
    """Drop the line end that terminates a file's last line.

    That line end is not a blank line of the document; passed on, the engine would render it
    as a line break at the end of the document.
    """
    for ending in LINE_ENDS:
        if text.endswith(ending):
            return text[: -len(ending)]
    return text


def decode_document(raw: bytes) -> str:
    """A document's bytes as text: UTF-8 without a leading byte-order mark, its line ends as
    written except the final one. Raises UnicodeDecodeError.

    Line ends are not translated: a lone CR counts differently from LF in the engine's line
    numbers, and the numbers in messages must match the file.
    """
    text = raw.decode("utf-8")
    if text.startswith(BYTE_ORDER_MARK):
        text = text[len(BYTE_ORDER_MARK) :]
    return strip_final_line_end(text)


def read_document(path: PathLike) -> str:
    """Read a document file (see ``decode_document``)."""
    with open(path, "rb") as source:
        return decode_document(source.read())


def render(text: str) -> Document:
    """Render a document text; the result's ``latex`` is exactly the engine's output.

    A failing document raises ``DocumentError``, whose ``__cause__`` is the engine's
    ``MensuratorException``."""
    try:
        return Document(mensurator_py.run_mensurator(text))
    except MensuratorException as error:
        raise DocumentError.from_exception(error) from error


def render_file(path: PathLike) -> Document:
    """Render a document file (UTF-8); its final line end is dropped first."""
    return render(read_document(path))


def render_many(
    texts: Iterable[str],
    jobs: Optional[int] = None,
    progress: Optional[Callable[[], None]] = None,
) -> List[RenderResult]:
    """Render many document texts on ``jobs`` threads (default: one per processor).

    Returns, in input order, each document or its ``DocumentError``; ``progress``, if given,
    is called once after each document is done."""
    if jobs is not None and jobs < 1:
        raise ValueError(f"jobs must be at least 1, not {jobs}")

    def render_one(text: str) -> RenderResult:
        try:
            result: RenderResult = render(text)
        except DocumentError as error:
            result = error
        if progress is not None:
            progress()
        return result

    with ThreadPoolExecutor(max_workers=jobs or os.cpu_count() or 1) as pool:
        return list(pool.map(render_one, texts))
