"""What a sheet's LaTeX blocks can reach when it is compiled: no file outside pdflatex's own
working directory, for reading or writing, no command, and no endless or unbounded run. Each
channel TeX offers is tried with a secret file beside the test."""

import os
import re
import shutil
import subprocess
import sys
import time
import zlib

import mensurator
import pytest
from mensurator import PdfError
from mensurator import _pdf as pdf

MARKER = "zqxsecretmarkerzqx"


@pytest.fixture(autouse=True)
def pdflatex():
    if shutil.which("pdflatex") is None:
        if os.environ.get("CI"):
            pytest.fail("pdflatex is required in CI; tests/install-deps.sh installs it")
        pytest.skip("pdflatex is not installed")


@pytest.fixture
def secret(tmp_path):
    path = tmp_path / "secret.txt"
    path.write_text(f"{MARKER}\n", encoding="utf-8")
    path.chmod(0o600)
    return path


@pytest.fixture
def temporary_root(tmp_path, monkeypatch):
    """pdflatex's working directory is made under this folder, so that ../ is observable."""
    root = tmp_path / "tmp"
    root.mkdir()
    monkeypatch.setattr("tempfile.tempdir", str(root))
    return root


def compile_block(block, output, **options):
    mensurator.render(f"'''{block}'''\nx = 1 m").to_pdf(output, **options)


def pdf_text(path):
    """The PDF's bytes with every compressed stream inflated."""
    data = path.read_bytes()
    streams = re.finditer(rb"stream\r?\n(.*?)endstream", data, re.DOTALL)
    return data + b"".join(zlib.decompressobj().decompress(m.group(1)) for m in streams)


def outcome(block, output, **options):
    """The error message, or None when a PDF was written (then checked for the marker)."""
    try:
        compile_block(block, output, **options)
    except PdfError as error:
        assert not output.exists()
        return str(error)
    assert MARKER.encode() not in pdf_text(output)
    return None


def test_an_absolute_input_is_not_read(secret, tmp_path):
    message = outcome(f"\\input{{{secret}}}", tmp_path / "out.pdf")
    assert message is not None and "LaTeX Error: File" in message


def test_openin_of_an_absolute_path_finds_nothing(secret, tmp_path):
    block = f"\\newread\\r \\openin\\r={secret} \\ifeof\\r \\errmessage{{unreadable}}\\fi"
    assert "unreadable" in outcome(block, tmp_path / "out.pdf")


@pytest.mark.parametrize(
    "reader",
    [
        "\\immediate\\pdfobj stream file {{{path}}}\\pdfrefobj\\pdflastobj",
        "\\ExplSyntaxOn \\tex_pdfobj:D stream file {{{path}}} \\ExplSyntaxOff",
        "\\pdfprimitive\\pdfobj stream file {{{path}}}",
        "\\pdfmapfile{{{path}}}",
    ],
    ids=["pdfobj", "format copy", "pdfprimitive", "pdfmapfile"],
)
def test_pdfobj_file_and_its_copies_do_not_embed_a_file(secret, tmp_path, reader):
    block = "\\pdfcompresslevel=0 " + reader.format(path=secret)
    message = outcome(block, tmp_path / "out.pdf")
    assert message is not None and "Undefined control sequence" in message


@pytest.mark.parametrize("name", ["../escaped.tex", "{absolute}"])
def test_openout_writes_only_inside_the_working_directory(
    tmp_path, temporary_root, monkeypatch, name
):
    monkeypatch.setenv("TEXMFOUTPUT", str(tmp_path))  # TeX would allow writing there
    name = name.format(absolute=tmp_path / "absolute.tex")
    block = f"\\newwrite\\w \\immediate\\openout\\w={name} \\immediate\\write\\w{{x}}"
    message = outcome(block, tmp_path / "out.pdf")
    assert message is not None and "can't write on file" in message
    assert not (temporary_root / "escaped.tex").exists()
    assert not (tmp_path / "absolute.tex").exists()
    assert list(temporary_root.iterdir()) == []  # the working directory is gone too


def test_write18_runs_nothing_even_where_shell_escape_is_enabled(tmp_path, monkeypatch):
    monkeypatch.setenv("shell_escape", "t")  # as a user's TeX configuration may set it
    created = tmp_path / "created"
    outcome(f"\\immediate\\write18{{touch {created}}}", tmp_path / "out.pdf")
    assert not created.exists()


def test_a_looping_block_is_stopped_at_the_time_limit(tmp_path):
    started = time.monotonic()
    message = outcome("\\loop\\iftrue\\repeat", tmp_path / "out.pdf", time_limit=1)
    assert message == "pdflatex did not finish within 1 seconds (a LaTeX block that loops?)"
    assert time.monotonic() - started < 30


@pytest.mark.parametrize(
    "block",
    [
        "\\loop\\message{" + "x" * 70 + "}\\iftrue\\repeat",
        "\\newwrite\\w \\immediate\\openout\\w=out.txt "
        "\\loop\\immediate\\write\\w{" + "x" * 70 + "}\\iftrue\\repeat",
    ],
    ids=["log", "openout"],
)
def test_a_growing_log_or_file_is_stopped_at_the_size_limit(tmp_path, monkeypatch, block):
    monkeypatch.setattr(pdf, "MAX_FILE_BYTES", 1024 * 1024)
    message = outcome(block, tmp_path / "out.pdf", time_limit=60)
    assert message == "pdflatex was stopped: it wrote a file of more than 1 MB"


def test_the_command_line_takes_a_longer_time_limit(tmp_path):
    source = tmp_path / "loop.txt"
    source.write_text("'''\\loop\\iftrue\\repeat'''\nx = 1", encoding="utf-8")
    completed = subprocess.run(
        [sys.executable, "-m", "mensurator", "--pdf", tmp_path / "out.pdf"]
        + ["--pdf-time-limit", "2", source],
        capture_output=True,
        text=True,
        timeout=60,
        check=False,
    )
    assert completed.returncode == 1
    assert "did not finish within 2 seconds" in completed.stderr
    assert not (tmp_path / "out.pdf").exists()


def test_an_ordinary_sheet_still_compiles(tmp_path):
    output = tmp_path / "out.pdf"
    compile_block("\\section{Load} \\emph{dead} load $q$", output)
    assert output.read_bytes().startswith(b"%PDF")
