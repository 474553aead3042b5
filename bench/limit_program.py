"""The limit program (limit/limit.cpp): built on the fly, then timed on the benchmark's documents.

It does only the irreducible work on a document (split lines, parse every number, look up or
insert every name, write an output of the engine's size), so the engine's speed as a share of
its speed says how much of the engine's time goes to anything else.
"""

from __future__ import annotations

import json
import os
import shutil
import subprocess
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
SOURCE = HERE / "limit" / "limit.cpp"
BINARY = HERE.parent / "build" / "bench" / "limit"


class LimitUnavailable(Exception):
    """No compiler, or the build failed; the message says which."""


def build() -> Path:
    """The limit program, compiled now unless the binary is newer than its source."""
    if BINARY.exists() and BINARY.stat().st_mtime >= SOURCE.stat().st_mtime:
        return BINARY
    compiler = os.environ.get("CXX", "g++")
    if shutil.which(compiler) is None:
        raise LimitUnavailable(
            f"no C++ compiler ({compiler}) to build {SOURCE.relative_to(HERE.parent)}: "
            "install g++ (apt-get install g++) or set CXX; the limit columns stay empty"
        )
    BINARY.parent.mkdir(parents=True, exist_ok=True)
    command = [compiler, "-O2", "-std=c++20", str(SOURCE), "-o", str(BINARY)]
    result = subprocess.run(command, capture_output=True, text=True, check=False)
    if result.returncode != 0:
        raise LimitUnavailable(f"{' '.join(command)} failed:\n{result.stderr.strip()[-2000:]}")
    return BINARY


def measure(binary: Path, text: str, output_bytes: int, min_seconds: float) -> dict:
    """{best_s, runs, input_bytes, output_bytes, mb_per_s, ...} of the limit program on text."""
    with tempfile.NamedTemporaryFile("wb", suffix=".txt", delete=False) as f:
        f.write(text.encode("utf-8"))
        path = f.name
    try:
        result = subprocess.run(
            [str(binary), path, str(output_bytes), str(min_seconds)],
            capture_output=True,
            text=True,
            check=False,
        )
    finally:
        os.unlink(path)
    if result.returncode != 0:
        raise LimitUnavailable(f"the limit program failed: {result.stderr.strip()}")
    figures = json.loads(result.stdout)
    figures["mb_per_s"] = figures["input_bytes"] / 1e6 / figures["best_s"]
    return figures
