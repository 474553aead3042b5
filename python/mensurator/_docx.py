"""Word documents through pandoc: every math line a native Word equation, each in its own
paragraph (a check's verdict after it in bold), headings as Word headings, the text of LaTeX
blocks as paragraphs.

pandoc comes with the ``docx`` extra (the pypandoc-binary wheel ships it); a ``pandoc`` on
PATH is used otherwise. A sheet may come from someone else, so pandoc runs in its sandbox (it
reads nothing but the files named on its command line: no ``\\input``, no images), in a
temporary directory, with a memory and a time limit.
"""

from __future__ import annotations

import shutil
import subprocess
import tempfile
from pathlib import Path

from ._output_file import replace_file
from ._paths import PathLike
from ._pdf_limits import DEFAULT_TIME_LIMIT
from ._pieces import BLOCK, MATH, pieces
from ._title_block import NO_TITLE_BLOCK, TitleBlock, latex_text
from ._verdicts import WORDS, split_verdict

PROGRAM = "pandoc"
EXTRA = "docx"
# The heap pandoc may use; a sheet needs a few megabytes.
MAX_HEAP = "1g"


class DocxError(Exception):
    """The Word document could not be made: pandoc is missing, failed, or did not finish."""


def pandoc_program() -> str:
    """The pandoc of the ``docx`` extra, else the one on PATH; DocxError if there is neither."""
    try:
        import pypandoc

        bundled: str = pypandoc.get_pandoc_path()
        if bundled and Path(bundled).is_file():
            return bundled
    except (ImportError, OSError):
        pass
    found = shutil.which(PROGRAM)
    if found is None:
        raise DocxError(
            f"{PROGRAM} is not installed; it is needed for a Word document: "
            f"pip install 'mensurator_py[{EXTRA}]' (or put {PROGRAM} on PATH)"
        )
    return found


def pandoc_latex(body: str, block: TitleBlock) -> str:
    """The LaTeX pandoc reads: the header, then the body with each math line a paragraph."""
    parts = []
    if block.title:
        parts.append(f"\\title{{{latex_text(block.title)}}}\n")
    rows = block.rows()
    if rows:
        table = "".join(f"{label} & {latex_text(value)}\\\\\n" for label, value in rows)
        parts.append(f"\\begin{{tabular}}{{ll}}\n{table}\\end{{tabular}}\n\n")
    for piece in pieces(body):
        if piece.kind == MATH:
            # A check's verdict follows its equation as bold text, to stand out in Word.
            math, passed = split_verdict(piece.math)
            verdict = "" if passed is None else f" \\quad \\textbf{{{WORDS[passed]}}}"
            parts.append(f"\n\n${math}${verdict}\n\n")
        elif piece.kind == BLOCK:
            parts.append(piece.source)
        # A line gap only separates paragraphs, as the math lines already are.
    return "".join(parts)


def write_docx(
    body: str,
    output: PathLike,
    block: TitleBlock = NO_TITLE_BLOCK,
    reference_doc: PathLike | None = None,
    time_limit: float = DEFAULT_TIME_LIMIT,
) -> None:
    """Convert a document body to a Word file at ``output`` (whole or not at all), styled by
    ``reference_doc`` if given (a Word file whose styles are used)."""
    program = pandoc_program()
    with tempfile.TemporaryDirectory(prefix="mensurator-") as workdir:
        Path(workdir, "document.tex").write_text(pandoc_latex(body, block), encoding="utf-8")
        command = [program, "+RTS", f"-M{MAX_HEAP}", "-RTS", "--sandbox"]
        command += ["--from=latex", "--to=docx", "--output=document.docx"]
        if reference_doc is not None:
            reference = Path(reference_doc).resolve()
            if not reference.is_file():
                raise DocxError(f"the reference document {reference_doc} is not a file")
            command.append(f"--reference-doc={reference}")
        command.append("document.tex")
        messages = Path(workdir, "messages.txt")
        try:
            # Its messages go to a file, not into memory, however many warnings it writes.
            with messages.open("wb") as stderr:
                completed = subprocess.run(
                    command,
                    cwd=workdir,
                    stdin=subprocess.DEVNULL,
                    stdout=subprocess.DEVNULL,
                    stderr=stderr,
                    timeout=time_limit,
                    check=False,
                )
        except subprocess.TimeoutExpired:
            raise DocxError(
                f"{PROGRAM} did not finish within {time_limit:g} seconds"
                " (a LaTeX block that loops?)"
            ) from None
        result = Path(workdir, "document.docx")
        if completed.returncode != 0 or not result.is_file():
            raise DocxError(f"{PROGRAM} failed: {last_message(messages)}")
        replace_file(output, result.read_bytes())


def last_message(messages: Path) -> str:
    """The last line pandoc wrote to its error stream (it names the problem)."""
    with messages.open("rb") as stream:
        stream.seek(max(messages.stat().st_size - 4096, 0))
        lines = stream.read().decode("utf-8", "replace").strip().splitlines()
    return lines[-1] if lines else "no message"
