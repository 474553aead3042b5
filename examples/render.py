#!/usr/bin/env python3
"""Render a calculation document to LaTeX, and optionally to PDF.

    python examples/render.py examples/kinematics.txt
    python examples/render.py examples/kinematics.txt --pdf kinematics.pdf

The LaTeX document is written to standard output. With --pdf the document is also compiled with
pdflatex (which must be installed) and the PDF is written to the given path. A failing document
prints the engine's message on standard error and exits with status 1.
"""

import argparse
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

import mensurator_py


def read_document(path: Path) -> str:
    # The final line end of a text file terminates its last line; it is not a blank line, so it
    # is dropped here (the engine would otherwise render it as a line break).
    text = path.read_text(encoding="utf-8")
    for ending in ("\r\n", "\n", "\r"):
        if text.endswith(ending):
            return text[: -len(ending)]
    return text


def compile_pdf(latex: str, output: Path) -> None:
    pdflatex = shutil.which("pdflatex")
    if pdflatex is None:
        sys.exit("render.py: pdflatex is not installed; cannot write a PDF")
    with tempfile.TemporaryDirectory() as workdir:
        source = Path(workdir, "document.tex")
        source.write_text(latex, encoding="utf-8")
        result = subprocess.run(
            [pdflatex, "-interaction=nonstopmode", "-halt-on-error", source.name],
            cwd=workdir,
            capture_output=True,
            text=True,
            errors="replace",
            timeout=120,
            check=False,
        )
        if result.returncode != 0:
            sys.stderr.write(result.stdout)
            sys.exit(f"render.py: pdflatex failed with status {result.returncode}")
        shutil.copyfile(Path(workdir, "document.pdf"), output)


def main() -> None:
    parser = argparse.ArgumentParser(description="Render a calculation document to LaTeX.")
    parser.add_argument("document", type=Path, help="the calculation document (UTF-8 text)")
    parser.add_argument("--pdf", type=Path, metavar="OUT.pdf", help="also compile to this PDF")
    args = parser.parse_args()

    try:
        latex = mensurator_py.run_mensurator(read_document(args.document))
    except Exception as error:  # the engine raises its own exception class, caught by its base
        sys.stderr.write(f"{args.document}: {str(error).rstrip()}\n")
        sys.exit(1)

    sys.stdout.write(latex + "\n")
    if args.pdf is not None:
        compile_pdf(latex, args.pdf)


if __name__ == "__main__":
    main()
