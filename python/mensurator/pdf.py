"""Compiling a LaTeX document to PDF with ``pdflatex``."""

from __future__ import annotations

import shutil
import subprocess
import tempfile
from pathlib import Path

from .paths import PathLike

PROGRAM = "pdflatex"
TIMEOUT_SECONDS = 300


class PdfError(Exception):
    """The PDF could not be made: pdflatex is missing, failed, or did not finish."""


def write_pdf(latex: str, output: PathLike) -> None:
    """Compile ``latex`` in a temporary directory and copy the PDF to ``output``."""
    program = shutil.which(PROGRAM)
    if program is None:
        raise PdfError(f"{PROGRAM} is not installed (not found on PATH); it is needed for a PDF")
    with tempfile.TemporaryDirectory(prefix="mensurator-") as workdir:
        Path(workdir, "document.tex").write_text(latex, encoding="utf-8")
        try:
            completed = subprocess.run(
                [program, "-interaction=nonstopmode", "-halt-on-error", "document.tex"],
                cwd=workdir,
                stdin=subprocess.DEVNULL,
                capture_output=True,
                timeout=TIMEOUT_SECONDS,
                check=False,
            )
        except subprocess.TimeoutExpired:
            raise PdfError(f"{PROGRAM} did not finish within {TIMEOUT_SECONDS} seconds") from None
        pdf = Path(workdir, "document.pdf")
        if completed.returncode != 0 or not pdf.is_file():
            raise PdfError(f"{PROGRAM} failed: {first_error(Path(workdir, 'document.log'))}")
        shutil.copyfile(pdf, output)


def first_error(log: Path) -> str:
    """LaTeX's first error line (it starts with "!"), with the source line it names."""
    try:
        lines = log.read_text(encoding="utf-8", errors="replace").splitlines()
    except OSError:
        return "no log was written"
    for index, line in enumerate(lines):
        if line.startswith("!"):
            context = next((n for n in lines[index + 1 :] if n.startswith("l.")), None)
            return line if context is None else f"{line} ({context})"
    return "no error line in the log"
