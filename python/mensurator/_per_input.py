"""``mensurator --outdir DIR [-o] [--pdf] [--html] [--docx] FILE...``: one output per input and
format, named after the input, made on ``--jobs`` threads (pdflatex and pandoc run as
processes of their own). A failing input is reported and the others are still written; the
reports come in the order of the inputs, after the progress bar."""

from __future__ import annotations

import argparse
import os
import sys
from concurrent.futures import ThreadPoolExecutor

from ._check_summary import check_summary, failed_checks
from ._cli import (
    FILE_OUTPUTS,
    FORMAT_OF_OUTPUT,
    STDIN,
    Source,
    error_line,
    has_report_options,
    html_title,
    outcome_text,
    read_source,
    report,
    settings_or_report,
)
from ._diagnostics import format_error
from ._errors import DocumentError
from ._output_file import first_input_written
from ._problem_report import fails, format_problems
from ._progress import Progress
from ._rendering import RenderResult, render_many
from ._report_writer import EXTENSIONS, ReportSettings, write_report

Targets = list[tuple[str, str]]


def output_paths(outdir: str, names: list[str], kinds: list[str]) -> dict[str, Targets]:
    """Each input's outputs: the format and the path ``DIR/STEM.EXT`` for every kind."""
    paths: dict[str, Targets] = {}
    for name in names:
        stem = os.path.splitext(os.path.basename(name))[0]
        paths[name] = [(kind, os.path.join(outdir, stem + EXTENSIONS[kind])) for kind in kinds]
    return paths


def clash(paths: dict[str, Targets]) -> str | None:
    """Why the outputs cannot be written as planned: two inputs with the same output, or an
    output that is an input; None if they can."""
    owners: dict[str, str] = {}
    for name, targets in paths.items():
        for _, path in targets:
            other = owners.setdefault(os.path.normpath(path), name)
            if other != name:
                return f"{other} and {name} would both be written to {path}"
    outputs = (path for targets in paths.values() for _, path in targets)
    overwritten = first_input_written(outputs, list(paths), STDIN)
    if overwritten is not None:
        path, name = overwritten
        return f"the output {path} is the input {name}: it would be overwritten"
    return None


def per_input_command(parser: argparse.ArgumentParser, options: argparse.Namespace) -> int:
    if STDIN in options.files:
        parser.error(
            f"--outdir names each output after its input; standard input ({STDIN}) has no name"
        )
    kinds = [FORMAT_OF_OUTPUT[name] for name in FILE_OUTPUTS if getattr(options, name)] or ["tex"]
    # The same file given twice is written once.
    names = list(dict.fromkeys(options.files))
    paths = output_paths(options.outdir, names, kinds)
    problem = clash(paths)
    if problem is not None:
        parser.error(problem)
    settings = (
        settings_or_report(options)
        if has_report_options(options)
        else ReportSettings(display=options.display, time_limit=options.pdf_time_limit)
    )
    if settings is None:
        return 1
    try:
        os.makedirs(options.outdir, exist_ok=True)
    except OSError as error:
        report(f"cannot make the directory {options.outdir}: {error.strerror or error}")
        return 1

    sources = [read_source(name) for name in names]
    texts = [source.text for source in sources if source.text is not None]
    rendered = iter(
        render_many(
            texts,
            options.jobs,
            steps=options.steps,
            record=True,
            sigfigs=options.sigfigs,
            units=options.units,
            symbols=options.symbols,
        )
    )
    results = [None if s.text is None else next(rendered) for s in sources]
    workers = options.jobs or os.cpu_count() or 1
    with Progress(len(sources), sys.stderr) as progress, ThreadPoolExecutor(workers) as pool:

        def finish(source: Source, result: RenderResult | None) -> tuple[bool, str]:
            try:
                return finish_input(source, result, paths[source.name], settings, options)
            finally:
                progress.advance()

        outcomes = list(pool.map(finish, sources, results))
    for _, text in outcomes:
        sys.stderr.write(text)
    return 0 if all(ok for ok, _ in outcomes) else 1


def finish_input(
    source: Source,
    result: RenderResult | None,
    targets: Targets,
    settings: ReportSettings,
    options: argparse.Namespace,
) -> tuple[bool, str]:
    """Write one input's outputs; whether all were written, and what to report about it."""
    name = source.shown_name
    if source.text is None or result is None:
        return False, error_line(f"cannot read {name}: {source.unreadable}")
    if isinstance(result, DocumentError):
        problems = result.problems
        text = (
            ""
            if any(p.severity == "error" for p in problems)
            else format_error(result, source.text, name)
        )
        return False, text + format_problems(problems, source.text, name, options.warnings)
    messages = format_problems(result.warnings, source.text, name, options.warnings)
    if fails(result.warnings, options.warnings):
        return False, messages
    messages += check_summary(result.statements, source.text, name)
    ok = not (options.fail_on_check and failed_checks(result.statements))
    for kind, path in targets:
        outcome = write_report(result, kind, path, settings, html_title(source.name))
        messages += outcome_text(outcome)
        ok = ok and not outcome.errors
    return ok, messages
