"""Rendering documents through the engine: one text, one file, or many texts on threads."""

from __future__ import annotations

import os
from concurrent.futures import ThreadPoolExecutor
from typing import Callable, Iterable, List, Optional, Union

from . import _engine
from .document import Document
from .engine_class import MensuratorException
from .errors import DocumentError
from .paths import PathLike
from .results import Statements, diagnose, problem_from

LINE_ENDS = ("\r\n", "\n", "\r")


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


def read_document(path: PathLike) -> str:
    """Read a document file as UTF-8, keeping its line ends as written except the final one.

    Line ends are not translated: a lone CR counts differently from LF in the engine's line
    numbers, and the numbers in messages must match the file.
    """
    with open(path, "rb") as source:
        return strip_final_line_end(source.read().decode("utf-8"))


def render(text: str) -> Document:
    """Render a document text; the result's ``latex`` is exactly the engine's output.

    A failing document raises ``DocumentError``, whose ``__cause__`` is the engine's
    ``MensuratorException``; its ``problems`` list every error and warning of the text."""
    try:
        result = _engine.run(text)
    except MensuratorException as error:
        raise failure(text, error) from error
    return Document(
        result.latex,
        Statements(result.statements),
        tuple(problem_from(warning) for warning in result.warnings),
    )


def failure(text: str, error: BaseException) -> DocumentError:
    """The error of a failed document, with every problem the engine finds in it."""
    first = DocumentError.from_exception(error)
    return DocumentError(
        first.message, first.line, first.column, first.kind, first.hints, diagnose(text)
    )


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
