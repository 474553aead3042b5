"""Calls per second of run_mensurator from 1, 2 and 8 Python threads at once.

Runs in a fresh interpreter on every core (the rest of the benchmark is pinned to one), so that
the figures show how far runs overlap: documents of 4 KiB or more run without the interpreter
lock, shorter ones keep it.
"""

from __future__ import annotations

import json
import subprocess
import sys

THREAD_COUNTS = (1, 2, 8)

CHILD = r"""
import json, os, sys, threading, time
from mensurator_py import run_mensurator

if hasattr(os, "sched_setaffinity"):
    os.sched_setaffinity(0, range(os.cpu_count()))
documents, counts, seconds = json.loads(sys.stdin.read())

def calls_per_s(text, threads):
    done, stop = [0] * threads, threading.Event()
    def work(i):
        while not stop.is_set():
            run_mensurator(text)
            done[i] += 1
    workers = [threading.Thread(target=work, args=(i,)) for i in range(threads)]
    start = time.perf_counter()
    for worker in workers:
        worker.start()
    time.sleep(seconds)
    stop.set()
    for worker in workers:
        worker.join()
    return sum(done) / (time.perf_counter() - start)

print(json.dumps({name: {str(n): calls_per_s(text, n) for n in counts}
                  for name, text in documents.items()}))
"""


def measure_thread_scaling(documents: dict[str, str], seconds: float) -> dict:
    """{document name: {thread count: calls per second}}."""
    result = subprocess.run(
        [sys.executable, "-c", CHILD],
        input=json.dumps([documents, THREAD_COUNTS, seconds]),
        capture_output=True,
        text=True,
        check=True,
    )
    return json.loads(result.stdout)
