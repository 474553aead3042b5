"""The mensurator command end to end, in subprocesses: documents on standard output, the
compiler-style error report, several files, standard input, output options and exit codes."""

import os
import pty
import subprocess
import sys
import sysconfig
from pathlib import Path

import mensurator
import pytest
from mensurator._check_summary import check_summary
from mensurator_py import run_mensurator

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"
EXAMPLE_FILES = sorted(EXAMPLES.glob("*.txt"))


def command(*args, stdin=None, stderr=subprocess.PIPE):
    return subprocess.run(
        [sys.executable, "-m", "mensurator", *map(str, args)],
        input=stdin,
        stdout=subprocess.PIPE,
        stderr=stderr,
        timeout=60,
        check=False,
    )


def text_of(path):
    return path.read_text(encoding="utf-8").removesuffix("\n")


@pytest.mark.parametrize("path", EXAMPLE_FILES, ids=[p.name for p in EXAMPLE_FILES])
def test_prints_each_example_as_the_module_renders_it(path):
    completed = command(path)
    # Standard error holds nothing but the summary of a sheet's checks.
    statements = mensurator.render(text_of(path)).statements
    summary = check_summary(statements, text_of(path), str(path)).encode()
    assert (completed.returncode, completed.stderr) == (0, summary)
    assert completed.stdout.decode("utf-8") == run_mensurator(text_of(path)) + "\n"


def test_console_script_is_the_same_command():
    script = Path(sysconfig.get_path("scripts")) / "mensurator"
    path = EXAMPLES / "kinematics.txt"
    completed = subprocess.run([script, path], capture_output=True, timeout=60, check=True)
    assert completed.stdout == command(path).stdout


# File contents and the report on standard error; {f} is the file's name.
ERROR_REPORTS = [
    ("x = 1\ny = 5 6\n", "{f}:2:7: error: Parsing Error near line 2 column 7\ny = 5 6\n      ^\n"),
    (
        "x = 1\nf = 3 Hz =?\n",
        "{f}:2: error: Line 2: Hz is not a variable or a valid unit\nf = 3 Hz =?\n"
        "hint: did you mean hz?\n",
    ),
    ("x = 1\nhello\n", "{f}:2: error: Line 2: Invalid statement hello\nhello\n"),
    ("\ty = 5 6", "{f}:1:8: error: Parsing Error near line 1 column 8\n\ty = 5 6\n\t      ^\n"),
    (
        "x = 1\r\ny = 5 6\r\n",
        "{f}:2:7: error: Parsing Error near line 2 column 7\ny = 5 6\n      ^\n",
    ),
    # A lone CR ends a statement but not a line: the line is shown whole, the CR as a blank.
    (
        "x = 1\ry = 5 6",
        "{f}:1:13: error: Parsing Error near line 1 column 13\nx = 1 y = 5 6\n            ^\n",
    ),
    ("", "{f}:2:1: error: Parsing Error near line 2 column 1\n"),
]


@pytest.mark.parametrize("content, report", ERROR_REPORTS)
def test_document_error_is_reported_like_a_compiler(tmp_path, content, report):
    source = tmp_path / "doc.calc"
    source.write_bytes(content.encode("utf-8"))
    completed = command(source)
    assert (completed.returncode, completed.stdout) == (1, b"")
    assert completed.stderr.decode("utf-8") == report.format(f=source)

    piped = command("-", stdin=content.encode("utf-8"))
    assert (piped.returncode, piped.stderr.decode()) == (1, report.format(f="<stdin>"))


def test_several_files_in_order_with_every_failure_reported(tmp_path):
    broken, latin1 = tmp_path / "broken.calc", tmp_path / "latin1.calc"
    broken.write_text("x = 5 6", encoding="utf-8")
    latin1.write_bytes("'''\xe9'''".encode("latin-1"))
    first, last = EXAMPLE_FILES[0], EXAMPLE_FILES[-1]
    args = [first, broken, tmp_path / "missing.calc", latin1, last]
    completed = command("--jobs", "3", *args)
    assert completed.returncode == 1
    expected = run_mensurator(text_of(first)) + "\n" + run_mensurator(text_of(last)) + "\n"
    assert completed.stdout.decode("utf-8") == expected
    assert completed.stderr.decode("utf-8").splitlines() == [
        f"{broken}:1:7: error: Parsing Error near line 1 column 7",
        "x = 5 6",
        "      ^",
        f"mensurator: error: cannot read {tmp_path / 'missing.calc'}: No such file or directory",
        f"mensurator: error: cannot read {latin1}: not UTF-8 text (invalid continuation byte "
        "at byte 3)",
    ]


@pytest.mark.parametrize(
    "option, expected",
    [
        ("--body", lambda doc: doc.body),
        ("--display", lambda doc: doc.display_latex + "\n"),
        ("-o", lambda doc: doc.latex + "\n"),
    ],
)
def test_output_options(tmp_path, option, expected):
    document = mensurator.render_file(EXAMPLES / "kinematics.txt")
    if option == "-o":
        output = tmp_path / "out.tex"
        completed = command("-o", output, EXAMPLES / "kinematics.txt")
        assert completed.stdout == b""
        assert output.read_text(encoding="utf-8") == expected(document)
    else:
        completed = command(option, EXAMPLES / "kinematics.txt")
        assert completed.stdout.decode("utf-8") == expected(document)
    assert (completed.returncode, completed.stderr) == (0, b"")


@pytest.mark.parametrize(
    "args",
    [
        [],
        ["--jobs", "0", "a.calc"],
        ["-o", "out.tex", "a.calc", "b.calc"],
        ["--pdf", "out.pdf", "--body", "a.calc"],
        ["--no-such-option", "a.calc"],
        ["-", "-"],
    ],
)
def test_usage_errors_exit_2(args):
    completed = command(*args)
    assert (completed.returncode, completed.stdout) == (2, b"")
    assert completed.stderr.startswith(b"usage: mensurator")


def test_version_is_the_installed_distributions():
    from importlib.metadata import version

    completed = command("--version")
    assert (completed.returncode, completed.stderr) == (0, b"")
    assert completed.stdout.decode() == f"mensurator {version('mensurator_py')}\n"


def test_help_lists_every_command():
    from mensurator._cli import COMMANDS

    completed = command("--help")
    assert completed.returncode == 0
    listed = completed.stdout.decode().split("other commands", 1)[1]
    for name in COMMANDS:
        assert f"\n  {name} " in listed
        assert command(name, "--help").returncode == 0


def test_unwritable_output_exits_1(tmp_path):
    target = tmp_path / "no-such-directory" / "out.tex"
    completed = command("-o", target, EXAMPLES / "kinematics.txt")
    assert completed.returncode == 1
    assert (
        completed.stderr.decode() == f"mensurator: error: cannot write {target}: "
        "No such file or directory\n"
    )


def test_progress_is_shown_on_a_terminal_only():
    controller, terminal = pty.openpty()
    try:
        completed = command(*EXAMPLE_FILES, stderr=terminal)
        os.close(terminal)
        shown = b""
        while True:
            try:
                chunk = os.read(controller, 4096)
            except OSError:  # the terminal's other side is closed: everything was read
                break
            if not chunk:
                break
            shown += chunk
    finally:
        os.close(controller)
    assert completed.returncode == 0
    count = len(EXAMPLE_FILES)
    assert f"\r[{'#' * 30}] {count}/{count}".encode() in shown
    # The bar is cleared before the documents' reports, here only summaries of checks.
    reports = shown.split(b"\r\x1b[K")[-1]
    assert all(b" checks: " in line for line in reports.splitlines())


def test_a_closed_pipe_ends_the_command_quietly():
    # More output than a pipe holds, so the command writes after the reader has gone.
    process = subprocess.Popen(
        [sys.executable, "-m", "mensurator", *[EXAMPLES / "kinematics.txt"] * 200],
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
    )
    process.stdout.close()
    stderr = process.stderr.read()
    assert (process.wait(timeout=60), stderr) == (1, b"")
