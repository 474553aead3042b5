"""mensurator._engine against mensurator_py over generated documents: the same LaTeX and the same
errors, statement records that match the math lines, and diagnose's problems in one pass."""

import random
import subprocess
import sys
import textwrap
from collections.abc import Sequence
from pathlib import Path
from typing import Optional

import pytest
from mensurator import _engine
from mensurator._errors import MensuratorException
from mensurator_py import run_mensurator

TOOLS = Path(__file__).resolve().parents[1] / "tools"
sys.path.insert(0, str(TOOLS))

import documents

COUNT = 1500
LATEX_FENCE = "'''"
MATH_LINE_END = "$\\\\\n"


def reference(text: str) -> tuple[str, str]:
    try:
        return ("document", run_mensurator(text))
    except MensuratorException as error:
        return ("error", str(error))


def appear_in_order(lines: list[str], latex: str) -> bool:
    """Whether every line, with its line feed, stands in the LaTeX after the one before it."""
    at = 0
    for line in lines:
        found = latex.find(line + "\n", at)
        if found < 0:
            return False
        at = found + len(line) + 1
    return True


def test_run_gives_run_mensurators_latex_and_errors() -> None:
    for label, text in documents.documents(COUNT, seed=20):
        expected = reference(text)
        try:
            result = _engine.run(text)
        except MensuratorException as error:
            assert ("error", str(error)) == expected, label
            continue
        assert ("document", result.latex) == expected, label
        printed = [s.printed for s in result.statements if s.printed is not None]
        assert appear_in_order(printed, result.latex), label
        if LATEX_FENCE not in text:
            assert len(printed) == result.latex.count(MATH_LINE_END), label
        assert all(w.severity == "warning" for w in result.warnings), label


def test_both_modules_raise_one_class() -> None:
    with pytest.raises(MensuratorException) as engine_error:
        _engine.run("x = 1 foo")
    with pytest.raises(MensuratorException) as module_error:
        run_mensurator("x = 1 foo")
    assert type(engine_error.value) is type(module_error.value)
    assert engine_error.value.args == module_error.value.args


def test_statement_records() -> None:
    result = _engine.run(
        "alias v v_{0}\nv = 5 km/hour\nE = 2 * v =? m/s\n'''\n\\par\n'''\n!digits 4"
    )
    kinds = [(s.kind, s.first_line, s.last_line, s.name) for s in result.statements]
    assert kinds[:4] == [
        ("alias", 1, 1, "v_{0}"),
        ("definition", 2, 2, "v_{0}"),
        ("definition_print", 3, 3, "E"),
        ("latex", 4, 6, None),
    ]
    assert kinds[-1][0] == "digits"
    defined, printed = result.statements[1], result.statements[2]
    assert defined.value is not None and printed.value is not None
    assert defined.value.number == pytest.approx(5000 / 3600)
    assert defined.value.exponents == (
        (1, 1),
        (0, 1),
        (-1, 1),
        (0, 1),
        (0, 1),
        (0, 1),
        (0, 1),
    )
    assert printed.hint == "m/s"
    assert printed.expression == "2 \\times v_{0}"
    assert printed.printed is not None and printed.printed.endswith("$\\\\")


def first_error(problems: tuple[_engine.Problem, ...]) -> _engine.Problem:
    return next(p for p in problems if p.severity == "error")


def test_diagnose_of_an_accepted_document_gives_warnings_only() -> None:
    for label, text in documents.documents(COUNT, seed=21):
        problems = _engine.diagnose(text)
        kind, expected = reference(text)
        if kind == "document":
            assert all(p.severity == "warning" for p in problems), (label, problems)
        else:
            assert first_error(problems).message == expected, label


FAILING_LINES = [
    ("y{} = 1 parsec", "unknown-unit"),
    ("y{} = nosuch(1) =?", "unknown-function"),
    ("y{} = 1 m + 1 s =?", "unit-mismatch"),
    ("y{} = 5 6", "parse-error"),
    ("y{} = sqrt(1, 2) =?", "argument-count"),
    ("3 m =? s", "unit-mismatch"),
    ("!digits 5000", "bad-digits"),
]


def test_k_independent_failing_lines_give_k_errors() -> None:
    rng = random.Random(20)
    for _ in range(300):
        lines = [f"a{i} = {i + 1} m" for i in range(rng.randint(1, 6))]
        codes = []
        for index in range(rng.randint(1, 5)):
            line, code = rng.choice(FAILING_LINES)
            lines.insert(rng.randint(0, len(lines)), line.format(index))
            codes.append(code)
        text = "\n".join(lines)
        problems = _engine.diagnose(text)
        errors = [p for p in problems if p.severity == "error"]
        assert len(errors) == len(codes), (text, errors)
        kind, expected = reference(text)
        assert kind == "error"
        assert errors[0].message == expected, text
        assert sorted(p.code for p in errors) == sorted(codes), text


def test_uses_of_a_failed_definition_are_noted_once() -> None:
    problems = _engine.diagnose("x = 1 parsec\ny = x * 2\nz = x + y =?\nx =?")
    assert [(p.code, p.line) for p in problems] == [
        ("unknown-unit", 1),
        ("depends-on-failed", 2),
    ]
    unit = problems[0]
    assert (unit.column, unit.end_column, unit.name) == (7, 13, "parsec")


def test_diagnose_resumes_after_a_parse_failure_at_the_next_line() -> None:
    problems = _engine.diagnose("x = 5 6\ny = 1 parsec\nz = 2 3\n")
    assert [(p.code, p.line) for p in problems] == [
        ("parse-error", 1),
        ("unknown-unit", 2),
        ("parse-error", 3),
    ]
    assert problems[0].message == reference("x = 5 6\ny = 1 parsec\nz = 2 3\n")[1]


WARNED = [
    ("L = 6 m\nq = 2 kN/m * L =?", "unit-shadows-variable", 2, 14, "(2 kN/m) * L"),
    ("V = 2\n3 kg/m^3 * V =?", "unit-shadows-variable", 2, 12, "(3 kg/m^3) * V"),
    ("S = 2\n3 A/V =? S", "unit-shadows-variable", 2, 10, "unit hint"),
    ("rho = 0.0175 ohm*mm^2/m", "literal-rounded", 1, 7, "!digits 4"),
    ("e1 = 1.602 * 10^-19 C =?", "value-underflows-digits", 1, None, "0.000"),
    ("y = 0.002 =?", "value-underflows-digits", 1, None, "!scientific"),
    ("5 (m/s)^2 =?", "power-of-annotation", 1, 8, "5 m^2/s^2"),
    ("c = 0.25 (kW*hour)^-1", "power-of-annotation", 1, 19, "kW^-1*hour^-1"),
    ("c = 2 m^2 * 3 (m/s) ^ 2 =?", "power-of-annotation", 1, 21, "5 m^2/s^2"),
]


@pytest.mark.parametrize(("text", "code", "line", "column", "advice"), WARNED)
def test_warnings_say_what_was_read(
    text: str, code: str, line: int, column: Optional[int], advice: str
) -> None:
    result = _engine.run(text)
    assert result.latex == run_mensurator(text)
    assert [(w.code, w.line, w.column) for w in result.warnings] == [(code, line, column)]
    assert advice in result.warnings[0].message
    assert _engine.diagnose(text) == result.warnings


@pytest.mark.parametrize(
    "text",
    [
        "L = 6 m\nq = (2 kN/m) * L =?",  # the variable, as meant
        "!digits 4\nx = 0.0175\ny = 0.0175 =?",  # shown as written
        "y = 0.05 =?\nz = 2 =?\n!scientific\ne1 = 1.602 * 10^-19 C =?",
        "5 m^2/s^2 =?\n(5 m)^2 =?",  # written parentheses already show the power's reach
    ],
)
def test_no_warning_where_the_sheet_reads_as_computed(text: str) -> None:
    assert _engine.run(text).warnings == ()


def test_statements_read_as_a_sequence() -> None:
    statements = _engine.run("x = 1\ny = 2 =?\nz = 3").statements
    assert isinstance(statements, Sequence)
    assert len(statements) == 3
    assert [s.name for s in statements] == ["x", "y", "z"]
    assert statements[-1] == statements[2] and statements[-1].name == "z"
    assert tuple(s.name for s in statements[1:]) == ("y", "z")
    assert statements[::-1][0].name == "z"
    with pytest.raises(IndexError):
        statements[3]


def run_child(source: str) -> subprocess.CompletedProcess[str]:
    return subprocess.run(
        [sys.executable, "-c", textwrap.dedent(source)],
        capture_output=True,
        text=True,
        timeout=120,
        check=False,
    )


@pytest.mark.parametrize("call", ["run", "diagnose"])
def test_ctrl_c_ends_a_long_call(call: str) -> None:
    # Both calls poll for signals as run_mensurator does: an interrupt a tenth of a second into
    # a run of seconds ends it at once, and the interpreter goes on.
    result = run_child(f"""
        import os, signal, threading, time
        from mensurator import _engine
        text = "x = 1 m\\ny = x * 2 =? km\\n" * 1_000_000
        threading.Timer(0.1, os.kill, (os.getpid(), signal.SIGINT)).start()
        start = time.perf_counter()
        try:
            _engine.{call}(text)
            print("finished", time.perf_counter() - start)
        except KeyboardInterrupt:
            print("interrupted", time.perf_counter() - start)
        print(len(_engine.run("x = 2 =?").statements))
    """)
    assert result.returncode == 0, result.stderr[-2000:]
    first, second = result.stdout.split("\n")[:2]
    kind, seconds = first.split()
    assert kind == "interrupted"
    assert float(seconds) < 1.0
    assert second == "1"


@pytest.mark.parametrize("call", ["run", "diagnose"])
def test_running_out_of_memory_is_a_memory_error(call: str) -> None:
    # A ladder of address-space limits: each call ends with a result, a document error or
    # MemoryError, and the interpreter stays usable.
    result = run_child(f"""
        import resource
        from mensurator import _engine
        text = "x = 1 m\\nx =? km\\n" * 300_000 + "x = " + "1+" * 5_000_000 + "1\\n"
        for mib in (100, 150, 200, 300, 500, 1024, 2048):
            resource.setrlimit(resource.RLIMIT_AS, (mib << 20, resource.RLIM_INFINITY))
            try:
                _engine.{call}(text)
                outcome = "result"
            except MemoryError:
                outcome = "MemoryError"
            print(mib, outcome, sum(range(10)), flush=True)
    """)
    assert result.returncode == 0, result.stderr[-2000:]
    outcomes = [line.split() for line in result.stdout.split("\n")[:-1]]
    assert len(outcomes) == 7, result.stdout
    assert all(check == "45" for _, _, check in outcomes)
    assert {outcome for _, outcome, _ in outcomes} == {"MemoryError", "result"}


@pytest.mark.parametrize("name", ["RunResult", "Statements"])
def test_only_a_run_makes_its_results(name: str) -> None:
    # Made from Python, one would hold no run to read.
    with pytest.raises(TypeError):
        getattr(_engine, name)()


def test_a_run_result_is_read_only() -> None:
    result = _engine.run("x = 2 =?")
    for attribute in ("latex", "statements", "warnings"):
        with pytest.raises(AttributeError):
            setattr(result, attribute, None)
    assert (result.latex, len(result.statements), result.warnings) == (
        run_mensurator("x = 2 =?"),
        1,
        (),
    )


def test_run_reads_its_text_however_passed() -> None:
    text = "x = 2 m\ny = x =? cm"
    assert _engine.run(text=text).latex == _engine.run(text).latex == run_mensurator(text)
    wrong = [((), {}), ((text, text), {}), ((b"x = 1",), {}), ((), {"txt": text})]
    for arguments, keywords in wrong:
        with pytest.raises(TypeError):
            _engine.run(*arguments, **keywords)
