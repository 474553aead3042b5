"""The command never reports a cut-short output as success, never overwrites its input, never
leaves half an output file, reads files that start with a byte-order mark, and prints nothing
from a document that could steer the terminal."""

import os
import resource
import subprocess
import sys
from pathlib import Path

import pytest
from mensurator_py import run_mensurator

# Far more than the file-size limit below: a document of a few hundred printed lines.
BIG = "\n".join(f"x_{{{n}}} = {n} m =? cm" for n in range(400))
SIZE_LIMIT = 4096


def command(*args, stdin=None, stdout=subprocess.PIPE, size_limit=None):
    def limit():
        resource.setrlimit(resource.RLIMIT_FSIZE, (size_limit, size_limit))

    return subprocess.run(
        [sys.executable, "-m", "mensurator", *map(str, args)],
        stdin=stdin,
        stdout=stdout,
        stderr=subprocess.PIPE,
        preexec_fn=None if size_limit is None else limit,
        timeout=60,
        check=False,
    )


@pytest.fixture
def big(tmp_path):
    path = tmp_path / "big.txt"
    path.write_text(BIG, encoding="utf-8")
    return path


@pytest.mark.parametrize("options", [[], ["--body"], ["--html", "-"], ["-o", "-"]])
def test_standard_output_cut_short_is_an_error(tmp_path, big, options):
    with open(tmp_path / "out", "wb") as out:
        completed = command(*options, big, stdout=out, size_limit=SIZE_LIMIT)
    assert (tmp_path / "out").stat().st_size <= SIZE_LIMIT
    assert completed.returncode == 1
    assert completed.stderr.decode() == (
        "mensurator: error: cannot write standard output: File too large\n"
    )


@pytest.mark.parametrize("option", ["-o", "--html", "--pdf"])
@pytest.mark.parametrize("alias", ["same", "hard link", "symbolic link", "stdin"])
def test_an_output_that_is_an_input_is_a_usage_error(tmp_path, option, alias):
    source = tmp_path / "in.txt"
    source.write_text("x = 1 m", encoding="utf-8")
    output = {"same": source, "stdin": source}.get(alias, tmp_path / "out.txt")
    if alias == "hard link":
        os.link(source, output)
    elif alias == "symbolic link":
        output.symlink_to(source)
    if alias == "stdin":
        with open(source, "rb") as stdin:
            completed = command(option, output, "-", stdin=stdin)
    else:
        completed = command(option, output, tmp_path / "." / "in.txt")
    assert completed.returncode == 2 and b"would be overwritten" in completed.stderr
    assert source.read_text(encoding="utf-8") == "x = 1 m"


@pytest.mark.parametrize("option", ["-o", "--html"])
def test_a_failing_write_leaves_the_old_output_whole(tmp_path, big, option):
    output = tmp_path / "out"
    output.write_bytes(b"old")
    completed = command(option, output, big, size_limit=SIZE_LIMIT)
    assert completed.returncode == 1
    report = f"mensurator: error: cannot write {output}: File too large\n"
    assert completed.stderr.decode() == report
    assert output.read_bytes() == b"old"
    assert sorted(path.name for path in tmp_path.iterdir()) == ["big.txt", "out"]


def test_a_replaced_output_keeps_its_mode_and_link_and_a_device_is_written_to(tmp_path):
    source = tmp_path / "in.txt"
    source.write_text("x = 1 m", encoding="utf-8")
    target = tmp_path / "target.tex"
    target.write_bytes(b"old")
    target.chmod(0o604)
    link = tmp_path / "link.tex"
    link.symlink_to(target)
    assert command("-o", link, source).returncode == 0
    assert link.is_symlink()
    assert target.read_text(encoding="utf-8") == run_mensurator("x = 1 m") + "\n"
    assert target.stat().st_mode & 0o777 == 0o604
    completed = command("-o", os.devnull, source)
    assert completed.returncode == 0 and Path(os.devnull).is_char_device()


def test_a_leading_byte_order_mark_is_dropped_from_files_and_standard_input(tmp_path):
    text = "x = 1 m\ny = 5 6"  # a parse error, whose column would shift with the mark
    source = tmp_path / "bom.txt"
    source.write_bytes(b"\xef\xbb\xbf" + text.encode("utf-8"))
    report = "{}:2:7: error: Parsing Error near line 2 column 7\ny = 5 6\n      ^\n"
    from_file = command(source)
    assert from_file.stderr.decode("utf-8") == report.format(source)
    piped = subprocess.run(
        [sys.executable, "-m", "mensurator", "-"],
        input=b"\xef\xbb\xbfx = 1 m",
        capture_output=True,
        timeout=60,
        check=False,
    )
    assert piped.returncode == 0 and piped.stdout.decode() == run_mensurator("x = 1 m") + "\n"


def test_nothing_from_a_document_reaches_the_terminal_as_a_control_character(tmp_path):
    failing = tmp_path / "failing.txt"
    failing.write_text("x = 1\nhello\x1b[2J\u202e", encoding="utf-8")
    completed = command(failing)
    assert completed.returncode == 1
    assert completed.stderr.decode("utf-8").splitlines()[1:] == ["hello\\x1b[2J\\u202e"]

    unconverted = tmp_path / "unconverted.txt"
    unconverted.write_text("'''$\\foo\x1b]0;title\x07$'''\nx = 1", encoding="utf-8")
    completed = command("--html", tmp_path / "out.html", unconverted)
    assert completed.returncode == 0
    assert completed.stderr.decode() == (
        "mensurator: warning: not converted to MathML, shown as LaTeX: $\\foo\\x1b]0;title\\x07$\n"
    )


def test_a_control_character_keeps_the_caret_under_its_column(tmp_path):
    source = tmp_path / "doc.txt"
    source.write_text("'''a\x1bb'''x = 5 6", encoding="utf-8")
    assert command(source).stderr.decode().splitlines() == [
        f"{source}:1:16: error: Parsing Error near line 1 column 16",
        "'''a\\x1bb'''x = 5 6",
        " " * 18 + "^",
    ]
