"""Every produced document compiles with a real pdflatex.

The corpus (shared, in conftest.py) is the example documents plus generated documents that
together use every statement kind, every built-in function, every unit name, hints, scientific
notation, line gaps at the start and after blocks, chained powers, negative literals, prefixes,
fractions and aliases to LaTeX names. Where pdflatex is missing the tests are skipped, except in
CI, where they fail.
"""

import re
import subprocess
import sys

import mensurator
import mensurator_py
import pytest
from conftest import EXAMPLES, FUNCTION_CALLS, corpus



def compile_latex(pdflatex, latex, directory):
    source = directory / "document.tex"
    source.write_text(latex, encoding="utf-8")
    completed = subprocess.run(
        [pdflatex, "-interaction=nonstopmode", "-halt-on-error", source.name],
        cwd=directory,
        stdin=subprocess.DEVNULL,
        capture_output=True,
        text=True,
        errors="replace",
        timeout=60,
        check=False,
    )
    log = (directory / "document.log").read_text(encoding="utf-8", errors="replace")
    errors = [line for line in log.splitlines() if line.startswith("!")]
    return completed.returncode, errors, log


def test_corpus_covers_every_function_and_example():
    assert len(FUNCTION_CALLS) == 25
    assert all(call.startswith(name + "(") for name, call in FUNCTION_CALLS.items())
    assert len([name for name, _ in corpus() if name.startswith("example ")]) >= 4


@pytest.mark.parametrize("name, text", corpus(), ids=[name for name, _ in corpus()])
def test_document_compiles(pdflatex, tmp_path, name, text):
    latex = mensurator_py.run_mensurator(text)
    status, errors, log = compile_latex(pdflatex, latex, tmp_path)
    assert (status, errors) == (0, []), log[-3000:]
    assert (tmp_path / "document.pdf").stat().st_size > 0


def test_broken_block_is_detected(pdflatex, tmp_path):
    # The check above must notice a LaTeX error: a block with an undefined command fails.
    latex = mensurator_py.run_mensurator("x = 1\n'''\\undefinedcommand'''")
    status, errors, _ = compile_latex(pdflatex, latex, tmp_path)
    assert status != 0
    assert errors and errors[0].startswith("! Undefined control sequence")


def test_command_writes_a_pdf(pdflatex, tmp_path):
    output = tmp_path / "kinematics.pdf"
    completed = subprocess.run(
        [
            sys.executable,
            "-m",
            "mensurator",
            "--pdf",
            str(output),
            str(EXAMPLES / "kinematics.txt"),
        ],
        capture_output=True,
        text=True,
        timeout=120,
        check=False,
    )
    assert (completed.returncode, completed.stdout, completed.stderr) == (0, "", "")
    assert output.read_bytes().startswith(b"%PDF-")


@pytest.mark.parametrize("name, text", corpus(), ids=[name for name, _ in corpus()])
def test_display_variant_compiles(pdflatex, tmp_path, name, text):
    document = mensurator.render(text)
    status, errors, log = compile_latex(pdflatex, document.display_latex, tmp_path)
    assert (status, errors) == (0, []), log[-3000:]


def test_to_pdf_writes_a_pdf_or_quotes_the_first_latex_error(pdflatex, tmp_path):
    output = tmp_path / "out.pdf"
    mensurator.render("x = 1 m\nx =? km").to_pdf(output)
    assert output.read_bytes().startswith(b"%PDF-")

    broken = mensurator.render("x = 1\n'''\\undefinedcommand'''")
    with pytest.raises(
        mensurator.PdfError, match=r"^pdflatex failed: ! Undefined control sequence"
    ):
        broken.to_pdf(tmp_path / "broken.pdf")
    assert not (tmp_path / "broken.pdf").exists()


def test_headings_leave_no_blank_line_in_print(pdflatex, tmp_path):
    # Three sections of eleven lines: two pages with a blank line under each heading, one without.
    text = "\n".join(
        f"'''\\section*{{Part {part}}}'''\n"
        + "\n".join(f"x_{{{part}{line}}} = {line} m" for line in range(11))
        for part in range(3)
    )
    latex = mensurator.render(text).latex
    pages = []
    for variant in (latex, mensurator._display.print_layout(latex)):
        status, errors, log = compile_latex(pdflatex, variant, tmp_path)
        assert (status, errors) == (0, []), log[-3000:]
        pages.append(re.search(r"Output written on document\.pdf \((\d+) pages?", log).group(1))
    assert pages == ["2", "1"]
