"""The ``mensurator`` command: render document files to LaTeX."""

from __future__ import annotations

import argparse
import sys
from typing import Sequence

from .engine import render_file


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="mensurator", description="Render calculation documents to LaTeX."
    )
    parser.add_argument("files", nargs="+", metavar="FILE", help="calculation document (UTF-8)")
    return parser


def main(argv: Sequence[str] | None = None) -> int:
    options = build_parser().parse_args(argv)
    status = 0
    for name in options.files:
        try:
            document = render_file(name)
        except Exception as error:  # the engine's class is caught by its base for now
            sys.stderr.write(f"{name}: {str(error).rstrip()}\n")
            status = 1
            continue
        sys.stdout.write(document.latex + "\n")
    return status
