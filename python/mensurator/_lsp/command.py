"""``mensurator lsp [--stdio]``: the language server for editors."""

from __future__ import annotations

import argparse
import sys

LSP_PACKAGES = frozenset({"pygls", "lsprotocol", "cattrs"})
MISSING_EXTRA = "the language server needs pygls: pip install 'mensurator_py[lsp]'"


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="mensurator lsp",
        description="Serve the Language Server Protocol on standard input and output: "
        "diagnostics, hover, completion, definitions, symbols and fixes for documents.",
    )
    # Many clients pass it; standard input and output is the one transport.
    parser.add_argument("--stdio", action="store_true", help="talk over stdin and stdout")
    return parser


def lsp_command(arguments: list[str]) -> int:
    """Serve one client until it exits; returns the exit status (1: pygls is missing)."""
    build_parser().parse_args(arguments)
    try:
        from .server import server
    except ModuleNotFoundError as error:
        if (error.name or "").split(".")[0] not in LSP_PACKAGES:
            raise
        sys.stderr.write(f"mensurator lsp: error: {MISSING_EXTRA}\n")
        return 1
    server.start_io()
    return 0
