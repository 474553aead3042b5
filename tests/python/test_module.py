"""The Python boundary of the module: arguments, text conversion, the exception class, the
module's attributes, the installed type stub and calls from several threads."""

import ast
import inspect
import site
import subprocess
import sys
import sysconfig
import textwrap
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import mensurator_py
import pytest
from mensurator_py import run_mensurator

VALID = "v = 3 m / 2 s\nv =? km/hour"


def failure(text):
    try:
        run_mensurator(text)
    except Exception as error:  # the class is not importable; it is caught by its base
        return error
    raise AssertionError(f"no exception for {text!r}")


def test_keyword_and_positional_calls_agree():
    result = run_mensurator(inp=VALID)
    assert type(result) is str
    assert result == run_mensurator(VALID)
    assert result.startswith("\\documentclass{article}\n")


@pytest.mark.parametrize(
    "args, kwargs",
    [
        ((b"x = 1",), {}),
        ((bytearray(b"x = 1"),), {}),
        ((1,), {}),
        ((None,), {}),
        ((["x = 1"],), {}),
        ((), {}),
        ((VALID, VALID), {}),
        ((VALID,), {"inp": VALID}),
        ((), {"text": VALID}),
        ((VALID,), {"text": VALID}),
        ((), {"inp": b"x = 1"}),
    ],
    ids=[
        "bytes",
        "bytearray",
        "int",
        "None",
        "list",
        "missing",
        "extra positional",
        "inp twice",
        "unknown keyword only",
        "unknown keyword extra",
        "bytes by keyword",
    ],
)
def test_bad_arguments_raise_type_error(args, kwargs):
    with pytest.raises(TypeError) as caught:
        run_mensurator(*args, **kwargs)
    assert "run_mensurator()" in str(caught.value)


def test_signature_names_the_parameter():
    assert list(inspect.signature(run_mensurator).parameters) == ["inp"]


@pytest.mark.parametrize("text", ["\ud800", "x = 1\n'''\udfff'''", "x = \udc80"])
def test_lone_surrogate_is_an_encoding_error(text):
    with pytest.raises(UnicodeEncodeError):
        run_mensurator(text)


def test_embedded_nul_is_part_of_the_text():
    # The text is passed by length: a NUL neither ends the document nor disappears.
    assert str(failure("a\0b")) == "Line 1: Invalid statement a\0b"
    assert str(failure("x = 1\0y = 2")) == "Parsing Error near line 1 column 6\n"
    assert "\nA\0B\\leavevmode" in run_mensurator("'''A\0B'''")


def test_non_ascii_text_round_trips():
    assert "\nΔ für µ\\leavevmode" in run_mensurator("'''Δ für µ'''")
    assert str(failure("x = 1\nΩ = 1")) == "Line 2: Invalid statement Ω = 1"


def test_exception_class():
    first, second = failure(""), failure("x = 1\nfoo(1) =?")
    cls = type(first)
    assert type(second) is cls
    assert cls.__name__ == "MensuratorException"
    assert cls.__qualname__ == "MensuratorException"
    assert cls.__module__ == "m"
    assert cls.__bases__ == (Exception,)
    assert first.args == ("Parsing Error near line 2 column 1\n",)
    assert second.args == ("Line 2: Unknown function foo",)
    assert not hasattr(mensurator_py, "MensuratorException")
    assert cls not in vars(mensurator_py).values()


def test_exception_class_is_created_on_first_failure():
    # A fresh interpreter: before any failure no such class exists; the first failures, made
    # by several threads at once, and every later one raise the one same class object.
    script = textwrap.dedent(
        """
        import threading
        import mensurator_py

        def classes():
            return [c for c in Exception.__subclasses__() if c.__name__ == "MensuratorException"]

        raised = []

        def fail(text, barrier=None):
            if barrier is not None:
                barrier.wait()
            try:
                mensurator_py.run_mensurator(text)
            except Exception as error:
                raised.append(type(error))

        assert classes() == [], classes()
        mensurator_py.run_mensurator("x = 1")
        assert classes() == [], classes()
        barrier = threading.Barrier(8)
        threads = [threading.Thread(target=fail, args=("hello", barrier)) for _ in range(8)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        for text in ("", "1 m + 1 s =?"):
            fail(text)
        assert len(classes()) == 1, classes()
        assert raised == classes() * 10, raised
        print("checked")
        """
    )
    completed = subprocess.run(
        [sys.executable, "-c", script], capture_output=True, text=True, timeout=60, check=False
    )
    assert completed.returncode == 0, completed.stderr
    assert completed.stdout == "checked\n"


@pytest.mark.parametrize(
    "text, message",
    [
        ("", "Parsing Error near line 2 column 1\n"),
        ("x = 2\nx = 5 6\ny = 1", "Parsing Error near line 2 column 7\n"),
        ("x = 1\n2 m + 3 s =?", "Line 2: Can't sub values with units m and s"),
        ("hello world", "Line 1: Invalid statement hello world"),
    ],
)
def test_exception_text(text, message):
    assert str(failure(text)) == message


def test_parse_and_statement_failures_differ_in_form():
    parse, statement = str(failure("x = 5 6")), str(failure("x = 1\nq =?"))
    assert parse.startswith("Parsing Error near line ") and parse.endswith("\n")
    assert statement.startswith("Line 2: ") and not statement.endswith("\n")


def test_module_attributes():
    assert mensurator_py.__all__ == ["run_mensurator"]
    assert mensurator_py.__doc__ == ""
    public = {name for name in dir(mensurator_py) if not name.startswith("_")}
    assert public == {"run_mensurator"}


def test_type_stub_package_is_installed_beside_the_module():
    # A single-file module cannot carry py.typed, so its stub ships as a stub-only package.
    directory = Path(mensurator_py.__file__).resolve().parent
    installed = {Path(p).resolve() for p in site.getsitepackages() + [site.getusersitepackages()]}
    installed |= {Path(sysconfig.get_paths()[k]).resolve() for k in ("platlib", "purelib")}
    assert directory in installed

    stub_file = directory / "mensurator_py-stubs" / "__init__.pyi"
    stub = ast.parse(stub_file.read_text(encoding="utf-8"))
    functions = [node for node in stub.body if isinstance(node, ast.FunctionDef)]
    assert [f.name for f in functions] == ["run_mensurator"]
    (function,) = functions
    assert [(a.arg, ast.unparse(a.annotation)) for a in function.args.args] == [("inp", "str")]
    assert ast.unparse(function.returns) == "str"
    exported = [node for node in stub.body if isinstance(node, ast.Assign)]
    assert [ast.literal_eval(node.value) for node in exported] == [["run_mensurator"]]


THREAD_DOCUMENTS = [
    VALID,
    "alias r r_1\nr = e * e\nr = ?\n'''\\section{Results}'''",
    "!digits 6\n!scientific\nx = 12345.678 m\nx =? km",
    "alias x y\ne = 3\nx = e * 2 =?",
    "x = 1\nx = 5 6",
    "x = 1\nhello",
    "2 m + 3 s =?",
    "max(1 km, 300 m) =?\n" * 20,
    "",
]


def outcome(text):
    try:
        return ("document", run_mensurator(text))
    except Exception as error:
        return (type(error).__name__, str(error))


def test_calls_from_threads_match_single_threaded_results():
    expected = [outcome(text) for text in THREAD_DOCUMENTS]
    assert any(kind == "MensuratorException" for kind, _ in expected)
    rounds = 40
    previous_interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    try:
        with ThreadPoolExecutor(max_workers=8) as pool:
            results = list(pool.map(outcome, THREAD_DOCUMENTS * rounds))
    finally:
        sys.setswitchinterval(previous_interval)
    assert results == expected * rounds
