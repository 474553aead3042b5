"""Rendering documents through the engine: one text, one file, or many on threads."""

from __future__ import annotations

import functools
import os
from collections.abc import Iterable, Sequence
from typing import TYPE_CHECKING, Callable, Union

import mensurator_py

from . import _engine
from ._document import PENDING_RUN, Document
from ._errors import DocumentError, MensuratorException
from ._opt_ins import NONE, OptIns
from ._paths import PathLike
from .results import Statements, diagnose, problem_from

LINE_END_CHARACTERS = ("\n", "\r")
# Documents handed to a worker thread at a time: enough to make the hand-over cost nothing
# next to the engine's work, few enough to keep the threads evenly busy.
BATCH_SIZE = 16
# Some editors start UTF-8 files with it; it is no part of the first statement.
BYTE_ORDER_MARK = "\ufeff"

if TYPE_CHECKING:
    from concurrent.futures import Executor

RenderResult = Union[Document, DocumentError]
Source = Union[str, "os.PathLike[str]"]


def strip_final_line_end(text: str) -> str:
    """Drop the line end that terminates a text's last line.

    That line end is not a blank line of the document; passed on, the engine would render it
    as a line break at the end of the document.
    """
    if text.endswith("\r\n"):
        return text[:-2]
    return text[:-1] if text.endswith(LINE_END_CHARACTERS) else text


def decode_document(raw: bytes) -> str:
    """A document's bytes as text: UTF-8 without a leading byte-order mark, its line ends as
    written (``render`` drops the final one). Raises UnicodeDecodeError.

    Line ends are not translated: a lone CR counts differently from LF in the engine's line
    numbers, and the numbers in messages must match the file.
    """
    text = raw.decode("utf-8")
    if text.startswith(BYTE_ORDER_MARK):
        text = text[len(BYTE_ORDER_MARK) :]
    return text


def read_document(path: PathLike) -> str:
    """Read a document file (see ``decode_document``)."""
    with open(path, "rb") as source:
        return decode_document(source.read())


def render(
    text: str,
    steps: bool = False,
    *,
    sigfigs: int | None = None,
    units: str | None = None,
    symbols: bool = False,
) -> Document:
    """Render a document text.

    One line end at the very end of ``text`` is dropped first, as it ends the last line of a
    file rather than adding a blank line; so ``render(path.read_text())`` and
    ``render_file(path)`` give the same document. The result's ``latex`` is the engine's
    output for the rest, exactly. A failing document raises ``DocumentError``, whose
    ``__cause__`` is the engine's ``MensuratorException``; its ``problems`` list every error
    and warning of the text.

    ``steps=True``, ``sigfigs=N``, ``units="extended"`` and ``symbols=True`` act as if the
    document began with ``!steps`` (every printed expression shows its variables' values
    substituted), ``!sigfigs N``, ``!units extended`` and ``!symbols``; line numbers stay the
    text's."""
    return render_with(text, OptIns(sigfigs, units, symbols, steps))


def render_with(text: str, opt_ins: OptIns) -> Document:
    """``render`` with its options gathered."""
    text = strip_final_line_end(text)
    try:
        result = _engine.run(text, **opt_ins.run_options())
    except MensuratorException as error:
        raise failure(text, error, opt_ins) from error
    return Document(
        result.latex,
        Statements(result.statements),
        tuple(problem_from(warning) for warning in result.warnings),
    )


def failure(text: str, error: BaseException, opt_ins: OptIns = NONE) -> DocumentError:
    """The error of a failed document, with every problem the engine finds in it."""
    first = DocumentError.from_exception(error, text)
    return DocumentError(
        first.message, first.line, first.column, first.kind, first.hints, diagnose(text, opt_ins)
    )


def render_file(
    path: PathLike,
    steps: bool = False,
    *,
    sigfigs: int | None = None,
    units: str | None = None,
    symbols: bool = False,
) -> Document:
    """Render a document file (UTF-8); see ``render`` for its final line end and options."""
    return render_with(read_document(path), OptIns(sigfigs, units, symbols, steps))


def render_sources(
    sources: Iterable[Source], opt_ins: OptIns = NONE, record: bool = False
) -> list[RenderResult]:
    """The documents of texts and files, or their errors, in order: ``render`` written out for
    speed, as on small documents its calls would cost a good part of the engine's own time.

    Without ``record`` (and options) only the LaTeX is made now, and a document works out its
    statements and warnings by running its text again when they are first read: most callers
    of many small documents read only the LaTeX. With it, the run records them at once."""
    results: list[RenderResult] = []
    append = results.append
    options = opt_ins.run_options()
    run_recorded = functools.partial(_engine.run, **options) if opt_ins != NONE else _engine.run
    run_latex = mensurator_py.run_mensurator
    # The shorter engine call knows no options: with any, the run records at once.
    record = record or opt_ins != NONE
    # Document(...) without its __init__, filled through its __dict__: either costs a tenth of
    # a small document's run, and object.__setattr__ per attribute not much less.
    new = object.__new__
    remaining = iter(sources)
    text = ""
    while True:
        try:
            for source in remaining:
                text = source if isinstance(source, str) else read_document(source)
                if text.endswith(LINE_END_CHARACTERS):
                    text = strip_final_line_end(text)
                document = new(Document)
                attributes = document.__dict__
                if record:
                    result = run_recorded(text)
                    attributes["latex"] = result.latex
                    attributes[PENDING_RUN] = result
                else:
                    attributes["latex"] = run_latex(text)
                    attributes[PENDING_RUN] = text
                append(document)
            return results
        except MensuratorException as error:
            append(failure(text, error, opt_ins))


def render_many(
    sources: Iterable[Source],
    jobs: int | None = None,
    progress: Callable[[], None] | None = None,
    steps: bool = False,
    executor: Executor | None = None,
    *,
    record: bool = False,
    sigfigs: int | None = None,
    units: str | None = None,
    symbols: bool = False,
) -> list[RenderResult]:
    """Render many documents on ``jobs`` threads (default: one per processor), each with the
    options of ``render``.

    A ``str`` is a document text; a path object (``pathlib.Path``, any ``os.PathLike``) is a
    file, read as ``render_file`` does (an unreadable one raises ``OSError``). Returns, in
    input order, each document or its ``DocumentError``; ``progress``, if given, is called
    once after each document is done.

    ``executor``, any ``concurrent.futures.Executor`` (a process pool, a cluster client's
    executor), runs the work instead of threads of this process: the documents go to it in
    batches, ``jobs`` of them at least (default: one per processor here), and come back
    pickled; a file is read where its batch runs. ``progress`` is then called as each batch
    comes back, once for each of its documents.

    A document's ``statements`` and ``warnings`` are worked out when first read, by running
    its text once more; ``record=True`` records them during the render instead, for callers
    that read them for every document (always on an executor: the documents come back pickled
    with them)."""
    if jobs is not None and jobs < 1:
        raise ValueError(f"jobs must be at least 1, not {jobs}")
    opt_ins = OptIns(sigfigs, units, symbols, steps)
    items = list(sources)
    workers = min(jobs or os.cpu_count() or 1, len(items))
    if executor is not None:
        return render_on(executor, items, max(workers, 1), progress, opt_ins)

    def render_batch(batch: Sequence[Source]) -> list[RenderResult]:
        if progress is None:
            return render_sources(batch, opt_ins, record)
        results = []
        for source in batch:
            results += render_sources([source], opt_ins, record)
            progress()
        return results

    if workers <= 1:
        return render_batch(items)
    # Imported here: a single document, or one job, needs no threads.
    from concurrent.futures import ThreadPoolExecutor

    with ThreadPoolExecutor(max_workers=workers) as pool:
        batches = split(items, workers)
        return [result for batch in pool.map(render_batch, batches) for result in batch]


def split(items: list[Source], workers: int) -> list[list[Source]]:
    """Batches of at most ``BATCH_SIZE`` items, at least one per worker while there are enough."""
    size = max(min(BATCH_SIZE, -(-len(items) // workers)), 1)
    return [items[start : start + size] for start in range(0, len(items), size)]


def render_on(
    executor: Executor,
    items: list[Source],
    workers: int,
    progress: Callable[[], None] | None,
    opt_ins: OptIns,
) -> list[RenderResult]:
    """``render_many`` on someone else's executor: one task per batch, results in input order."""
    batches = split(items, workers)
    # render_sources is a module-level function, so a process pool can pickle it by name.
    futures = [executor.submit(render_sources, batch, opt_ins, True) for batch in batches]
    results: list[RenderResult] = []
    for future, batch in zip(futures, batches):
        results += future.result()
        if progress is not None:
            for _ in batch:
                progress()
    return results
