"""A run of parametric cases with its files: a report per case in each format asked for, the
summary ``summary.csv`` and the plots, all in one directory."""

from __future__ import annotations

import os
from collections.abc import Sequence
from concurrent.futures import ThreadPoolExecutor
from typing import TYPE_CHECKING

from ._case_plot import draw, parse_plot
from ._case_table import CaseError, CaseRows, CaseTable, run_cases
from ._document import Document
from ._paths import PathLike
from ._pdf_limits import DEFAULT_TIME_LIMIT
from ._rendering import Source
from ._report_template import ReportTemplate
from ._report_writer import EXTENSIONS, ReportSettings, write_report
from ._title_block import TitleBlock

if TYPE_CHECKING:
    from concurrent.futures import Executor

SUMMARY = "summary.csv"
TEXT_STEM = "case"


def report_stem(document: Source) -> str:
    """The start of each case's report name: the document file's name, or "case"."""
    if isinstance(document, str):
        return TEXT_STEM
    return os.path.splitext(os.path.basename(os.fspath(document)))[0] or TEXT_STEM


def write_case_files(
    table: CaseTable,
    outdir: str,
    stem: str,
    formats: Sequence[str],
    plots: Sequence[str],
    settings: ReportSettings,
    jobs: int | None = None,
) -> list[str]:
    """Write the reports of the cases that rendered, the summary and the plots into
    ``outdir`` (made if missing); returns the errors of what could not be written, the rest
    being written."""
    os.makedirs(outdir, exist_ok=True)
    errors: list[str] = []
    table.write_csv(os.path.join(outdir, SUMMARY))
    for number, request in enumerate(plots, start=1):
        try:
            x, y, name = parse_plot(request, number)
            draw(table, x, y, os.path.join(outdir, name))
        except (CaseError, OSError) as error:
            errors.append(str(error))
    work = [
        (number, result, kind)
        for number, result in enumerate(table.results, start=1)
        if isinstance(result, Document)
        for kind in formats
    ]

    def write(job: tuple[int, Document, str]) -> list[str]:
        number, document, kind = job
        path = os.path.join(outdir, f"{stem}-{number}{EXTENSIONS[kind]}")
        outcome = write_report(document, kind, path, settings, f"{stem} case {number}")
        return [f"case {number}: {error}" for error in outcome.errors]

    with ThreadPoolExecutor(jobs or os.cpu_count() or 1) as pool:
        for written in pool.map(write, work):
            errors += written
    return errors


def cases(
    document: Source,
    rows: CaseRows,
    outdir: PathLike | None = None,
    formats: Sequence[str] = (),
    plots: Sequence[str] = (),
    *,
    jobs: int | None = None,
    executor: Executor | None = None,
    title: str | None = None,
    project: str | None = None,
    author: str | None = None,
    checked_by: str | None = None,
    revision: str | None = None,
    date: str | None = None,
    template: PathLike | None = None,
    reference_doc: PathLike | None = None,
    display: bool = False,
    time_limit: float = DEFAULT_TIME_LIMIT,
) -> CaseTable:
    """Run the cases of ``rows`` (a CSV file, or mappings of column to value) for ``document``
    (a text, or a path) on all processors (``jobs``, or any ``executor``; see
    ``render_many``) and return their summary.

    With ``outdir``, also write there ``summary.csv``, a report per case in each of
    ``formats`` ("tex", "pdf", "html", "docx"), named ``NAME-N.EXT`` after the document, with
    the header fields given, and each of ``plots`` (``"X:Y"`` or ``"X:Y=FILE.svg"``). Raises
    CaseError when the cases do not fit the document, and after writing everything else when
    something could not be written (every failure in its message); a case that fails to
    render has its error in the summary's ``error`` column."""
    unknown = [kind for kind in formats if kind not in EXTENSIONS]
    if unknown:
        raise ValueError(f"unknown format {unknown[0]!r}; the formats are {', '.join(EXTENSIONS)}")
    table = run_cases(document, rows, jobs, executor)
    if outdir is None:
        return table
    settings = ReportSettings(
        TitleBlock(title, project, author, checked_by, revision, date),
        None if template is None else ReportTemplate.read(template),
        None if reference_doc is None else os.fspath(reference_doc),
        display,
        time_limit,
    )
    errors = write_case_files(
        table, os.fspath(outdir), report_stem(document), formats, plots, settings, jobs
    )
    if errors:
        raise CaseError("; ".join(errors))
    return table
