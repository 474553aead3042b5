"""``mensurator serve [FILE] [--port N] [--open] [--host ADDRESS]``: the live editor."""

from __future__ import annotations

import argparse
import ipaddress
import sys
from pathlib import Path

from .._pdf_limits import DEFAULT_TIME_LIMIT

DEFAULT_HOST = "127.0.0.1"
DEFAULT_PORT = 8765
SERVER_PACKAGES = frozenset({"starlette", "uvicorn", "anyio", "pygments", "watchfiles"})
MISSING_EXTRA = (
    "the live editor needs Starlette, uvicorn, Pygments and watchfiles, which installing "
    "mensurator brings along: pip install starlette uvicorn pygments watchfiles"
)


def port_number(text: str) -> int:
    if not text.isdigit() or int(text) > 65535:
        raise argparse.ArgumentTypeError(f"not a port number (0 to 65535): {text!r}")
    return int(text)


def positive_seconds(text: str) -> int:
    if not text.isdigit() or int(text) < 1:
        raise argparse.ArgumentTypeError(f"not a whole number of seconds (1 or more): {text!r}")
    return int(text)


def address(text: str) -> str:
    """A concrete IP address: the Host check needs the name clients use to reach the server,
    which a wildcard address such as 0.0.0.0 is not."""
    try:
        parsed = ipaddress.ip_address(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not an IP address: {text!r}") from None
    if parsed.is_unspecified:
        raise argparse.ArgumentTypeError(
            f"{text} listens everywhere; give the one address to serve on"
        )
    return str(parsed)


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="mensurator serve",
        description="Edit a calculation document in the browser and see it rendered as you type.",
    )
    parser.add_argument(
        "file",
        nargs="?",
        type=Path,
        metavar="FILE",
        help="document to edit and save (created on "
        "the first save if missing); without it the document cannot be saved",
    )
    parser.add_argument(
        "--port",
        type=port_number,
        default=DEFAULT_PORT,
        metavar="N",
        help=f"port to listen on (default {DEFAULT_PORT}; 0 picks a free one)",
    )
    parser.add_argument("--open", action="store_true", help="open the editor in a web browser")
    parser.add_argument(
        "--host",
        type=address,
        default=DEFAULT_HOST,
        metavar="ADDRESS",
        help=f"address to listen on (default {DEFAULT_HOST}, this machine only)",
    )
    parser.add_argument(
        "--pdf-time-limit",
        type=positive_seconds,
        default=DEFAULT_TIME_LIMIT,
        metavar="SECONDS",
        help=f"stop pdflatex after this many seconds (default {DEFAULT_TIME_LIMIT})",
    )
    return parser


def serve_command(arguments: list[str]) -> int:
    """Run the editor; returns the exit status (1: cannot start, 2: usage error)."""
    options = build_parser().parse_args(arguments)
    try:
        from .run import serve
        from .source_file import SourceFileError
    except ModuleNotFoundError as error:
        if (error.name or "").split(".")[0] not in SERVER_PACKAGES:
            raise
        sys.stderr.write(f"mensurator serve: error: {MISSING_EXTRA}\n")
        return 1
    if options.file is not None and options.file.is_dir():
        sys.stderr.write(f"mensurator serve: error: {options.file} is a directory\n")
        return 1
    try:
        serve(
            options.file,
            options.host,
            options.port,
            open_browser=options.open,
            pdf_time_limit=options.pdf_time_limit,
        )
    except SourceFileError as error:
        sys.stderr.write(f"mensurator serve: error: {error}\n")
        return 1
    except OSError as error:
        where = f"{options.host}:{options.port}"
        sys.stderr.write(f"mensurator serve: error: cannot listen on {where}: {error.strerror}\n")
        return 1
    return 0
