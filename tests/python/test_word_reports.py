"""Word documents through pandoc, read back from their XML: one native equation per math line,
upright units, Word headings, the header fields, company styles, and pandoc's sandbox."""

import os
import re
import subprocess
import zipfile
from pathlib import Path

import mensurator
import pytest
from conftest import EXAMPLES
from mensurator._docx import DocxError, pandoc_program
from mensurator._pieces import MATH, pieces

NAMESPACES = {
    "w": "http://schemas.openxmlformats.org/wordprocessingml/2006/main",
    "m": "http://schemas.openxmlformats.org/officeDocument/2006/math",
}


@pytest.fixture(scope="module")
def pandoc():
    try:
        return pandoc_program()
    except DocxError:
        if os.environ.get("CI"):
            pytest.fail("pandoc is required in CI; tests/install-deps.sh installs its wheel")
        pytest.skip("pandoc is not installed")


def document_xml(path):
    from xml.etree import ElementTree

    with zipfile.ZipFile(path) as archive:
        return ElementTree.fromstring(archive.read("word/document.xml"))


def paragraphs_with_style(root, style):
    found = []
    for paragraph in root.iter(f"{{{NAMESPACES['w']}}}p"):
        styles = paragraph.findall("w:pPr/w:pStyle", NAMESPACES)
        if styles and styles[0].get(f"{{{NAMESPACES['w']}}}val") == style:
            found.append("".join(t.text or "" for t in paragraph.iter(f"{{{NAMESPACES['w']}}}t")))
    return found


def math_runs(equation):
    """Each math run's text and whether it is upright (plain style)."""
    runs = []
    for run in equation.iter(f"{{{NAMESPACES['m']}}}r"):
        style = run.find("m:rPr/m:sty", NAMESPACES)
        upright = style is not None and style.get(f"{{{NAMESPACES['m']}}}val") == "p"
        runs.append(("".join(t.text or "" for t in run.findall("m:t", NAMESPACES)), upright))
    return runs


@pytest.mark.parametrize("path", sorted(EXAMPLES.glob("*.txt")), ids=lambda p: p.name)
def test_every_math_line_is_one_native_equation(pandoc, tmp_path, path):
    document = mensurator.render_file(path)
    output = tmp_path / "sheet.docx"
    document.to_docx(output)
    equations = document_xml(output).findall(".//m:oMath", NAMESPACES)
    math_lines = [piece for piece in pieces(document.body) if piece.kind == MATH]
    assert len(equations) == len(math_lines) > 0


def test_units_are_upright_and_variables_italic(pandoc, tmp_path):
    output = tmp_path / "units.docx"
    mensurator.render("F = 3 kN\nF =? N").to_docx(output)
    definition, printed = document_xml(output).findall(".//m:oMath", NAMESPACES)
    runs = [run for run in math_runs(definition) if run[0].strip()]
    assert runs[0] == ("F", False)
    assert ("k", True) in runs and ("N", True) in runs
    assert ("N", True) in math_runs(printed)


def test_headings_text_and_header_fields(pandoc, tmp_path):
    text = (
        "'''\\section*{Loads}'''\nq = 2 kN/m\n'''\\subsection*{Span}Simply supported.'''\nl = 4 m"
    )
    output = tmp_path / "headed.docx"
    mensurator.render(text).to_docx(
        output,
        title="Beam B1",
        project="Hall 3",
        author="A. Author",
        checked_by="C. Checker",
        revision="2",
        date="2026-12-08",
    )
    root = document_xml(output)
    assert paragraphs_with_style(root, "Heading1") == ["Loads"]
    assert paragraphs_with_style(root, "Heading2") == ["Span"]
    assert paragraphs_with_style(root, "Title") == ["Beam B1"]
    cells = [
        "".join(t.text or "" for t in cell.iter(f"{{{NAMESPACES['w']}}}t"))
        for cell in root.iter(f"{{{NAMESPACES['w']}}}tc")
    ]
    assert cells == [
        "Project",
        "Hall 3",
        "Author",
        "A. Author",
        "Checked by",
        "C. Checker",
        "Revision",
        "2",
        "Date",
        "2026-12-08",
    ]
    body_text = "".join(t.text or "" for t in root.iter(f"{{{NAMESPACES['w']}}}t"))
    assert "Simply supported." in body_text


def test_without_header_fields_there_is_no_title_or_table(pandoc, tmp_path):
    output = tmp_path / "plain.docx"
    mensurator.render("x = 1 m").to_docx(output)
    root = document_xml(output)
    assert paragraphs_with_style(root, "Title") == []
    assert root.find(".//w:tbl", NAMESPACES) is None


def test_reference_document_lends_its_styles(pandoc, tmp_path):
    reference = tmp_path / "company.docx"
    default = subprocess.run(
        [pandoc, "--print-default-data-file", "reference.docx"], capture_output=True, check=True
    ).stdout
    reference.write_bytes(default)
    with zipfile.ZipFile(reference) as archive:
        entries = {name: archive.read(name) for name in archive.namelist()}
    styles = entries["word/styles.xml"].decode("utf-8")
    entries["word/styles.xml"] = re.sub(
        r'w:ascii="[^"]*"', 'w:ascii="Company Sans"', styles, count=1
    ).encode("utf-8")
    with zipfile.ZipFile(reference, "w") as archive:
        for name, data in entries.items():
            archive.writestr(name, data)
    output = tmp_path / "styled.docx"
    mensurator.render("x = 1 m").to_docx(output, reference_doc=reference)
    with zipfile.ZipFile(output) as archive:
        assert b"Company Sans" in archive.read("word/styles.xml")
    with pytest.raises(DocxError, match="not a file"):
        mensurator.render("x = 1 m").to_docx(output, reference_doc=tmp_path / "missing.docx")


def test_a_block_reads_no_file_and_embeds_no_image(pandoc, tmp_path):
    secret = tmp_path / "secret.tex"
    secret.write_text("TOPSECRETMARKER", encoding="utf-8")
    picture = Path(mensurator.__file__).parent / "_html" / "report.css"
    text = f"'''\\input{{{secret}}} \\includegraphics{{{picture}}}'''\nx = 1 m"
    output = tmp_path / "confined.docx"
    mensurator.render(text).to_docx(output)
    with zipfile.ZipFile(output) as archive:
        assert not any(name.startswith("word/media/") for name in archive.namelist())
        assert all(b"TOPSECRETMARKER" not in archive.read(name) for name in archive.namelist())


def test_a_missing_pandoc_names_the_extra(tmp_path, monkeypatch):
    import builtins

    real_import = builtins.__import__

    def without_pypandoc(name, *args, **kwargs):
        if name == "pypandoc":
            raise ImportError(name)
        return real_import(name, *args, **kwargs)

    monkeypatch.setattr(builtins, "__import__", without_pypandoc)
    monkeypatch.setenv("PATH", str(tmp_path))
    with pytest.raises(DocxError, match=r"mensurator_py\[docx\]"):
        mensurator.render("x = 1").to_docx(tmp_path / "out.docx")
    assert list(tmp_path.iterdir()) == []


def test_command_writes_word(pandoc, tmp_path):
    output = tmp_path / "beam.docx"
    completed = subprocess.run(
        [
            os.sys.executable,
            "-m",
            "mensurator",
            str(EXAMPLES / "beam.txt"),
            "--docx",
            str(output),
            "--title",
            "Beam",
        ],
        capture_output=True,
        timeout=60,
        check=False,
    )
    assert (completed.returncode, completed.stderr) == (0, b"")
    assert paragraphs_with_style(document_xml(output), "Title") == ["Beam"]


def test_a_checks_verdict_follows_its_equation_in_bold(pandoc, tmp_path):
    output = tmp_path / "checks.docx"
    mensurator.render("a = 2 m\ncheck a <= 3 m\ncheck a > 3 m").to_docx(output)
    root = document_xml(output)
    verdicts = []
    for paragraph in root.iter(f"{{{NAMESPACES['w']}}}p"):
        if paragraph.find("m:oMath", NAMESPACES) is None:
            continue
        bold = [
            "".join(t.text or "" for t in run.iter(f"{{{NAMESPACES['w']}}}t"))
            for run in paragraph.findall("w:r", NAMESPACES)
            if run.find("w:rPr/w:b", NAMESPACES) is not None
        ]
        verdicts.append(bold)
    assert verdicts == [[], ["OK"], ["NOT OK"]]
