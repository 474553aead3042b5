"""The differential driver of tests/tools, checked on the installed engine against itself and
against workers altered on purpose: it must find exactly the documents an alteration touches,
survive a worker that dies, and refuse a previous engine it cannot load."""

import sys
from pathlib import Path

import pytest
from mensurator_py import run_mensurator

TOOLS = Path(__file__).resolve().parents[1] / "tools"
sys.path.insert(0, str(TOOLS))

import differential
import documents
import framing
from workers import Worker, WorkerError

COUNT, SEED = 300, 11

ALTERED_WORKER = """
import os, signal, sys
sys.path.insert(0, {tools!r})
import engine_worker
run, module_file = engine_worker.load(None)
def altered(text):
{body}
engine_worker.serve(altered, module_file, sys.stdin.buffer, sys.stdout.buffer)
"""


def raises(text):
    try:
        run_mensurator(text)
    except Exception:
        return True
    return False


# name: (body of the altered run function, which documents it must be caught on)
ALTERATIONS = {
    "result text": (
        "    return run(text).replace('\\\\times', '\\\\cdot')",
        lambda text: not raises(text) and "\\times" in run_mensurator(text),
    ),
    "error message": (
        (
            "    try:\n        return run(text)\n"
            "    except Exception as error:\n        raise type(error)(str(error) + ' ')"
        ),
        raises,
    ),
    "error class": (
        (
            "    try:\n        return run(text)\n"
            "    except Exception as error:\n        raise RuntimeError(str(error))"
        ),
        raises,
    ),
    "worker crash": (
        (
            "    if 'sqrt(' in text:\n        os.kill(os.getpid(), signal.SIGSEGV)\n"
            "    return run(text)"
        ),
        lambda text: "sqrt(" in text,
    ),
}


@pytest.fixture(scope="module")
def corpus():
    return list(documents.documents(COUNT, SEED))


def test_the_installed_engine_agrees_with_itself(capsys):
    command = differential.worker_command()
    assert differential.run(command, command, COUNT, SEED) == 0
    assert f"differential: {COUNT} documents, 0 differences" in capsys.readouterr().out


@pytest.mark.parametrize("name", ALTERATIONS)
def test_an_altered_worker_is_caught_on_exactly_the_documents_it_alters(name, corpus, tmp_path):
    body, touched = ALTERATIONS[name]
    script = tmp_path / "altered_worker.py"
    script.write_text(ALTERED_WORKER.format(tools=str(TOOLS), body=body), encoding="utf-8")
    expected = sum(touched(text) for _, text in corpus)
    assert expected > 0, "the documents no longer exercise this alteration"

    previous = Worker(differential.worker_command())
    current = Worker([sys.executable, str(script)])
    try:
        total, different, kept = differential.compare(previous, current, corpus, keep=1)
        assert (total, different) == (COUNT, expected)
        shrunk = differential.shrink(previous, current, kept[0])
    finally:
        previous.stop()
        current.stop()
    assert shrunk.previous != shrunk.current
    assert len(shrunk.document) <= len(kept[0].document)


def test_a_worker_that_hangs_is_replaced_and_only_that_document_recorded(corpus, tmp_path):
    body = "    if 'acosh(' in text:\n        signal.pause()\n    return run(text)"
    script = tmp_path / "hanging_worker.py"
    script.write_text(ALTERED_WORKER.format(tools=str(TOOLS), body=body), encoding="utf-8")
    hanging = [text for _, text in corpus if "acosh(" in text]
    assert hanging, "the documents no longer exercise this"

    previous = Worker(differential.worker_command())
    current = Worker([sys.executable, str(script)], timeout=0.5)
    try:
        total, different, kept = differential.compare(previous, current, corpus, keep=COUNT)
    finally:
        previous.stop()
        current.stop()
    assert (total, different) == (COUNT, len(hanging))
    assert [difference.document for difference in kept] == hanging
    assert all(difference.current[1] == b"no answer within 0.5 s" for difference in kept)


def test_a_previous_engine_that_cannot_be_loaded_from_its_directory_is_refused(tmp_path, capsys):
    with pytest.raises(WorkerError, match="came from"):
        Worker(differential.worker_command(tmp_path))
    assert differential.main(["--count", "5", "--previous-path", str(tmp_path)]) == 2
    assert "did not start" in capsys.readouterr().err


def test_documents_are_reproducible_one_by_one_and_mostly_run():
    files = len(documents.fuzz_files())
    texts = [text for _, text in documents.documents(files + COUNT, SEED)][files:]
    assert texts == [documents.generated(SEED, index) for index in reversed(range(COUNT))][::-1]
    # Documents that fail early test little beyond the parser: most must run to the end.
    assert sum(not raises(text) for text in texts) > COUNT * 0.35


def result(latex):
    return (framing.RESULT, latex.encode())


@pytest.mark.parametrize(
    ("old", "new", "permitted"),
    [
        # the change itself: a power of an annotated operand gains parentheses around its base
        ("$5\\ \\mathrm{m}^{2} = 25$", "$(5\\ \\mathrm{m})^{2} = 25$", True),
        ("$a^{2} + 5\\ m^{2}$", "$a^{2} + (5\\ m)^{2}$", True),
        ("$5\\ m^{2}$", "$5\\ m^{2}$", False),  # no parentheses added: not this change
        ("$5\\ m \\times 2$", "$(5\\ m) \\times 2$", False),  # not around a power base
        ("$5\\ m^{2}$", "$(5\\ m)^{3}$", False),  # something else changed too
        ("$5\\ m^{2}$", "$((5\\ m)^{2}$", False),  # unbalanced
    ],
)
def test_added_power_parentheses_permits_exactly_that_change(old, new, permitted):
    assert differential.added_power_parentheses(result(old), result(new)) is permitted
    assert not differential.added_power_parentheses((framing.ERROR, b"x"), result(new))
