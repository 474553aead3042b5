"""What the companion package adds on top of the module, as two ratios from one run:

- start-up: the `mensurator FILE` command on the README example against
  `python -c "import mensurator_py"`, the least any command using the module can cost;
- `render_many(texts, jobs=1)` against a plain loop of `run_mensurator` over the same small
  documents.

Each pair is timed interleaved, round after round, so that load on the machine falls on both
sides alike; the best round of each side counts.
"""

from __future__ import annotations

import os
import subprocess
import sys
import sysconfig
import tempfile
import time
from pathlib import Path
from typing import Callable

RENDER_DOCUMENTS = 2_000


def command_line() -> list[str]:
    """The installed console script, or `python -m mensurator` where there is none."""
    script = Path(sysconfig.get_path("scripts")) / "mensurator"
    return [str(script)] if script.exists() else [sys.executable, "-m", "mensurator"]


def best_interleaved(first: Callable[[], None], second: Callable[[], None], rounds: int):
    best = [float("inf"), float("inf")]
    for _ in range(rounds):
        for index, work in enumerate((first, second)):
            start = time.perf_counter()
            work()
            best[index] = min(best[index], time.perf_counter() - start)
    return best


def measure_startup(document: str, rounds: int) -> dict:
    with tempfile.TemporaryDirectory(prefix="mensurator-bench-") as directory:
        path = os.path.join(directory, "example.txt")
        with open(path, "w", encoding="utf-8") as file:
            file.write(document + "\n")
        command = [*command_line(), path]

        def run(arguments: list[str]) -> Callable[[], None]:
            return lambda: subprocess.run(arguments, stdout=subprocess.DEVNULL, check=True)

        baseline = [sys.executable, "-c", "import mensurator_py"]
        run(command)()  # compiled bytecode and the file cache warm for both
        imported, rendered = best_interleaved(run(baseline), run(command), rounds)
    return {
        "command": " ".join(command_line()) + " FILE",
        "import_s": imported,
        "command_s": rendered,
        "ratio": rendered / imported,
    }


def measure_render_many(document: str, rounds: int) -> dict:
    import mensurator
    from mensurator_py import run_mensurator

    # Without a final line end, which render would drop: both sides render the same text.
    texts = [document.rstrip("\r\n")] * RENDER_DOCUMENTS

    def plain_loop() -> None:
        for text in texts:
            run_mensurator(text)

    def render_many() -> None:
        mensurator.render_many(texts, jobs=1)

    loop_s, many_s = best_interleaved(plain_loop, render_many, rounds)
    return {
        "documents": RENDER_DOCUMENTS,
        "loop_s": loop_s,
        "render_many_s": many_s,
        "ratio": many_s / loop_s,
    }
