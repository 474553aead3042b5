"""``mensurator cases FILE CASES.csv --outdir DIR``: the document once per row of the cases,
a report per case in the formats chosen, ``DIR/summary.csv`` and plots."""

from __future__ import annotations

import argparse
import sys
from pathlib import Path

from ._case_study import report_stem, write_case_files
from ._case_table import CaseError, run_cases
from ._cli import (
    FILE_OUTPUTS,
    FORMAT_OF_OUTPUT,
    PROG,
    add_report_options,
    positive_int,
    report,
    settings_or_report,
)
from ._errors import DocumentError
from ._pdf_limits import DEFAULT_TIME_LIMIT
from ._rendering import read_document


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog=f"{PROG} cases",
        description="Render a document once per row of a CSV file of cases: its header names "
        "variables the document defines, each row gives them values as document text "
        "(6 m). Writes DIR/summary.csv with every printed value per case, a report per case "
        "in each format chosen (NAME-N.EXT) and the plots asked for.",
    )
    parser.add_argument("file", metavar="FILE", help="calculation document (UTF-8)")
    parser.add_argument("cases", metavar="CASES.csv", help="the cases, one a row")
    parser.add_argument("--outdir", metavar="DIR", required=True, help="where to write")
    formats = parser.add_argument_group("reports per case")
    for destination, (*flags, _, summary) in FILE_OUTPUTS.items():
        formats.add_argument(*flags, dest=destination, action="store_true", help=summary)
    parser.add_argument(
        "--plot",
        action="append",
        default=[],
        metavar="X:Y[=FILE]",
        help="draw Y against X over the cases (printed values or columns) to DIR/FILE, "
        ".png or .svg (default plot.png); needs matplotlib",
    )
    parser.add_argument("--display", action="store_true", help="display math in the reports")
    parser.add_argument(
        "-j", "--jobs", type=positive_int, metavar="N", help="run N cases at a time"
    )
    parser.add_argument(
        "--pdf-time-limit",
        type=positive_int,
        default=DEFAULT_TIME_LIMIT,
        metavar="SECONDS",
        help=f"stop pdflatex and pandoc after this many seconds (default {DEFAULT_TIME_LIMIT})",
    )
    add_report_options(parser)
    return parser


def cases_command(arguments: list[str]) -> int:
    options = build_parser().parse_args(arguments)
    settings = settings_or_report(options)
    if settings is None:
        return 1
    formats = [FORMAT_OF_OUTPUT[name] for name in FILE_OUTPUTS if getattr(options, name)]
    try:
        table = run_cases(read_document(options.file), options.cases, options.jobs)
    except OSError as error:
        report(f"cannot read {options.file}: {error.strerror or error}")
        return 1
    except UnicodeDecodeError as error:
        report(f"cannot read {options.file}: not UTF-8 text ({error.reason})")
        return 1
    except DocumentError as error:
        report(f"{options.file}: the document itself fails: {error}")
        return 1
    except CaseError as error:
        report(str(error))
        return 1
    try:
        errors = write_case_files(
            table,
            options.outdir,
            report_stem(Path(options.file)),
            formats,
            options.plot,
            settings,
            options.jobs,
        )
    except OSError as error:
        report(f"cannot write into {options.outdir}: {error.strerror or error}")
        return 1
    failed = [
        f"case {number}: {result}"
        for number, result in enumerate(table.results, start=1)
        if isinstance(result, DocumentError)
    ]
    for message in failed + errors:
        report(message)
    sys.stderr.flush()
    return 1 if failed or errors else 0
