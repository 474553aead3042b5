"""The mensurator package: documents identical to the module's, the error view and its hints,
threads, the display variants and what importing the package must leave alone."""

import pickle
import re
import subprocess
import sys
from concurrent.futures import ProcessPoolExecutor
from pathlib import Path

import mensurator
import mensurator_py
import pytest
from mensurator._verdicts import coloured
from hypothesis import given, settings
from hypothesis import strategies as st
from mensurator import DocumentError

EXAMPLES = sorted((Path(__file__).resolve().parents[2] / "examples").glob("*.txt"))

LINES = [
    "x = 1 m",
    "x = 5 6",
    "y = 2 Hz",
    "hello",
    "",
    "  ",
    "'''\\section{A}'''",
    "x =? km",
    "1 m + 1 s =?",
    "z = sin(1 m)",
    "!digits 2",
    "(((1)) =?",
    "'''open",
]


def engine_outcome(text):
    try:
        return mensurator_py.run_mensurator(text), None
    except Exception as error:  # the engine's class, caught by its base
        return None, error


@pytest.mark.parametrize("path", EXAMPLES, ids=[p.name for p in EXAMPLES])
def test_latex_is_the_modules_text(path):
    text = path.read_text(encoding="utf-8").removesuffix("\n")
    assert mensurator.render_file(path).latex == mensurator_py.run_mensurator(text)


# Documents of the lines above with any line ends, and arbitrary short texts.
DOCUMENTS = st.lists(
    st.tuples(st.sampled_from(LINES), st.sampled_from(["\n", "\r\n", "\r"])), max_size=6
).map(lambda lines: "".join(line + end for line, end in lines)) | st.text(max_size=40)


@settings(max_examples=300, deadline=None)
@given(DOCUMENTS)
def test_render_agrees_with_the_module_and_reads_every_message(text):
    # render drops the line end of the last line, as a file has it.
    latex, engine_error = engine_outcome(strip_final_line_end(text))
    if engine_error is None:
        assert mensurator.render(text).latex == latex
        return
    assert type(engine_error) is mensurator.MensuratorException
    # The engine's class catches the package's error too.
    with pytest.raises(mensurator.MensuratorException) as caught:
        mensurator.render(text)
    error = caught.value
    assert isinstance(error, DocumentError)
    assert error.__cause__ is not None and str(error.__cause__) == str(engine_error)
    assert error.message == str(engine_error).rstrip("\n")
    assert 1 <= error.line <= text.count("\n") + 2
    assert (error.kind == "parse error") == (error.column is not None)
    copy = pickle.loads(pickle.dumps(error))
    assert type(copy) is DocumentError
    fields = ("message", "line", "column", "kind", "hints", "args")
    assert [getattr(copy, f) for f in fields] == [getattr(error, f) for f in fields]


# A document with a unit as people type it, and the hint; the hinted spelling must make the
# document render.
HINTS = [
    ("f = 3 Hz =?", "hz"),
    ("v = 90 km/h", "hour"),
    ("E = 2 kWh =? J", "kW*hour"),
    ("V = 250 ml", "mL"),
    ("R = 4 kOhm", "kohm"),
    ("t = 3 sec", "s"),
    ("f = 2 MHz =? hz", "Mhz"),
    ("F = 2 kg m", "kg*m"),
    ("x = 2 KM", "km"),
    ("x = 2 xyz", None),
    ("x = 1\ny = x + q", None),
]


@pytest.mark.parametrize("text, spelling", HINTS)
def test_unit_hints_name_spellings_the_engine_accepts(text, spelling):
    with pytest.raises(DocumentError) as caught:
        mensurator.render(text)
    name = re.search(r": (.+) is not a variable or a valid unit$", caught.value.message).group(1)
    if spelling is None:
        assert caught.value.hints == ()
        return
    assert caught.value.hints == (f"did you mean {spelling}?",)
    mensurator.render(text.replace(name, spelling))


def test_document_error_view_of_other_exceptions():
    error = DocumentError("Line 1: x", 1)
    assert DocumentError.from_exception(error) is error
    with pytest.raises(ValueError, match="not a document error"):
        DocumentError.from_exception(TypeError("run_mensurator() argument"))


def strip_final_line_end(text):
    for end in ("\r\n", "\n", "\r"):
        if text.endswith(end):
            return text[: -len(end)]
    return text


@pytest.mark.parametrize("end", ["\n", "\r\n"])
@pytest.mark.parametrize("path", EXAMPLES, ids=[p.name for p in EXAMPLES])
def test_a_file_and_its_text_render_alike(tmp_path, path, end):
    copy = tmp_path / path.name
    copy.write_bytes(path.read_text(encoding="utf-8").replace("\n", end).encode("utf-8"))
    document = mensurator.render_file(copy)
    assert mensurator.render(copy.read_text(encoding="utf-8")) == document
    assert mensurator.render(copy.read_bytes().decode("utf-8")) == document
    assert mensurator.render_many([copy, str(copy.read_text(encoding="utf-8"))]) == [document] * 2


def test_only_the_last_line_end_is_dropped(tmp_path):
    path = tmp_path / "gap.txt"
    path.write_text("x = 1\n\n", encoding="utf-8")
    expected = mensurator_py.run_mensurator("x = 1\n")
    assert mensurator.render_file(path).latex == mensurator.render("x = 1\n\n").latex == expected
    with pytest.raises(OSError):
        mensurator.render_many([tmp_path / "missing.txt"])


def test_render_many_keeps_input_order_and_returns_failures():
    texts = [f"x = {n} m\nx =? km" if n % 3 else f"x = {n} 5" for n in range(60)]
    for jobs in (1, 4):
        done = []
        check_in_order(texts, mensurator.render_many(texts, jobs, lambda: done.append(1)))
        assert len(done) == len(texts)
    assert mensurator.render_many([], jobs=2) == []
    # Final line ends are dropped as render drops them.
    ended = [text + end for text in texts[:9] for end in ("\n", "\r\n", "\r", "\n\n")]
    results = mensurator.render_many(ended, jobs=1)
    assert list(map(comparable, results)) == [comparable(outcome(text)) for text in ended]
    with pytest.raises(ValueError):
        mensurator.render_many(texts, jobs=0)


def test_render_many_on_a_process_pool_matches_threads(tmp_path):
    texts = [f"x = {n} m\nx =? km" if n % 3 else f"x = {n} 5" for n in range(40)]
    path = tmp_path / "file.txt"
    path.write_text("a = 2 s\na =? ms\n", encoding="utf-8")
    sources = [*texts, path]
    done = []
    with ProcessPoolExecutor(max_workers=2) as pool:
        results = mensurator.render_many(
            sources, jobs=3, progress=lambda: done.append(1), executor=pool
        )
    assert len(done) == len(sources)
    check_in_order(texts, results[:-1])
    assert results[-1] == mensurator.render_file(path)
    # What comes back through pickles is whole: statements and problems, not only the text.
    assert results[-1].statements == tuple(mensurator.render_file(path).statements)
    failed = results[3]
    assert isinstance(failed, DocumentError) and failed.problems == outcome(texts[3]).problems
    with ProcessPoolExecutor(max_workers=1) as pool:
        assert mensurator.render_many([], executor=pool) == []


def outcome(text):
    try:
        return mensurator.render(text)
    except DocumentError as error:
        return error


def comparable(result):
    return result.args if isinstance(result, DocumentError) else result


def check_in_order(texts, results):
    assert len(results) == len(texts)
    for text, result in zip(texts, results):
        latex, engine_error = engine_outcome(text)
        if engine_error is None:
            assert result == mensurator.Document(latex)
        else:
            assert isinstance(result, DocumentError) and result.message == str(engine_error).strip()


MATH_LINE = re.compile(r"\$([^$\n]*)\$\\\\\n")


@pytest.mark.parametrize("path", EXAMPLES, ids=[p.name for p in EXAMPLES])
def test_display_variants_keep_every_math_line_and_all_other_text(path):
    document = mensurator.render_file(path)
    math = MATH_LINE.findall(document.latex)
    assert math
    display = document.display_latex
    # Each run of math lines is one align* block, its rows aligned on the first equals sign.
    blocks = re.findall(r"\\begin\{align\*\}\n(.*?)\n\\end\{align\*\}\n", display, re.DOTALL)
    rows = [row for block in blocks for row in block.split("\\\\\n")]
    assert all(row.count("&") == 1 for row in rows)
    assert [row.replace(" &= ", " = ", 1) for row in rows] == math
    runs = re.sub(f"(?:{MATH_LINE.pattern})+", "#", document.latex)
    other = re.sub(r"\\begin\{align\*\}.*?\\end\{align\*\}\n", "#", display, flags=re.DOTALL)
    assert other == runs.replace("\\begin{document}", "\\usepackage{amsmath}\n\\begin{document}", 1)

    markdown = document._repr_markdown_()
    # The same lines, with the verdicts of checks in colour.
    assert re.findall(r"^\$\$(.*)\$\$$", markdown, re.MULTILINE) == [coloured(m) for m in math]
    headings = re.findall(r"\\section\*?\{([^}]*)\}", document.latex)
    assert re.findall(r"^## (.*)$", markdown, re.MULTILINE) == headings
    assert "\\leavevmode" not in markdown and "\\\\" not in markdown


def test_to_pdf_names_a_missing_pdflatex(tmp_path, monkeypatch):
    monkeypatch.setenv("PATH", str(tmp_path))
    with pytest.raises(mensurator.PdfError, match="pdflatex is not installed"):
        mensurator.render("x = 1").to_pdf(tmp_path / "out.pdf")
    assert list(tmp_path.iterdir()) == []


def test_import_leaves_the_module_alone_and_ipython_unloaded():
    script = (
        "import mensurator_py, sys\n"
        "before = dir(mensurator_py)\n"
        "import mensurator\n"
        "assert dir(mensurator_py) == before, dir(mensurator_py)\n"
        "assert mensurator_py.__all__ == ['run_mensurator']\n"
        "assert mensurator.MensuratorException.__qualname__ == 'MensuratorException'\n"
        "assert mensurator.MensuratorException.__module__ == 'm'\n"
        "assert 'IPython' not in sys.modules\n"
    )
    subprocess.run([sys.executable, "-c", script], check=True, timeout=60)
