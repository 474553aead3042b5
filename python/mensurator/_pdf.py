"""Compiling a LaTeX document to PDF with ``pdflatex``, confined to a temporary directory.

A sheet may come from someone else, and its LaTeX blocks reach pdflatex verbatim. So pdflatex
runs without shell escape, may open files for reading or writing only inside its fresh working
directory (TeX's "paranoid" setting: no absolute paths, no ``..``, no hidden files; its own
classes and fonts are still found), reads nothing from standard input, stops after a time
limit, and may write no file larger than a size limit (the PDF, the log, any ``\\openout``).
"""

from __future__ import annotations

import os
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

from ._output_file import replace_file
from ._paths import PathLike
from ._pdf_limits import DEFAULT_TIME_LIMIT

PROGRAM = "pdflatex"
# The largest file pdflatex may write; a sheet's PDF and log are far smaller.
MAX_FILE_BYTES = 64 * 1024 * 1024
# Runs of pdflatex on one document: the second reads the page references the first wrote.
MAX_RUNS = 2
RERUN_MESSAGE = "Rerun to get cross-references right"
# The file-size limit is set by a shell in the child, which then becomes pdflatex: a Python
# callback between fork and exec is unsafe in a process that runs threads. The shell counts in
# blocks of 512 bytes.
SIZE_LIMITED = 'ulimit -f "$1" && shift && exec "$0" "$@"'
# Settings of TeX's path library, read from the environment before its configuration files.
CONFINED_ENVIRONMENT = {"openin_any": "p", "openout_any": "p", "shell_escape": "f"}
# pdfTeX primitives that read a file named by the document without asking the path library
# (so the paranoid setting does not stop them), by their own names and by the names that the
# LaTeX format gives its copies. Undefined before the document is read, they are an error of
# the sheet instead; the primitive of primitives would restore them.
UNCONFINED_PRIMITIVES = ("pdfobj", "pdfmapfile", "pdfmapline", "pdfprimitive")
FORMAT_COPIES = ("tex_pdfobj:D", "tex_pdfmapfile:D", "tex_pdfmapline:D", "tex_primitive:D")
PRELUDE = "".join(
    f"\\expandafter\\let\\csname {name}\\endcsname\\undefined "
    for name in UNCONFINED_PRIMITIVES + FORMAT_COPIES
)
# The paranoid setting allows absolute paths inside this folder; the user's other TeX settings
# (where the installation and its packages are) are kept.
WIDENING_VARIABLES = ("TEXMFOUTPUT",)


class PdfError(Exception):
    """The PDF could not be made: pdflatex is missing, failed, or did not finish."""


def confined_environment() -> dict[str, str]:
    environment = {
        name: value for name, value in os.environ.items() if name not in WIDENING_VARIABLES
    }
    environment.update(CONFINED_ENVIRONMENT)
    return environment


def pdflatex_command(program: str) -> list[str]:
    command = [program, "-no-shell-escape", "-interaction=nonstopmode", "-halt-on-error"]
    command += ["-jobname=document", PRELUDE + "\\input{document.tex}"]
    shell = shutil.which("sh")
    if shell is None:  # no POSIX shell: only the time limit applies
        return command
    return [shell, "-c", SIZE_LIMITED, command[0], str(MAX_FILE_BYTES // 512), *command[1:]]


def write_pdf(latex: str, output: PathLike, time_limit: float = DEFAULT_TIME_LIMIT) -> None:
    """Compile ``latex`` in a temporary directory and write the PDF to ``output`` (whole or not
    at all). pdflatex runs a second time when the first run's page references changed ("page
    x of y"); all runs together are stopped after ``time_limit`` seconds."""
    program = shutil.which(PROGRAM)
    if program is None:
        raise PdfError(f"{PROGRAM} is not installed (not found on PATH); it is needed for a PDF")
    deadline = time.monotonic() + time_limit
    with tempfile.TemporaryDirectory(prefix="mensurator-") as workdir:
        Path(workdir, "document.tex").write_text(latex, encoding="utf-8")
        log = Path(workdir, "document.log")
        for _ in range(MAX_RUNS):
            run_pdflatex(program, workdir, max(deadline - time.monotonic(), 0.0), time_limit)
            if not asks_for_rerun(log):
                break
        replace_file(output, Path(workdir, "document.pdf").read_bytes())


def run_pdflatex(program: str, workdir: str, remaining: float, time_limit: float) -> None:
    """One confined pdflatex run over document.tex; raises PdfError unless it made a PDF."""
    try:
        # Its terminal output repeats the log, which is read instead: nothing is kept in
        # memory, however much a looping document prints.
        completed = subprocess.run(
            pdflatex_command(program),
            cwd=workdir,
            env=confined_environment(),
            stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
            timeout=remaining,
            check=False,
        )
    except subprocess.TimeoutExpired:
        raise PdfError(
            f"{PROGRAM} did not finish within {time_limit:g} seconds (a LaTeX block that loops?)"
        ) from None
    if completed.returncode == -signal.SIGXFSZ:
        raise PdfError(
            f"{PROGRAM} was stopped: it wrote a file of more than "
            f"{MAX_FILE_BYTES // (1024 * 1024)} MB"
        )
    if completed.returncode != 0 or not Path(workdir, "document.pdf").is_file():
        raise PdfError(f"{PROGRAM} failed: {first_error(Path(workdir, 'document.log'))}")


def asks_for_rerun(log: Path) -> bool:
    """Whether LaTeX's log says that references (a page count) changed during the run."""
    try:
        with log.open(encoding="utf-8", errors="replace") as lines:
            return any(RERUN_MESSAGE in line for line in lines)
    except OSError:
        return False


def first_error(log: Path) -> str:
    """LaTeX's first error line (it starts with "!"), with the source line it names."""
    try:
        with log.open(encoding="utf-8", errors="replace") as lines:
            previous_error = None
            for line in lines:
                line = line.rstrip("\n")
                if previous_error is None and line.startswith("!"):
                    previous_error = line
                elif previous_error is not None and line.startswith("l."):
                    return f"{previous_error} ({line})"
            return previous_error or "no error line in the log"
    except OSError:
        return "no log was written"
