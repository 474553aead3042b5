"""Parametric cases: each case is the document with definitions replaced, the summary holds
what each case prints, and the command writes reports, summary.csv and plots."""

import csv
import subprocess
import sys
from concurrent.futures import ProcessPoolExecutor

import mensurator
import pytest
from conftest import EXAMPLES
from hypothesis import given, settings
from hypothesis import strategies as st
from mensurator._case_plot import parse_plot
from mensurator._case_table import CaseError, printed_value, run_cases

BEAM = (EXAMPLES / "beam.txt").read_text(encoding="utf-8")
SPANS = EXAMPLES / "cases" / "beam_spans.csv"


def printed(document):
    """The math lines of the statements that print a value (not those of plain definitions)."""
    return [s.printed for s in document.statements if s.kind != "definition" and s.printed]


def test_a_case_that_repeats_the_document_renders_as_the_document():
    table = run_cases(BEAM, [{"l": "6 m", "q": "12 kN/m"}])
    assert table.results == (mensurator.render(BEAM),)


@settings(max_examples=30, deadline=None)
@given(st.integers(1, 10**6), st.sampled_from(["mm", "m", "km"]))
def test_each_case_is_the_document_with_the_value_written_in(span, unit):
    text = "alias l \\ell\nl = 6 m\nA = l * 2 m =? m^2\nl =? cm"
    expected = mensurator.render(text.replace("l = 6 m", f"l = {span} {unit}"))
    number, unit_latex = printed_value(printed(expected)[0])
    # The column may name the variable as written or under its alias.
    for name in ("l", "\\ell"):
        table = run_cases(text, [{name: f"{span} {unit}"}] * 2)
        assert table.results == (expected, expected)
        assert table.column("A") == [number] * 2 and table.column("A unit") == [unit_latex] * 2


def test_a_definition_that_prints_keeps_printing_in_its_hint():
    table = run_cases("a = 2 m =? mm\nb = a * 2", [{"a": "3 m"}])
    assert table.column("a") == ["3 m"]
    assert table.column("a (printed)") == ["3000"]
    assert table.column("a (printed) unit") == ["\\mathrm{mm}"]


def test_unknown_column_and_bad_values_are_errors_naming_them():
    with pytest.raises(CaseError, match="column 'L': the document defines no variable L"):
        run_cases(BEAM, [{"L": "6 m"}])
    with pytest.raises(CaseError, match="case 2, column 'l'"):
        run_cases(BEAM, [{"l": "6 m"}, {"l": " "}])
    with pytest.raises(CaseError, match="the summary's own"):
        run_cases(BEAM, [{"error": "1"}])


def test_csv_problems_are_errors(tmp_path):
    path = tmp_path / "cases.csv"
    path.write_text("l,l\n1 m,2 m\n", encoding="utf-8")
    with pytest.raises(CaseError, match="'l' is given twice"):
        run_cases(BEAM, path)
    path.write_text("l,q\n1 m\n", encoding="utf-8")
    with pytest.raises(CaseError, match="line 2: 1 values for 2 columns"):
        run_cases(BEAM, path)


def test_a_failing_case_has_its_error_and_the_others_their_values():
    table = run_cases(BEAM, [{"l": "5 m"}, {"l": "5 s"}, {"l": "7 m"}])
    errors = table.column("error")
    assert errors[0] == errors[2] == "" and errors[1].startswith("Line 5: ")
    assert table.column("M_{max}")[1] == "" and table.column("M_{max}")[2] == "73.500"


def test_checks_give_their_verdict_per_case():
    text = "w = 2 mm\nw_{lim} = 3 mm\ncheck w <= w_{lim}"
    table = run_cases(text, [{"w": "1 mm"}, {"w": "5 mm"}, {"w": "5 s"}])
    assert table.column("check w <= w_{lim}") == ["OK", "NOT OK", ""]
    assert table.column("error")[2] != ""


def test_scientific_values_become_plain_numbers():
    table = run_cases("!scientific\nx = 2 m\ny = x * 1000 =? m", [{"x": "123456 m"}])
    assert table.column("y") == ["1.235e8"]


def test_cases_run_on_a_process_pool():
    rows = [{"l": f"{n} m"} for n in range(1, 9)]
    with ProcessPoolExecutor(max_workers=2) as pool:
        pooled = run_cases(BEAM, rows, executor=pool)
    assert pooled.rows == run_cases(BEAM, rows, jobs=1).rows


def test_python_cases_writes_reports_summary_and_plots(tmp_path):
    pytest.importorskip("matplotlib")
    table = mensurator.cases(
        EXAMPLES / "beam.txt",
        SPANS,
        tmp_path,
        formats=["tex", "html"],
        plots=["l:w_{max}", "q:sigma=stress.svg"],
        title="Beam",
    )
    with open(tmp_path / "summary.csv", encoding="utf-8", newline="") as summary:
        assert [tuple(row) for row in csv.reader(summary)] == [table.columns, *table.rows]
    assert table.column("l") == ["4 m", "5 m", "6 m", "7 m", "8 m"]
    assert (tmp_path / "plot.png").read_bytes().startswith(b"\x89PNG")
    assert b"<svg" in (tmp_path / "stress.svg").read_bytes()
    assert "\\bfseries Beam" in (tmp_path / "beam-3.tex").read_text(encoding="utf-8")
    assert (tmp_path / "beam-5.html").is_file()


def test_plots_need_one_unit_per_axis_and_a_safe_name(tmp_path):
    pytest.importorskip("matplotlib")
    # Without a unit hint the automatic prefix changes from mm to m between these cases.
    with pytest.raises(CaseError, match="different units across the cases"):
        mensurator.cases(
            "x = 1 m\ny = x * 2 =?", [{"x": "1 mm"}, {"x": "1 km"}], tmp_path, plots=["x:y"]
        )
    with pytest.raises(CaseError, match="neither a printed value nor a column"):
        mensurator.cases(BEAM, SPANS, tmp_path, plots=["l:nothing"])
    for bad in ("l", "l:w_{max}=../x.png", "l:w_{max}=plot.pdf"):
        with pytest.raises(CaseError):
            parse_plot(bad, 1)


def test_command_end_to_end(tmp_path):
    completed = subprocess.run(
        [
            sys.executable,
            "-m",
            "mensurator",
            "cases",
            EXAMPLES / "beam.txt",
            SPANS,
            "--outdir",
            tmp_path,
            "-o",
            "--jobs",
            "2",
        ],
        capture_output=True,
        timeout=120,
        check=False,
    )
    assert (completed.returncode, completed.stderr) == (0, b"")
    assert sorted(p.name for p in tmp_path.iterdir()) == [
        *(f"beam-{n}.tex" for n in range(1, 6)),
        "summary.csv",
    ]
    bad = tmp_path / "bad.csv"
    bad.write_text("L\n6 m\n", encoding="utf-8")
    failed = subprocess.run(
        [
            sys.executable,
            "-m",
            "mensurator",
            "cases",
            EXAMPLES / "beam.txt",
            bad,
            "--outdir",
            tmp_path / "x",
        ],
        capture_output=True,
        timeout=60,
        check=False,
    )
    assert failed.returncode == 1
    assert b"column 'L': the document defines no variable L" in failed.stderr
