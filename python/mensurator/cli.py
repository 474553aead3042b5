"""The ``mensurator`` command: render calculation documents to LaTeX, a body or a PDF.

    mensurator FILE... [-o OUT.tex | --pdf OUT.pdf | --html OUT.html | --body | --json]
               [--display] [-W error | -W ignore] [--jobs N]
    mensurator serve [FILE] [--port N] [--open] [--host ADDRESS]
    mensurator lsp [--stdio]

Rendering is the default command. Other commands are looked up by the first argument in
``COMMANDS``; a document file with such a name is given as ``./NAME``. Exit status: 0 on
success, 1 when a document fails or a file cannot be read or written, 2 for a usage error.
"""

from __future__ import annotations

import argparse
import os
import sys
from collections.abc import Sequence
from dataclasses import dataclass
from typing import Callable

from .diagnostics import format_error
from .document import Document
from .engine import RenderResult, decode_document, read_document, render_many
from .errors import DocumentError
from .json_output import document_json
from .output_file import input_written_to, replace_file, write_fully
from .pdf_limits import DEFAULT_TIME_LIMIT
from .printable import printable
from .problem_report import WARNING_MODES, fails, format_problems, shown
from .progress import Progress

PROG = "mensurator"
DISTRIBUTION = "mensurator_py"
STDIN = "-"
STDIN_NAME = "<stdin>"


def serve_command(arguments: list[str]) -> int:
    from .server.command import serve_command as serve  # the server only when it is asked for

    return serve(arguments)


def lsp_command(arguments: list[str]) -> int:
    from .lsp.command import lsp_command as lsp  # pygls only when it is asked for

    return lsp(arguments)


# Commands other than rendering, by name: each takes the arguments after its name and returns
# the exit status. Their summaries are listed by --help.
COMMANDS: dict[str, Callable[[list[str]], int]] = {"serve": serve_command, "lsp": lsp_command}
COMMAND_SUMMARIES = {
    "serve [FILE]": "edit a document in the browser, rendered as you type",
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


def build_parser() -> argparse.ArgumentParser:
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
    output = parser.add_argument_group("output").add_mutually_exclusive_group()
    output.add_argument("-o", "--output", metavar="OUT.tex", help="write the LaTeX to a file")
    output.add_argument("--pdf", metavar="OUT.pdf", help="compile to a PDF with pdflatex")
    output.add_argument(
        "--html", metavar="OUT.html", help="write one self-contained HTML page (no TeX needed)"
    )
    output.add_argument("--body", action="store_true", help="print only the document body")
    output.add_argument(
        "--json",
        action="store_true",
        help="print the statements, values, warnings and errors as JSON (schema 1)",
    )
    parser.add_argument(
        "--display",
        action="store_true",
        help="set every math line as display math, like a hand calculation sheet",
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
        help=f"stop pdflatex after this many seconds (default {DEFAULT_TIME_LIMIT})",
    )
    return parser


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
    parser = build_parser()
    options = parser.parse_args(arguments)
    if (options.output or options.pdf or options.html) and len(options.files) > 1:
        parser.error("-o, --pdf and --html take a single FILE")
    if options.files.count(STDIN) > 1:
        parser.error(f"standard input ({STDIN}) can be read only once")
    if options.json and options.display:
        parser.error("--display does not apply to --json")
    target = options.output or options.pdf or options.html
    overwritten = None
    if target not in (None, STDIN):
        overwritten = input_written_to(target, options.files, STDIN)
    if overwritten is not None:
        shown_input = STDIN_NAME if overwritten == STDIN else overwritten
        parser.error(f"the output {target} is the input {shown_input}: it would be overwritten")

    sources = [read_source(name) for name in options.files]
    texts = [source.text for source in sources if source.text is not None]
    with Progress(len(texts), sys.stderr) as progress:
        results = iter(render_many(texts, options.jobs, progress.advance))

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
        return document is not None
    if isinstance(result, DocumentError) and not any(p.severity == "error" for p in problems):
        # An error the engine's diagnosis does not list is still reported.
        sys.stderr.write(format_error(result, text, name))
    sys.stderr.write(format_problems(problems, text, name, options.warnings))
    return document is not None and write_result(document, options)


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
    if options.html:
        return write_html(document, options.html, options.files[0])
    if options.display:
        document = Document(document.display_latex)
    target = options.pdf or (options.output if options.output != STDIN else None)
    from .pdf import PdfError  # subprocess and tempfile only when a PDF is made

    try:
        if target is None:
            text = document.body if options.body else document.latex
            write_stdout(text if text.endswith("\n") else text + "\n")
        elif options.pdf:
            document.to_pdf(target, time_limit=options.pdf_time_limit)
        else:
            replace_file(target, (document.latex + "\n").encode("utf-8"))
    except PdfError as error:
        report(str(error))
        return False
    except BrokenPipeError:
        raise  # the reader went away: quiet, see main
    except OSError as error:
        report(f"cannot write {target or 'standard output'}: {error.strerror or error}")
        return False
    return True


def write_html(document: Document, path: str, name: str) -> bool:
    """The HTML page (always display math, so --display changes nothing); the statements it
    shows as LaTeX source are named on standard error."""
    from .html.report import page, write_page  # the MathML converter only for a page

    title = STDIN_NAME if name == STDIN else os.path.basename(name)
    try:
        if path == STDIN:
            rendered = page(document.body, title)
            write_stdout(rendered.html)
            unconverted = rendered.unconverted
        else:
            unconverted = write_page(document.body, path, title)
    except BrokenPipeError:
        raise
    except OSError as error:
        where = "standard output" if path == STDIN else path
        report(f"cannot write {where}: {error.strerror or error}")
        return False
    for latex in unconverted:
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
    sys.stderr.write(f"{PROG}: error: {printable(message)}\n")
