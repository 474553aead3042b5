"""The module under scarce resources and alongside other threads: little memory, small thread
stacks, inputs that stress one line, long runs that must not freeze the interpreter. Each case
runs in a child interpreter, so that a crash shows as a signal instead of ending the test run."""

import subprocess
import sys
import textwrap
import time

import pytest

from mensurator_py import run_mensurator

# Documents that need much memory for their size, built inside the child from these expressions.
MEMORY_SHAPES = {
    "long_sum": '"x = " + "1+" * 10_000_000 + "1\\n"',
    "unit_chain": '"x = 1 m" + "*m/m" * 250_000 + " =?\\n"',
    "hint_chain": '"x = 1 =? " + "rad*" * 500_000 + "rad\\n"',
    "statements": '"x = 1 m\\nx =? km\\n" * 300_000',
    "arguments": '"max(" + "1, " * 10_000_000 + "1) =?\\n"',
    "digits": '"!digits 1000\\n" + "x = 1/3 =?\\n" * 20_000',
}


def run_child(source, timeout=120):
    return subprocess.run(
        [sys.executable, "-c", textwrap.dedent(source)],
        capture_output=True, text=True, timeout=timeout, check=False,
    )


@pytest.mark.parametrize("shape", sorted(MEMORY_SHAPES))
def test_running_out_of_memory_is_a_memory_error(shape):
    # One child climbs a ladder of address-space limits: every run must end with a document, a
    # document error or MemoryError, and the interpreter must stay usable after each. (Memory
    # that a run maps stays mapped for the next, so the limits rise rather than fall.)
    result = run_child(f"""
        import resource
        import mensurator_py
        text = {MEMORY_SHAPES[shape]}
        for mib in (100, 150, 200, 250, 300, 500, 1024, 2048):
            resource.setrlimit(resource.RLIMIT_AS, (mib << 20, resource.RLIM_INFINITY))
            try:
                outcome = "document" if mensurator_py.run_mensurator(text) else "empty"
            except MemoryError:
                outcome = "MemoryError"
            except Exception as error:
                outcome = type(error).__name__
            print(mib, outcome, sum(range(10)), flush=True)
    """)
    assert result.returncode == 0, result.stderr[-2000:]
    lines = result.stdout.split("\n")[:-1]
    assert len(lines) == 8, result.stdout
    for line in lines:
        mib, outcome, check = line.split()
        assert outcome in ("document", "MemoryError", "MensuratorException"), line
        assert check == "45"
    # The ladder is only a test if it reaches both ends.
    outcomes = {line.split()[1] for line in lines}
    assert "MemoryError" in outcomes or shape in ("statements", "digits"), outcomes


# Every kind of bracket the grammar knows, nested `n` levels deep.
NESTED = {
    "groups": '"x = " + "1+(" * n + "1" + ")" * n + " =?"',
    "unit_groups": '"x = 1 " + "(" * n + "m" + ")" * n + " =?"',
    "hint_groups": '"x = 1 m =? " + "(" * n + "m" + ")" * n',
    "calls": '"x = " + "max(1," * n + "1" + ")" * n + " =?"',
    "mixed": '"x = (" + "sin(" * (n - 1) + "1 rad" + ")" * n + " =?"',
}


@pytest.mark.parametrize("shape", sorted(NESTED))
def test_the_deepest_documents_run_on_small_thread_stacks(shape):
    # At the limit, and one level deeper, which is refused before it can use more stack.
    result = run_child(f"""
        import threading
        import mensurator_py
        def run(n):
            try:
                return mensurator_py.run_mensurator({NESTED[shape]}).count("$")
            except Exception as error:
                return str(error)
        threading.stack_size(256 * 1024)
        outcome = []
        thread = threading.Thread(target=lambda: outcome.extend(map(run, (64, 65))))
        thread.start()
        thread.join()
        print(*outcome, sep="\\n")
    """)
    assert result.returncode == 0, result.stderr[-2000:]
    assert result.stdout == "2\nLine 1: Brackets are nested more than 64 levels deep\n"


# Single lines that grow in one direction; each must cost time in proportion to its length.
ONE_LINE = {
    "latex_blocks": lambda n: "'''a'''" * n,
    "sum": lambda n: "x = " + "1+" * n + "1 =?",
    "unit_chain": lambda n: "x = 1 m" + "*m/m" * n + " =?",
    "arguments": lambda n: "max(" + "1, " * n + "1) =?",
    "cr_separated": lambda n: "x = 1\r" * n,
    "blocks_and_prints": lambda n: "'''a''' 1 =? " * n,
}


def best_time(text):
    best = float("inf")
    for _ in range(3):
        start = time.perf_counter()
        try:
            run_mensurator(text)
        except Exception:
            pass
        best = min(best, time.perf_counter() - start)
    return best


@pytest.mark.parametrize("shape", sorted(ONE_LINE))
def test_one_long_line_costs_linear_time(shape):
    make = ONE_LINE[shape]
    small, large = best_time(make(40_000)), best_time(make(80_000))
    # Twice the input: a quadratic cost would take four times as long.
    assert large < 3 * small + 0.05, (small, large)


LONG_RUN = """
        import os, signal, threading, time
        import mensurator_py
        text = "x = 1 m\\ny = x * 2 =? km\\n" * 1_000_000
"""


def test_a_long_run_lets_other_threads_work():
    # The main thread ticks while another runs a document of a few seconds; holding the
    # interpreter lock throughout would leave it a tick or two.
    result = run_child(LONG_RUN + """
        worker = threading.Thread(target=mensurator_py.run_mensurator, args=(text,))
        worker.start()
        ticks = 0
        while worker.is_alive():
            ticks += 1
            time.sleep(0.001)
        print(ticks)
    """)
    assert result.returncode == 0, result.stderr[-2000:]
    assert int(result.stdout) > 50


def test_ctrl_c_ends_a_long_run():
    # The run takes seconds; the interrupt comes after a tenth of one and must end it long before.
    result = run_child(LONG_RUN + """
        threading.Timer(0.1, os.kill, (os.getpid(), signal.SIGINT)).start()
        start = time.perf_counter()
        try:
            mensurator_py.run_mensurator(text)
            print("finished", time.perf_counter() - start)
        except KeyboardInterrupt:
            print("interrupted", time.perf_counter() - start)
        # The interpreter goes on normally afterwards.
        print(mensurator_py.run_mensurator("x = 2 =?").count("$"))
    """)
    assert result.returncode == 0, result.stderr[-2000:]
    first, second = result.stdout.split("\n")[:2]
    kind, seconds = first.split()
    assert kind == "interrupted"
    assert float(seconds) < 1.0
    assert second == "2"


def test_threads_failing_at_once_share_one_exception_class():
    # Long failing documents run without the lock, so the class is first needed by several
    # threads at the same moment.
    result = run_child("""
        import threading
        import mensurator_py
        text = "x = 1\\n" * 5000 + "y = q\\n"
        classes, barrier = [], threading.Barrier(8)
        def fail():
            barrier.wait()
            try:
                mensurator_py.run_mensurator(text)
            except Exception as error:
                classes.append(type(error))
        threads = [threading.Thread(target=fail) for _ in range(8)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        print(len(classes), len(set(map(id, classes))), classes[0].__module__, classes[0].__name__)
    """)
    assert result.returncode == 0, result.stderr[-2000:]
    assert result.stdout == "8 1 m MensuratorException\n"
