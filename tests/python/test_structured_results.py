"""The structured results through the package and the command: statement values, every
problem of a failing document, warnings in compiler style, -W and the --json schema."""

import json
import pickle
import re
import subprocess
import sys
from fractions import Fraction
from pathlib import Path

import mensurator
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from mensurator._display import display_math
from mensurator._rendering import strip_final_line_end
from mensurator._problem_report import format_problem, format_problems
from mensurator.results import BASE_UNITS, Problem
from mensurator_py import run_mensurator

SHEET = "g = 9.81 m/s^2\nalias t_f t_{fall}\nh = 20 m\nt_f = (2 * h / g)^0.5 =? s\n\nA = 4 m^2\nr = A^0.5 =?"
SHADOWED = "L = 6 m\nq = 2 kN/m * L =?"
FAILING = "x = 1\ny = 5 6\nf = 3 Hz =?\nv = 2 m\nw = 3 sec"


def command(*args, stdin=None):
    return subprocess.run(
        [sys.executable, "-m", "mensurator", *map(str, args)],
        input=stdin,
        capture_output=True,
        timeout=60,
        check=False,
    )


def write(tmp_path, text):
    path = tmp_path / "sheet.txt"
    path.write_text(text, encoding="utf-8")
    return path


# ---- Document.statements and DocumentError.problems ----


def test_statements_give_the_values_of_a_small_sheet():
    document = mensurator.render(SHEET)
    statements = list(document.statements)
    assert [s.kind for s in statements] == [
        "definition",
        "alias",
        "definition",
        "definition_print",
        "gap",
        "definition",
        "definition_print",
    ]
    g, _alias, h, t, gap, area, root = statements
    assert (g.name, g.first_line, g.last_line) == ("g", 1, 1)
    assert g.value.number == pytest.approx(9.81)
    assert dict(zip(BASE_UNITS, g.value.exponents)) == {
        "m": 1,
        "g": 0,
        "s": -2,
        "A": 0,
        "K": 0,
        "mol": 0,
        "cd": 0,
    }
    assert t.name == "t_{fall}" and t.hint == "s"
    assert t.value.number == pytest.approx((2 * 20 / 9.81) ** 0.5)
    assert t.value.exponent("s") == 1 and t.value.exponent("m") == 0
    assert gap.value is None and gap.printed is None
    # A power of one half gives exact fractional exponents, not floats.
    assert area.value.exponent("m") == 2
    assert all(isinstance(e, Fraction) for e in root.value.exponents)
    assert root.value.number == pytest.approx(2.0)
    for statement in (g, h, t, area, root):
        value = statement.value
        assert value.number == pytest.approx(
            value.mantissa * value.factor * 10.0**value.exp10
        )


def test_printed_lines_are_the_math_lines_of_the_document():
    document = mensurator.render(SHEET)
    printed = [s.printed + "\n" for s in document.statements if s.printed is not None]
    assert printed == re.findall(r"\$[^$\n]*\$\\\\\n", document.body)
    assert document.latex == run_mensurator(SHEET)


def test_statements_pickle_as_records():
    document = mensurator.render(SHEET)
    restored = pickle.loads(pickle.dumps(document))
    assert restored == document and list(restored.statements) == list(
        document.statements
    )
    assert document.statements[1:3] == tuple(document.statements)[1:3]


def test_failing_document_lists_every_problem_first_as_raised():
    with pytest.raises(mensurator.DocumentError) as caught:
        mensurator.render(FAILING)
    error = caught.value
    codes = [(p.line, p.code) for p in error.problems]
    assert codes == [(2, "parse-error"), (3, "unknown-unit"), (5, "unknown-unit")]
    first = error.problems[0]
    assert (first.message, first.line, first.column) == (
        error.message,
        error.line,
        error.column,
    )
    assert error.problems[1].hints == ("did you mean hz?",)
    assert error.problems[2].name == "sec" and error.problems[2].hints == (
        "did you mean s?",
    )
    assert pickle.loads(pickle.dumps(error)).problems == error.problems


def test_warnings_leave_the_document_unchanged():
    document = mensurator.render(SHADOWED)
    assert document.latex == run_mensurator(SHADOWED)
    [warning] = document.warnings
    assert (warning.severity, warning.code, warning.line, warning.name) == (
        "warning",
        "unit-shadows-variable",
        2,
        "L",
    )
    assert SHADOWED.splitlines()[1][warning.column - 1] == "L"


# ---- compiler-style report ----


def test_warning_report_has_code_source_line_and_caret():
    problem = Problem("warning", "literal-rounded", 2, 5, 11, "shown as 0.018", None)
    source = "a = 1\n\tx = 0.0175 ohm"
    assert format_problem(problem, source, "f.txt") == (
        "f.txt:2:5: warning: shown as 0.018 [literal-rounded]\n\tx = 0.0175 ohm\n\t   ^\n"
    )
    assert format_problem(problem, source, "f.txt", as_error=True).startswith(
        "f.txt:2:5: error: shown as 0.018 [literal-rounded]\n"
    )
    unplaced = Problem(
        "warning", "value-underflows-digits", 2, None, None, "shown as 0.000"
    )
    assert format_problem(unplaced, source, "f.txt") == (
        "f.txt:2: warning: shown as 0.000 [value-underflows-digits]\n\tx = 0.0175 ohm\n"
    )


def test_command_prints_warnings_and_the_document(tmp_path):
    path = write(tmp_path, SHADOWED)
    completed = command(path)
    assert completed.returncode == 0
    assert completed.stdout.decode() == run_mensurator(SHADOWED) + "\n"
    lines = completed.stderr.decode().splitlines()
    assert lines[0].startswith(f"{path}:2:14: warning: L ")
    assert lines[0].endswith(" [unit-shadows-variable]")
    assert lines[1:] == ["q = 2 kN/m * L =?", " " * 13 + "^"]


def test_command_lists_every_error_at_once(tmp_path):
    completed = command("-", stdin=FAILING.encode())
    assert (completed.returncode, completed.stdout) == (1, b"")
    assert completed.stderr.decode() == (
        "<stdin>:2:7: error: Parsing Error near line 2 column 7\ny = 5 6\n      ^\n"
        "<stdin>:3: error: Line 3: Hz is not a variable or a valid unit\nf = 3 Hz =?\n"
        "hint: did you mean hz?\n"
        "<stdin>:5: error: Line 5: sec is not a variable or a valid unit\nw = 3 sec\n"
        "hint: did you mean s?\n"
    )


@pytest.mark.parametrize(
    "option, status, reported, written",
    [
        ((), 0, "warning", True),
        (("-W", "error"), 1, "error", False),
        (("-W", "ignore"), 0, None, True),
    ],
)
def test_warning_modes(tmp_path, option, status, reported, written):
    completed = command(*option, write(tmp_path, SHADOWED))
    assert completed.returncode == status
    assert (completed.stdout != b"") == written
    stderr = completed.stderr.decode()
    if reported is None:
        assert stderr == ""
    else:
        assert f": {reported}: " in stderr and "[unit-shadows-variable]" in stderr


def test_warning_modes_do_not_touch_a_clean_document(tmp_path):
    path = write(tmp_path, SHEET)
    outputs = {
        command(*option, path).stdout
        for option in [(), ("-W", "error"), ("-W", "ignore")]
    }
    assert outputs == {(run_mensurator(SHEET) + "\n").encode()}


# ---- --json ----


def decoded(*args, stdin=None):
    completed = command("--json", *args, stdin=stdin)
    return completed.returncode, [
        json.loads(line) for line in completed.stdout.decode().splitlines()
    ]


def test_json_round_trips_the_results(tmp_path):
    status, [record] = decoded(write(tmp_path, SHEET))
    document = mensurator.render(SHEET)
    assert (status, record["schema"], record["ok"]) == (0, 1, True)
    assert (
        record["latex"] == document.latex
        and record["errors"] == record["warnings"] == []
    )
    assert len(record["statements"]) == len(document.statements)
    for fields, statement in zip(record["statements"], document.statements):
        value = fields.pop("value")
        assert fields.pop("check") is None  # the sheet has no checks
        assert fields == {
            key: getattr(statement, key)
            for key in (
                "first_line",
                "last_line",
                "kind",
                "name",
                "expression",
                "hint",
                "printed",
            )
        }
        if statement.value is None:
            assert value is None
        else:
            assert [Fraction(value["exponents"][unit]) for unit in BASE_UNITS] == list(
                statement.value.exponents
            )
            assert value["number"] == statement.value.number


def test_json_of_a_failing_document_holds_every_problem():
    status, [record] = decoded("-", stdin=FAILING.encode())
    with pytest.raises(mensurator.DocumentError) as caught:
        mensurator.render(FAILING)
    assert (status, record["ok"], record["latex"], record["statements"]) == (
        1,
        False,
        None,
        [],
    )
    assert [
        Problem(**{**p, "hints": tuple(p["hints"])}) for p in record["errors"]
    ] == list(caught.value.problems)


def test_json_warnings_and_non_finite_numbers(tmp_path):
    status, [record] = decoded(write(tmp_path, SHADOWED + "\nz = 1 m / 0 s =?"))
    assert status == 0 and [w["code"] for w in record["warnings"]] == [
        "unit-shadows-variable"
    ]
    assert record["statements"][-1]["value"]["number"] == "inf"
    status, [record] = decoded("-W", "error", write(tmp_path, SHADOWED))
    assert (status, record["ok"], record["latex"]) == (1, False, None)
    status, [record] = decoded("-W", "ignore", write(tmp_path, SHADOWED))
    assert (status, record["warnings"]) == (0, [])


def test_json_gives_one_line_per_file(tmp_path):
    first, second = tmp_path / "a.txt", tmp_path / "b.txt"
    first.write_text(SHEET)
    second.write_text(FAILING)
    status, records = decoded(first, second)
    assert status == 1 and [(r["file"], r["ok"]) for r in records] == [
        (str(first), True),
        (str(second), False),
    ]


# ---- display math from the statements ----

EXAMPLES = sorted((Path(__file__).resolve().parents[2] / "examples").glob("*.txt"))


@pytest.mark.parametrize("path", EXAMPLES, ids=[p.name for p in EXAMPLES])
def test_display_from_statements_agrees_with_the_text_patterns(path):
    document = mensurator.render_file(path)
    assert document.display_latex == display_math(document.latex)


def test_display_leaves_math_written_in_a_latex_block():
    document = mensurator.render("'''Given:\n$a = 1$\\\\\n'''\nx = 2 m\ny = x =?")
    display = document.display_latex
    assert "Given:\n$a = 1$\\\\\n" in display
    assert "x &= " in display and "y &= " in display and "a &= 1" not in display
    # Built from the text alone, the document has no statements to go by.
    assert "a &= 1" in mensurator.Document(document.latex).display_latex


# ---- over generated sheets ----

LINES = [
    "a = 2 m",
    "b = a * 3 =?",
    "c = 0.0175 ohm*mm^2/m =?",
    "d = 5 (m/s)^2 =?",
    "e = 1.602 * 10^-19 C =?",
    "f = 3 Hz =?",
    "g = 5 6",
    "h = q * 2",
    "",
    "!digits 5",
    "b =? km",
]


@settings(max_examples=60, deadline=None)
@given(st.lists(st.sampled_from(LINES), min_size=1, max_size=8))
def test_generated_sheets_agree_with_the_engine(lines):
    text = "\n".join(lines)
    try:
        document = mensurator.render(text)
    except mensurator.DocumentError as error:
        with pytest.raises(Exception) as raised:
            run_mensurator(strip_final_line_end(text))
        assert error.problems[0].message == str(raised.value).rstrip("\n")
        problems = error.problems
    else:
        # render drops the line end of a last line, as a file's
        assert document.latex == run_mensurator(strip_final_line_end(text))
        assert all(w.severity == "warning" for w in document.warnings)
        assert document.display_latex == display_math(document.latex)
        problems = document.warnings
    report = format_problems(problems, text, "s.txt", "default")
    locations = [line for line in report.splitlines() if line.startswith("s.txt:")]
    assert len(locations) == len(problems)
    assert format_problems(problems, text, "s.txt", "ignore").count("s.txt:") == sum(
        p.severity == "error" for p in problems
    )


def views(result):
    """What a caller reads of a document or an error, with the types it reads them as."""
    if isinstance(result, mensurator.DocumentError):
        return ("error", result.message, result.problems)
    return (
        type(result).__name__,
        result.latex,
        type(result.statements),
        tuple(result.statements),
        type(result.warnings),
        result.warnings,
    )


@settings(max_examples=40, deadline=None)
@given(st.lists(st.lists(st.sampled_from(LINES), min_size=1, max_size=6), min_size=1, max_size=5))
def test_many_documents_read_as_each_rendered_alone(sheets):
    # render_many makes a document's statements and warnings when they are first read, by
    # running the text again, or records them at once.
    texts = ["\n".join(lines) for lines in sheets]
    alone = []
    for text in texts:
        try:
            alone.append(mensurator.render(text))
        except mensurator.DocumentError as error:
            alone.append(error)
    for record in (False, True):
        many = mensurator.render_many(texts, jobs=1, record=record)
        assert [views(result) for result in many] == [views(result) for result in alone]
        # Read twice, a view is the same object: made once.
        for result in many:
            if isinstance(result, mensurator.Document):
                assert result.warnings is result.warnings
                assert result.statements is result.statements


def test_unread_views_of_many_documents_survive_copies_and_pickles():
    import copy
    import dataclasses

    alone = mensurator.render(SHADOWED)
    expected = views(alone)
    # Each copy is made from a fresh document whose views nobody has read yet, and reads as the
    # same copy of a rendered one (a pickle's statements are a plain tuple).
    copies = [
        lambda document: pickle.loads(pickle.dumps(document)),
        copy.copy,
        copy.deepcopy,
        lambda document: dataclasses.replace(document),
    ]
    for make_copy in copies:
        [document] = mensurator.render_many([SHADOWED], jobs=1)
        assert views(make_copy(document)) == views(make_copy(alone))
    [document] = mensurator.render_many([SHADOWED], jobs=1)
    assert document == alone and repr(document) == repr(alone)
    with pytest.raises(AttributeError):
        document.no_such_view  # noqa: B018
    with pytest.raises(dataclasses.FrozenInstanceError):
        document.warnings = ()
    assert views(document) == expected


def test_views_read_first_on_many_threads_agree():
    from concurrent.futures import ThreadPoolExecutor

    def read(document):
        return document.warnings, tuple(document.statements)

    documents = mensurator.render_many([SHADOWED] * 200, jobs=1)
    with ThreadPoolExecutor(max_workers=4) as pool:
        seen = list(pool.map(read, documents * 4))
    alone = mensurator.render(SHADOWED)
    assert set(seen) == {read(alone)}
