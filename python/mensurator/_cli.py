"""The ``mensurator`` command: render calculation documents to LaTeX, a body or a PDF.

    mensurator FILE... [-o OUT.tex | --pdf OUT.pdf | --html OUT.html | --docx OUT.docx
                       | --body | --json] [--display] [--steps] [--fail-on-check]
                       [-W error | -W ignore] [--jobs N]
                       [--sigfigs N] [--units extended] [--symbols]
                       [--title TEXT ...] [--template FILE] [--reference-doc FILE.docx]
    mensurator --outdir DIR [-o] [--pdf] [--html] [--docx] FILE... [options as above]
    mensurator cases FILE CASES.csv --outdir DIR [...]
    mensurator serve [FILE] [--port N] [--open] [--host ADDRESS]
    mensurator units [--json]
    mensurator lsp [--stdio]

Rendering is the default command. Other commands are looked up by the first argument in
``COMMANDS``; a document file with such a name is given as ``./NAME``. Exit status: 0 on
success, 1 when a document fails or a file cannot be read or written (or, with
--fail-on-check, a check statement does not hold), 2 for a usage error. A document with check
statements gets a summary of their verdicts on standard error.
"""

from __future__ import annotations

import argparse
import os
import sys
from collections.abc import Sequence
from dataclasses import dataclass
from typing import TYPE_CHECKING, Callable

from ._check_summary import check_summary, failed_checks
from ._diagnostics import format_error
from ._document import Document
from ._errors import DocumentError
from ._json_output import document_json
from ._opt_ins import MAX_SIGFIGS, UNIT_TABLES
from ._output_file import input_written_to, write_fully
from ._pdf_limits import DEFAULT_TIME_LIMIT
from ._printable import printable
from ._problem_report import WARNING_MODES, fails, format_problems, shown
from ._progress import Progress
from ._rendering import RenderResult, decode_document, read_document, render_many

if TYPE_CHECKING:
    from ._report_writer import Outcome, ReportSettings

PROG = "mensurator"
DISTRIBUTION = "mensurator_py"
STDIN = "-"
STDIN_NAME = "<stdin>"


def serve_command(arguments: list[str]) -> int:
    from ._server.command import serve_command as serve  # the server only when it is asked for

    return serve(arguments)


def lsp_command(arguments: list[str]) -> int:
    from ._lsp.command import lsp_command as lsp  # pygls only when it is asked for

    return lsp(arguments)


# Commands other than rendering, by name: each takes the arguments after its name and returns
# the exit status. Their summaries are listed by --help.
def cases_command(arguments: list[str]) -> int:
    from ._cases_command import cases_command as run  # the cases and their plots when asked

    return run(arguments)


def units_command(arguments: list[str]) -> int:
    from ._tables import units_command as list_units

    return list_units(arguments)


COMMANDS: dict[str, Callable[[list[str]], int]] = {
    "serve": serve_command,
    "cases": cases_command,
    "units": units_command,
    "lsp": lsp_command,
}
COMMAND_SUMMARIES = {
    "serve [FILE]": "edit a document in the browser, rendered as you type",
    "cases FILE CASES.csv": "the document once per row of a CSV file: reports and a summary",
    "units [--json]": "list every unit, prefix and function the engine knows",
    "lsp": "language server for editors, on standard input and output",
}


class VersionAction(argparse.Action):
    """--version, with the version looked up only when it is asked for."""

    def __init__(self, option_strings: Sequence[str], dest: str, help: str) -> None:
        super().__init__(option_strings, dest, nargs=0, help=help)

    def __call__(self, parser: argparse.ArgumentParser, *_: object) -> None:
        from importlib.metadata import version

        sys.stdout.write(f"{PROG} {version(DISTRIBUTION)}\n")
        parser.exit()


@dataclass
class Source:
    """One input: its name as given, and its text once read or why it could not be read."""

    name: str
    text: str | None = None
    unreadable: str | None = None

    @property
    def shown_name(self) -> str:
        return STDIN_NAME if self.name == STDIN else self.name


def positive_int(text: str) -> int:
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a whole number: {text!r}") from None
    if value < 1:
        raise argparse.ArgumentTypeError(f"must be at least 1, not {value}")
    return value


def sigfig_count(text: str) -> int:
    value = positive_int(text)
    if value > MAX_SIGFIGS:
        raise argparse.ArgumentTypeError(f"must be at most {MAX_SIGFIGS}, not {value}")
    return value


def build_parser(per_input: bool = False) -> argparse.ArgumentParser:
    """The rendering command's options; with ``per_input`` (``--outdir`` given) the output
    options are flags, since each input's output is named after it."""
    commands = "\n".join(f"  {usage:<20}{summary}" for usage, summary in COMMAND_SUMMARIES.items())
    parser = argparse.ArgumentParser(
        prog=PROG,
        description="Render calculation documents to LaTeX (on standard output by default).",
        epilog=f"other commands ({PROG} COMMAND --help for their options):\n{commands}",
        formatter_class=argparse.RawDescriptionHelpFormatter,
    )
    parser.add_argument("--version", action=VersionAction, help="print the version and exit")
    parser.add_argument(
        "files",
        nargs="+",
        metavar="FILE",
        help=f"calculation document (UTF-8); {STDIN} reads standard input",
    )
    output = add_output_options(parser, per_input)
    if per_input:  # each output per input is a file
        parser.set_defaults(body=False, json=False)
    else:
        output.add_argument("--body", action="store_true", help="print only the document body")
        output.add_argument(
            "--json",
            action="store_true",
            help="print the statements, values, warnings and errors as JSON (schema 1)",
        )
    language = parser.add_argument_group(
        "language extensions", "each acts as if the document began with that directive line"
    )
    language.add_argument(
        "--sigfigs", type=sigfig_count, metavar="N", help="!sigfigs N: N significant figures"
    )
    language.add_argument(
        "--units", choices=UNIT_TABLES, help="!units extended: US customary and more units"
    )
    language.add_argument(
        "--symbols", action="store_true", help="!symbols: units and functions as printed matter"
    )
    parser.add_argument(
        "--display",
        action="store_true",
        help="set every math line as display math, like a hand calculation sheet",
    )
    parser.add_argument(
        "--steps",
        action="store_true",
        help="show substitution steps, as if every file began with !steps",
    )
    parser.add_argument(
        "--fail-on-check",
        action="store_true",
        help="exit with status 1 when a check statement does not hold",
    )
    parser.add_argument(
        "-W",
        dest="warnings",
        choices=WARNING_MODES[1:],
        default=WARNING_MODES[0],
        help="error: warnings fail the document; ignore: do not report them",
    )
    parser.add_argument(
        "-j", "--jobs", type=positive_int, metavar="N", help="render N files at a time"
    )
    parser.add_argument(
        "--pdf-time-limit",
        type=positive_int,
        default=DEFAULT_TIME_LIMIT,
        metavar="SECONDS",
        help=f"stop pdflatex (and pandoc) after this many seconds (default {DEFAULT_TIME_LIMIT})",
    )
    add_report_options(parser)
    return parser


# The output options that name a file, by their destination: the format's name and the
# metavar of the file.
FILE_OUTPUTS = {
    "output": ("-o", "--output", "OUT.tex", "write the LaTeX to a file"),
    "pdf": ("--pdf", "OUT.pdf", "compile to a PDF with pdflatex"),
    "html": ("--html", "OUT.html", "write one self-contained HTML page (no TeX needed)"),
    "docx": ("--docx", "OUT.docx", "write a Word document with native equations (needs pandoc)"),
}
FORMAT_OF_OUTPUT = {"output": "tex", "pdf": "pdf", "html": "html", "docx": "docx"}


def add_output_options(
    parser: argparse.ArgumentParser, per_input: bool
) -> argparse._ActionsContainer:
    """The output options; returns the group that other output choices are added to (of
    which only one may be given, unless they are per-input flags)."""
    group = parser.add_argument_group("output")
    exclusive: argparse._ActionsContainer = group
    if per_input:
        for destination, (*flags, metavar, summary) in FILE_OUTPUTS.items():
            extension = metavar.split(".")[-1]
            group.add_argument(
                *flags,
                dest=destination,
                action="store_true",
                help=f"{summary}: DIR/NAME.{extension}",
            )
    else:
        exclusive = group.add_mutually_exclusive_group()
        for destination, (*flags, metavar, summary) in FILE_OUTPUTS.items():
            exclusive.add_argument(*flags, dest=destination, metavar=metavar, help=summary)
    exclusive.add_argument(
        "--outdir",
        metavar="DIR",
        help="write one output per FILE into DIR, named after it; -o, --pdf, --html and --docx "
        "are then flags choosing the formats (LaTeX if none)",
    )
    return exclusive


def add_report_options(parser: argparse.ArgumentParser) -> None:
    """The report header, the office's template and Word styles (also for ``cases``)."""
    header = parser.add_argument_group(
        "report header", "a title block on PDF, HTML and Word reports (and in the LaTeX)"
    )
    for name in HEADER_FIELDS:
        header.add_argument(f"--{name.replace('_', '-')}", dest=name, metavar="TEXT")
    header.add_argument(
        "--template",
        metavar="FILE",
        help="LaTeX template of your own (Jinja2: \\VAR{body}, \\VAR{title}, ...) for -o and --pdf",
    )
    header.add_argument(
        "--reference-doc", metavar="FILE.docx", help="Word document whose styles --docx uses"
    )


HEADER_FIELDS = ("title", "project", "author", "checked_by", "revision", "date")


def per_input_requested(arguments: list[str]) -> bool:
    """Whether the arguments ask for --outdir, which changes what the output options take."""
    pre = argparse.ArgumentParser(add_help=False)
    pre.add_argument("--outdir")
    known, _ = pre.parse_known_args(arguments)
    return known.outdir is not None


def report_settings(options: argparse.Namespace) -> ReportSettings:
    """The header, template and layout of every report of this run; raises TemplateError."""
    from ._report_template import ReportTemplate
    from ._report_writer import ReportSettings
    from ._title_block import TitleBlock

    block = TitleBlock(*(getattr(options, name) for name in HEADER_FIELDS))
    template = None if options.template is None else ReportTemplate.read(options.template)
    return ReportSettings(
        block, template, options.reference_doc, options.display, options.pdf_time_limit
    )


def main(argv: Sequence[str] | None = None) -> int:
    arguments = list(sys.argv[1:] if argv is None else argv)
    try:
        if arguments and arguments[0] in COMMANDS:
            return COMMANDS[arguments[0]](arguments[1:])
        return render_command(arguments)
    except KeyboardInterrupt:
        return 130
    except BrokenPipeError:
        # The reader went away (mensurator FILE | head): stop quietly, and keep Python from
        # reporting the failed flush of standard output at exit.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 1


def render_command(arguments: list[str]) -> int:
    per_input = per_input_requested(arguments)
    parser = build_parser(per_input)
    options = parser.parse_args(arguments)
    if options.files.count(STDIN) > 1:
        parser.error(f"standard input ({STDIN}) can be read only once")
    if options.json and options.display:
        parser.error("--display does not apply to --json")
    if per_input:
        from ._per_input import per_input_command  # only for --outdir

        return per_input_command(parser, options)
    targets = [options.output, options.pdf, options.html, options.docx]
    if any(targets) and len(options.files) > 1:
        parser.error("-o, --pdf, --html and --docx take a single FILE (or use --outdir DIR)")
    target = next((path for path in targets if path), None)
    overwritten = None
    if target not in (None, STDIN):
        overwritten = input_written_to(target, options.files, STDIN)
    if overwritten is not None:
        shown_input = STDIN_NAME if overwritten == STDIN else overwritten
        parser.error(f"the output {target} is the input {shown_input}: it would be overwritten")
    options.settings = None
    if has_report_options(options):
        options.settings = settings_or_report(options)
        if options.settings is None:
            return 1

    sources = [read_source(name) for name in options.files]
    texts = [source.text for source in sources if source.text is not None]
    with Progress(len(texts), sys.stderr) as progress:
        results = iter(
            render_many(
                texts,
                options.jobs,
                progress.advance,
                options.steps,
                record=True,
                sigfigs=options.sigfigs,
                units=options.units,
                symbols=options.symbols,
            )
        )

    # Everything is reported in the order of the files on the command line.
    status = 0
    for source in sources:
        if source.text is None:
            report(f"cannot read {source.shown_name}: {source.unreadable}")
            status = 1
            continue
        if not finish_document(next(results), source.text, source.shown_name, options):
            status = 1
    return status


def has_report_options(options: argparse.Namespace) -> bool:
    return (
        options.template is not None
        or options.reference_doc is not None
        or any(getattr(options, name) is not None for name in HEADER_FIELDS)
    )


def settings_or_report(options: argparse.Namespace) -> ReportSettings | None:
    """The run's report settings, or None once an unusable template is reported."""
    from ._report_template import TemplateError

    try:
        return report_settings(options)
    except TemplateError as error:
        report(str(error))
        return None


def finish_document(
    result: RenderResult, text: str, name: str, options: argparse.Namespace
) -> bool:
    """Report a document's errors and warnings and write it where the options say; False
    when it failed (an error, or a warning under -W error) or could not be written."""
    document: Document | None = None
    if isinstance(result, DocumentError):
        problems = result.problems
    else:
        problems = result.warnings
        document = None if fails(problems, options.warnings) else result
    if options.json:
        record = document_json(
            name,
            None if document is None else document.latex,
            () if document is None else document.statements,
            shown(problems, options.warnings),
        )
        write_stdout(record + "\n")
        return document is not None and checks_hold(document, text, name, options)
    if isinstance(result, DocumentError) and not any(p.severity == "error" for p in problems):
        # An error the engine's diagnosis does not list is still reported.
        sys.stderr.write(format_error(result, text, name))
    sys.stderr.write(format_problems(problems, text, name, options.warnings))
    if document is None:
        return False
    written = write_result(document, options)
    return checks_hold(document, text, name, options) and written


def checks_hold(document: Document, text: str, name: str, options: argparse.Namespace) -> bool:
    """Summarise the document's checks on standard error; False when one fails and the
    options make that a failure."""
    sys.stderr.write(check_summary(document.statements, text, name))
    return not (options.fail_on_check and failed_checks(document.statements))


def read_source(name: str) -> Source:
    source = Source(name)
    try:
        if name == STDIN:
            source.text = decode_document(sys.stdin.buffer.read())
        else:
            source.text = read_document(name)
    except OSError as error:
        source.unreadable = error.strerror or str(error)
    except UnicodeDecodeError as error:
        source.unreadable = f"not UTF-8 text ({error.reason} at byte {error.start})"
    return source


def write_result(document: Document, options: argparse.Namespace) -> bool:
    """Write one rendered document where the options say; False after a reported failure."""
    settings: ReportSettings | None = options.settings
    if options.html == STDIN:
        return write_html_stdout(document, options.files[0], settings)
    for destination, path in ((name, getattr(options, name)) for name in FILE_OUTPUTS):
        if path and path != STDIN:
            return write_file(document, FORMAT_OF_OUTPUT[destination], path, options)
    if options.display:
        document = Document(document.display_latex)
    try:
        if options.body:
            text = document.body
        else:
            text = document.latex if settings is None else settings.latex(document)
        write_stdout(text if text.endswith("\n") else text + "\n")
    except BrokenPipeError:
        raise  # the reader went away: quiet, see main
    except OSError as error:
        report(f"cannot write standard output: {error.strerror or error}")
        return False
    return True


def write_file(document: Document, kind: str, path: str, options: argparse.Namespace) -> bool:
    """Write the document to the file ``path`` as ``kind``; False after a reported failure."""
    from ._report_writer import ReportSettings, write_report

    settings = options.settings or ReportSettings(
        display=options.display, time_limit=options.pdf_time_limit
    )
    return emit(write_report(document, kind, path, settings, html_title(options.files[0])))


def emit(outcome: Outcome) -> bool:
    """Report what writing a report said; True when it was written."""
    sys.stderr.write(outcome_text(outcome))
    return not outcome.errors


def outcome_text(outcome: Outcome) -> str:
    """The lines that report what writing a report said."""
    return "".join(map(warning_line, outcome.warnings)) + "".join(map(error_line, outcome.errors))


def html_title(name: str) -> str:
    return STDIN_NAME if name == STDIN else os.path.basename(name)


def write_html_stdout(document: Document, name: str, settings: ReportSettings | None) -> bool:
    """The HTML page on standard output (always display math, so --display changes nothing);
    the statements it shows as LaTeX source are named on standard error."""
    from ._html.report import page  # the MathML converter only for a page
    from ._title_block import NO_TITLE_BLOCK

    block = NO_TITLE_BLOCK if settings is None else settings.block
    try:
        rendered = page(document.body, block.title or html_title(name), block)
        write_stdout(rendered.html)
    except BrokenPipeError:
        raise
    except OSError as error:
        report(f"cannot write standard output: {error.strerror or error}")
        return False
    for latex in rendered.unconverted:
        sys.stderr.write(
            f"{PROG}: warning: not converted to MathML, shown as LaTeX: {printable(latex)}\n"
        )
    return True


def write_stdout(text: str) -> None:
    """Write ``text`` whole to standard output, or raise OSError.

    The document is UTF-8 whatever the locale says, like the files it is written to. It goes
    straight to the descriptor, whose every short write is continued or fails."""
    sys.stdout.flush()
    try:
        descriptor = sys.stdout.fileno()
    except (AttributeError, OSError, ValueError):  # replaced by an object without one
        sys.stdout.write(text)
        sys.stdout.flush()
        return
    write_fully(descriptor, text.encode("utf-8"))


def report(message: str) -> None:
    sys.stderr.write(error_line(message))


def error_line(message: str) -> str:
    return f"{PROG}: error: {printable(message)}\n"


def warning_line(message: str) -> str:
    return f"{PROG}: warning: {printable(message)}\n"
