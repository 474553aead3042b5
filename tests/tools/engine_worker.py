#!/usr/bin/env python3
"""Engine worker of the differential driver: runs each document of a batch through one
`mensurator_py` and answers every outcome in the framing of framing.py.

    python engine_worker.py                 # the installed module
    python engine_worker.py --path DIR      # the module built into DIR (build_engine.py)

The worker loads the module only from DIR when given: both engines share the module name, so
silently falling back to the installed one would compare the current engine with itself.
"""

from __future__ import annotations

import argparse
import importlib
import signal
import sys
from collections.abc import Callable
from pathlib import Path
from typing import BinaryIO

sys.path.insert(0, str(Path(__file__).resolve().parent))

import framing


def outcome(run: Callable[[str], str], document: str) -> bytes:
    """One answer frame: the document, or the exception's class and message (internal errors,
    which derive from BaseException, included)."""
    try:
        return framing.answer_bytes(framing.RESULT, framing.encode(run(document)))
    except (KeyboardInterrupt, SystemExit):
        raise
    except BaseException as error:
        name = f"{type(error).__module__}.{type(error).__qualname__}"
        return framing.answer_bytes(framing.ERROR, framing.encode(f"{name}\n{error}"))


def serve(run: Callable[[str], str], module_file: str, source: BinaryIO, sink: BinaryIO) -> None:
    """Answer batches until a batch of 0 documents or the end of the input."""
    # Ctrl-C reaches the whole process group; the driver handles it and closes the pipes.
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    sink.write(framing.answer_bytes(framing.HELLO, framing.encode(module_file)))
    sink.flush()
    while True:
        try:
            documents = framing.read_batch(source)
        except EOFError:
            return
        if not documents:
            return
        sink.write(b"".join(outcome(run, document) for document in documents))
        sink.flush()


def load(path: str | None) -> tuple[Callable[[str], str], str]:
    if path is not None:
        sys.path.insert(0, path)
    module = importlib.import_module("mensurator_py")
    module_file = str(Path(module.__file__ or "").resolve())
    if path is not None and not module_file.startswith(str(Path(path).resolve())):
        raise SystemExit(f"engine_worker: mensurator_py came from {module_file}, not from {path}")
    return module.run_mensurator, module_file


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description="answers batches of documents on stdin")
    parser.add_argument("--path", help="directory to load mensurator_py from")
    args = parser.parse_args(argv)
    run, module_file = load(args.path)
    serve(run, module_file, sys.stdin.buffer, sys.stdout.buffer)
    return 0


if __name__ == "__main__":
    sys.exit(main())
