"""The HTML report's speed: a whole page from a document's text, per statement, against the
module's own run of the same text, on two sizes; and how both grow from the smaller to the
larger, so that the page's growth is judged against what the engine's own run does.

Each page is made with cold caches (the converter's caches are emptied before every call), as
the first `mensurator FILE --html` or a first render in the live editor makes it. The two sides
are timed in turn, round after round, so that load on the machine falls on both alike; the best
time of each counts.
"""

from __future__ import annotations

import time
from typing import Callable

import corpus

SIZES = (1_000, 10_000)


def _cold_page(text: str) -> None:
    from mensurator import render
    from mensurator._html import mathml, report

    report._converted_mathml.cache_clear()
    mathml.to_mathml.cache_clear()
    render(text).to_html()


def best_of(work: Callable[[], None], best: float) -> float:
    start = time.perf_counter()
    work()
    return min(best, time.perf_counter() - start)


def measure_html(seed: int, rounds: int, sizes: tuple[int, ...] = SIZES) -> dict:
    from mensurator_py import run_mensurator

    rows = {}
    for size in sizes:
        text = corpus.generate(size, seed).text
        page = engine = float("inf")
        for _ in range(rounds):
            page = best_of(lambda text=text: _cold_page(text), page)
            engine = best_of(lambda text=text: run_mensurator(text), engine)
        rows[size] = {
            "statements": size,
            "page_s": page,
            "run_mensurator_s": engine,
            "us_per_statement": 1e6 * page / size,
            "ratio_to_run": page / engine,
        }
    small, large = min(sizes), max(sizes)
    return {
        "sizes": rows,
        "linearity": rows[large]["page_s"] / rows[small]["page_s"],
        "run_linearity": rows[large]["run_mensurator_s"] / rows[small]["run_mensurator_s"],
    }


if __name__ == "__main__":
    import json

    print(json.dumps(measure_html(20240611, 5), indent=2))
