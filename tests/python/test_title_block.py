"""The report header: a title block and "page x of y" in PDFs (read back with pdftotext), a
header table in HTML, an office's template; without header options every output is as it was."""

import os
import re
import shutil
import subprocess
import sys

import mensurator
import pytest
from conftest import EXAMPLES
from hypothesis import given, settings
from hypothesis import strategies as st
from mensurator._html.report import page
from mensurator._report_template import ReportTemplate, TemplateError
from mensurator._title_block import TitleBlock

# Enough math lines for two pages.
LONG = "\n".join(f"x_{{{n}}} = {n} m =? mm" for n in range(70))
FIELDS = {
    "title": "Beam B1: 50% & more",
    "project": "Hall_3 {east} #2",
    "author": "A. Author",
    "checked_by": "C. Checker",
    "revision": "B~2",
    "date": "2026-12-08",
}


def required(program):
    if shutil.which(program) is None:
        if os.environ.get("CI"):
            pytest.fail(f"{program} is required in CI; tests/install-deps.sh installs it")
        pytest.skip(f"{program} is not installed")


@pytest.fixture(scope="module")
def pdf_tools():
    required("pdflatex")
    required("pdftotext")


def pdf_text(path):
    return subprocess.run(
        ["pdftotext", "-layout", str(path), "-"], capture_output=True, check=True
    ).stdout.decode("utf-8")


def test_two_pages_with_the_title_block_and_page_x_of_y(pdf_tools, tmp_path):
    output = tmp_path / "long.pdf"
    mensurator.render(LONG).to_pdf(output, **FIELDS)
    text = pdf_text(output)
    first, second = text.split("\f")[:2]
    assert "page 1 of 2" in first and "page 2 of 2" in second
    assert "Beam B1: 50% & more" in first and "{east} #2" in first
    # The OT1 fonts of plain LaTeX draw the tilde as an accent, which pdftotext reads as one.
    assert re.search("B[~\u02dc]2", first)
    for label in ("Project", "Author", "A. Author", "Checked by", "C. Checker", "Revision", "Date"):
        assert label in first, label
    assert "Beam B1" not in second


def test_without_header_fields_the_pdf_has_no_page_count(pdf_tools, tmp_path):
    output = tmp_path / "plain.pdf"
    mensurator.render(LONG).to_pdf(output)
    assert " of " not in pdf_text(output)


def test_template_gets_body_and_fields(pdf_tools, tmp_path):
    template = tmp_path / "office.tex"
    template.write_text(
        "\\documentclass{article}\n\\VAR{preamble}\\begin{document}\n"
        "OFFICE \\VAR{project} by \\VAR{author}\\BLOCK{if checked_by} checked\\BLOCK{endif}\n\n"
        "\\VAR{body}\\end{document}\n",
        encoding="utf-8",
    )
    output = tmp_path / "office.pdf"
    mensurator.render("x = 2 m\nx =? mm").to_pdf(
        output, project="P_1", author="Me & you", template=template
    )
    text = pdf_text(output)
    assert re.search("OFFICE P.1 by Me & you", text)
    assert "checked" not in text and "2000 mm" in text


def test_template_errors_name_the_problem(tmp_path):
    unknown = ReportTemplate("\\VAR{body} \\VAR{checker}", "office.tex")
    with pytest.raises(TemplateError, match="office.tex: 'checker' is undefined"):
        unknown.fill("", "", TitleBlock())
    with pytest.raises(TemplateError, match="line 1"):
        ReportTemplate("\\BLOCK{if}", "broken.tex").fill("", "", TitleBlock())
    with pytest.raises(TemplateError, match="cannot read"):
        ReportTemplate.read(tmp_path / "missing.tex")
    # The sandbox keeps a template from Python's objects.
    escape = ReportTemplate("\\VAR{body.__class__.__mro__[1].__subclasses__()}")
    with pytest.raises(TemplateError):
        escape.fill("", "", TitleBlock())


@settings(max_examples=200, deadline=None)
@given(st.text())
def test_template_fields_are_latex_that_prints_them(value):
    filled = ReportTemplate("\\VAR{title}").fill("", "", TitleBlock(title=value))
    # Nothing of the field can start a command, a group, math or a comment of its own.
    unescaped = filled
    for literal in ("\\textbackslash{}", "\\textasciitilde{}", "\\^{}"):
        unescaped = unescaped.replace(literal, "")
    for special in "{}$&#_%":
        unescaped = unescaped.replace("\\" + special, "")
    assert not any(character in unescaped for character in "\\{}$&#^_%~\n\r")


def test_html_header_table_is_escaped_and_only_with_fields():
    document = mensurator.render_file(EXAMPLES / "beam.txt")
    plain = document.to_html("beam.txt")
    assert plain == page(document.body, "beam.txt").html and "title-block" not in plain
    html = document.to_html("Beam <B1>", author="<script>x</script>", revision="2")
    assert '<table class="title-block">' in html
    assert '<th colspan="2" class="title">Beam &lt;B1&gt;</th>' in html
    assert "<td>&lt;script&gt;x&lt;/script&gt;</td>" in html and "<script>" not in html
    assert html.index("title-block") < html.index('<article class="sheet">')


def command(*args):
    return subprocess.run(
        [sys.executable, "-m", "mensurator", *map(str, args)],
        capture_output=True,
        timeout=60,
        check=False,
    )


def test_command_header_options_reach_latex_and_html(tmp_path):
    beam = EXAMPLES / "beam.txt"
    completed = command(beam, "--title", "Beam", "--checked-by", "C. C.")
    latex = completed.stdout.decode("utf-8")
    assert completed.returncode == 0 and "\\large\\bfseries Beam" in latex
    assert "Checked by & C. C." in latex and "page \\thepage\\ of" in latex
    html = tmp_path / "beam.html"
    assert command(beam, "--html", html, "--project", "Hall").returncode == 0
    assert "<td>Hall</td>" in html.read_text(encoding="utf-8")
    bad = tmp_path / "bad.tex"
    bad.write_text("\\VAR{nothing}", encoding="utf-8")
    failed = command(beam, "-o", tmp_path / "out.tex", "--template", bad)
    assert failed.returncode == 1 and b"'nothing' is undefined" in failed.stderr
    assert not (tmp_path / "out.tex").exists()
