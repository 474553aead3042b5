#!/usr/bin/env python3
"""Benchmark of mensurator_py.

Measures, on one core: statements and input megabytes per second on generated documents of
1 000 to 1 000 000 statements, and the same documents through the limit program (limit/), which
does only the irreducible work; how the time grows from 10 000 to 100 000 and from 100 000 to
1 000 000 statements, for both; calls per second on the four-line README example; the peak
memory of a call on the 100 000-statement document and on a 10 MB single-line sum, each in a
fresh process; the speed-up over an equivalent pint pipeline run on the same statements; and
calls per second from 1, 2 and 8 threads at once; and the companion module's run and diagnose
against run_mensurator on the 100 000-statement document. Prints a table with each target
marked PASS or FAIL and writes the figures as JSON to bench/results/. Exits 0 whatever the
figures are.

    python bench/run_bench.py            # full run
    python bench/run_bench.py --quick    # 1 000 and 10 000 statements, shorter timing
"""

from __future__ import annotations

import argparse
import datetime
import json
import os
import platform
import re
import statistics
import subprocess
import sys
import tempfile
import time
import timeit
from dataclasses import dataclass
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import corpus
import editor_preview
import editor_round_trip
import html_report_speed
import limit_program
import package_overhead
import pint_peer
from thread_scaling import measure_thread_scaling

SIZES = (1_000, 10_000, 100_000, 1_000_000)
QUICK_SIZES = (1_000, 10_000)
PEER_SIZE = 10_000
LINEAR_FROM, LINEAR_TO = 10_000, 100_000
SCALE_FROM, SCALE_TO = 100_000, 1_000_000
MEMORY_SIZE = 100_000  # the document whose peak memory is measured (else the largest below it)
SUM_BYTES, QUICK_SUM_BYTES = 10_000_000, 1_000_000

# The targets of the benchmark: (key in the figures, description, comparison, threshold); a
# threshold given as a string is another figure of the same run.
TARGETS = (
    ("limit_share_100000", "MB/s as % of the limit program's, 100 000 statements", ">=", 40.0),
    ("small_calls_per_s", "calls/s, four-line README example", ">=", 250_000.0),
    ("linearity", "time(100 000) / time(10 000)", "<=", 10.5),
    ("scaling_1m", "time(1 000 000) / time(100 000), vs the limit's", "<=", "limit_scaling_1m"),
    ("peak_memory_ratio_100000", "peak memory / document size, 100 000 statements", "<=", 4.0),
    ("peak_memory_ratio_sum_10mb", "peak memory / document size, 10 MB one-line sum", "<=", 20.0),
    ("startup_ratio", "mensurator FILE / python -c 'import mensurator_py'", "<=", 2.5),
    ("render_many_ratio", "render_many(jobs=1) / plain loop, README example", "<=", 1.2),
    ("engine_run_ratio", "_engine.run time / run_mensurator's, 100 000 statements", "<=", 1.3),
    ("diagnose_ratio", "_engine.diagnose time / run_mensurator's, 100 000 statements", "<=", 1.5),
    ("html_us_per_statement", "HTML page, us per statement, 10 000 statements", "<=", 20.0),
    ("html_linearity", "HTML time(10 000) / time(1 000), vs the run's", "<=", "html_run_linearity"),
    ("editor_round_trip_ratio", "editor keystroke round trip / its render, 50 lines", "<=", 1.5),
)
ENGINE_SIZE = 100_000  # the document the companion module's calls are timed on

# Run in a fresh interpreter: reads the document from a file, then measures the resident memory
# the call adds on top of the interpreter, the module and the input string.
MEMORY_CHILD = r"""
import json, sys
import mensurator_py

def status(field):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) * 1024
    raise RuntimeError(field + " missing from /proc/self/status")

with open(sys.argv[1], encoding="utf-8") as f:
    document = f.read()
mensurator_py.run_mensurator("x = 1 m\nx =? km\n")
before = status("VmRSS")
try:
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")  # resets the high-water mark to the current resident size
    reset = True
except OSError:
    reset = False
output = mensurator_py.run_mensurator(document)
peak = status("VmHWM")
print(json.dumps({"rss_before": before, "peak": peak, "peak_reset": reset,
                  "output_bytes": len(output.encode("utf-8"))}))
"""


@dataclass
class Timing:
    best: float
    median: float
    runs: int


def time_call(fn, min_total: float, min_runs: int = 3, max_runs: int = 200) -> Timing:
    """Call fn repeatedly for at least min_total seconds and min_runs calls; the best time is the
    least disturbed by other work on the machine."""
    times: list[float] = []
    start = time.perf_counter()
    while len(times) < min_runs or (
        time.perf_counter() - start < min_total and len(times) < max_runs
    ):
        t0 = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t0)
    return Timing(min(times), statistics.median(times), len(times))


def pin_to_one_core() -> int | None:
    if not hasattr(os, "sched_setaffinity"):
        return None
    cpu = min(os.sched_getaffinity(0))
    os.sched_setaffinity(0, {cpu})
    return cpu


def git_commit() -> str | None:
    try:
        result = subprocess.run(
            ["git", "describe", "--always", "--dirty", "--abbrev=12"],
            cwd=HERE,
            capture_output=True,
            text=True,
            check=True,
        )
    except (OSError, subprocess.CalledProcessError):
        return None
    return result.stdout.strip() or None


def check_document(run, doc: corpus.Corpus) -> str:
    """Run the document once; a rejected document stops the benchmark with the offending line."""
    try:
        output = run(doc.text)
    except Exception as error:
        if type(error).__name__ != "MensuratorException":
            raise
        message = str(error)
        match = re.match(r"Line (\d+):", message)
        where = ""
        if match:
            where = f"\n  line {match.group(1)}: {doc.text.splitlines()[int(match.group(1)) - 1]}"
        raise SystemExit(
            f"the document of {doc.statements} statements was rejected: {message.strip()}{where}"
        )
    if not output.endswith("\\end{document}"):
        raise SystemExit(
            f"the output for {doc.statements} statements does not end the LaTeX document"
        )
    return output


def measure_size(run, doc: corpus.Corpus, min_total: float) -> dict:
    output = check_document(run, doc)
    timing = time_call(lambda: run(doc.text), min_total)
    return {
        "statements": doc.statements,
        "printed": doc.printed,
        "input_bytes": doc.size_bytes,
        "output_bytes": len(output.encode("utf-8")),
        "best_s": timing.best,
        "median_s": timing.median,
        "runs": timing.runs,
        "statements_per_s": doc.statements / timing.best,
        "mb_per_s": doc.size_bytes / 1e6 / timing.best,
    }


def measure_small(run, repeat: int) -> dict:
    check_document(run, corpus.Corpus(corpus.README_EXAMPLE, 4, 2, ()))
    timer = timeit.Timer("run(doc)", globals={"run": run, "doc": corpus.README_EXAMPLE})
    number, _ = timer.autorange()
    best = min(timer.repeat(repeat=repeat, number=number)) / number
    return {"document": corpus.README_EXAMPLE, "best_call_s": best, "calls_per_s": 1.0 / best}


def measure_engine_calls(run, doc: corpus.Corpus, min_total: float) -> dict:
    """_engine.run and _engine.diagnose against run_mensurator on one document, called in turn
    so that the machine's load weighs on all three alike; the best time of each."""
    from mensurator import _engine

    calls = {"run_mensurator": run, "run": _engine.run, "diagnose": _engine.diagnose}
    times: dict[str, list[float]] = {name: [] for name in calls}
    start = time.perf_counter()
    while len(times["run"]) < 3 or time.perf_counter() - start < 3 * min_total:
        for name, call in calls.items():
            t0 = time.perf_counter()
            call(doc.text)
            times[name].append(time.perf_counter() - t0)
    best = {name: min(values) for name, values in times.items()}
    return {
        "statements": doc.statements,
        "best_s": best,
        "rounds": len(times["run"]),
        "run_ratio": best["run"] / best["run_mensurator"],
        "diagnose_ratio": best["diagnose"] / best["run_mensurator"],
    }


def single_line_sum(size_bytes: int) -> str:
    """x = 1+1+...+1 =? of about size_bytes: one statement as long as a document."""
    return "x = " + "+".join(["1"] * ((size_bytes - 7) // 2)) + " =?"


def measure_memory(text: str, name: str) -> dict:
    """The peak memory of one call on text, in a fresh interpreter."""
    size_bytes = len(text.encode("utf-8"))
    with tempfile.NamedTemporaryFile("w", encoding="utf-8", suffix=".txt", delete=False) as f:
        f.write(text)
        path = f.name
    try:
        result = subprocess.run(
            [sys.executable, "-c", MEMORY_CHILD, path], capture_output=True, text=True, check=True
        )
    finally:
        os.unlink(path)
    child = json.loads(result.stdout)
    peak_bytes = child["peak"] - child["rss_before"]
    return {
        "document": name,
        "input_bytes": size_bytes,
        "output_bytes": child["output_bytes"],
        "peak_bytes": peak_bytes,
        "ratio": peak_bytes / size_bytes,
        "method": "VmHWM after the call minus VmRSS before it, in a fresh interpreter"
        + ("" if child["peak_reset"] else " (high-water mark could not be reset)"),
    }


def measure_pint(docs: dict[int, corpus.Corpus], sizes: list[int], budget: float) -> dict:
    """Time the pint pipeline on the same steps: the best of two whole runs, or of one when two
    would exceed the budget. A document whose one run is projected to exceed the budget is timed
    on a prefix of its steps and extrapolated per step, and marked so."""
    peer = pint_peer.PintPeer()
    peer.run(corpus.generate(1_000, seed=1).steps)  # fills pint's parse caches
    results = {}
    for size in sizes:
        steps = docs[size].steps
        probe = min(len(steps), 1_000)
        t0 = time.perf_counter()
        peer.run(steps[:probe])
        projected = (time.perf_counter() - t0) * len(steps) / probe
        measured_steps = len(steps)
        if projected > budget:
            measured_steps = max(probe, int(budget / projected * len(steps)))
        runs = 2 if 2 * projected <= budget else 1
        timing = time_call(
            lambda s=steps[:measured_steps]: peer.run(s), 0.0, min_runs=runs, max_runs=runs
        )
        seconds = timing.best * len(steps) / measured_steps
        results[size] = {
            "seconds": seconds,
            "runs": runs,
            "steps": len(steps),
            "measured_steps": measured_steps,
            "extrapolated": measured_steps < len(steps),
            "statements_per_s": docs[size].statements / seconds,
        }
    return results


def measure_limit(
    run, docs: dict[int, corpus.Corpus], measured: dict, min_time: float, rounds: int
) -> dict:
    """The limit program on every document, writing the engine's output size, timed in rounds
    that alternate with the engine on the same document, so that load on the machine weighs on
    both alike; the medians of the rounds' best times count. {} without the program."""
    try:
        binary = limit_program.build()
    except limit_program.LimitUnavailable as error:
        print(f"limit program not measured: {error}", file=sys.stderr, flush=True)
        return {}
    results = {}
    for size, doc in docs.items():
        print(f"timing the limit program against mensurator_py on {size} statements", flush=True)
        output_bytes = measured[size]["output_bytes"]
        engine_times, limit_times = [], []
        for _ in range(rounds):
            timing = time_call(lambda text=doc.text: run(text), min_time / rounds, min_runs=2)
            engine_times.append(timing.best)
            figures = limit_program.measure(binary, doc.text, output_bytes, min_time / rounds)
            limit_times.append(figures["best_s"])
        figures["best_s"] = statistics.median(limit_times)
        figures["mb_per_s"] = figures["input_bytes"] / 1e6 / figures["best_s"]
        figures["rounds"] = rounds
        figures["engine_best_s"] = statistics.median(engine_times)
        figures["share"] = figures["best_s"] / figures["engine_best_s"]
        results[size] = figures
    return results


def evaluate_targets(figures: dict) -> list[dict]:
    rows = []
    for key, description, comparison, named in TARGETS:
        value = figures.get(key)
        threshold = figures.get(named) if isinstance(named, str) else named
        if value is None or threshold is None:
            status = "SKIP"
        elif comparison == ">=":
            status = "PASS" if value >= threshold else "FAIL"
        elif comparison == "<=":
            status = "PASS" if value <= threshold else "FAIL"
        else:
            status = "PASS" if value < threshold else "FAIL"
        rows.append(
            {
                "target": key,
                "description": description,
                "comparison": comparison,
                "threshold": threshold,
                "threshold_figure": named if isinstance(named, str) else None,
                "value": value,
                "status": status,
            }
        )
    return rows


def print_report(report: dict) -> None:
    env = report["environment"]
    print(
        f"\nmensurator_py benchmark: commit {env['commit']}, Python {env['python']}, "
        f"CPU {env['pinned_cpu'] if env['pinned_cpu'] is not None else 'not pinned'}, "
        f"load average {env['load_average']}"
    )
    print(
        f"{'statements':>10} {'bytes':>10} {'best ms':>9} {'median ms':>9} {'stmts/s':>12} "
        f"{'MB/s':>8} {'limit MB/s':>10} {'share':>6} {'pint ms':>10} {'speed-up':>9}"
    )
    for size, row in report["sizes"].items():
        limit = report["limit"].get(size)
        limit_mb = f"{limit['mb_per_s']:.1f}" if limit else "-"
        share = f"{limit['share']:.0%}" if limit else "-"
        peer = report["pint"].get(size) if report["pint"] else None
        pint_ms = (
            f"{peer['seconds'] * 1e3:.0f}{'*' if peer['extrapolated'] else ''}" if peer else "-"
        )
        speedup = f"{peer['seconds'] / row['best_s']:.0f}x" if peer else "-"
        print(
            f"{size:>10} {row['input_bytes']:>10} {row['best_s'] * 1e3:>9.2f} "
            f"{row['median_s'] * 1e3:>9.2f} {row['statements_per_s']:>12,.0f} "
            f"{row['mb_per_s']:>8.1f} {limit_mb:>10} {share:>6} {pint_ms:>10} {speedup:>9}"
        )
    if report["pint"] and any(p["extrapolated"] for p in report["pint"].values()):
        print("  * pint timed on a prefix of the steps and extrapolated per step")
    if report["pint"] is None:
        reason = "skipped (--no-pint)" if pint_peer.available() else pint_peer.INSTALL_HINT
        print(f"  pint peer not measured: {reason}")
    figures = report["figures"]
    if figures.get("linearity") is not None:
        print(f"time(100 000) / time(10 000): {figures['linearity']:.2f}")
    if figures.get("scaling_1m") is not None:
        limit = figures.get("limit_scaling_1m")
        print(
            f"time(1 000 000) / time(100 000): {figures['scaling_1m']:.2f}, limit program "
            + ("not measured" if limit is None else f"{limit:.2f}")
        )
    small = report["small_document"]
    print(
        f"README example: {small['calls_per_s']:,.0f} calls/s ({small['best_call_s'] * 1e6:.2f} us per call)"
    )
    page = report["html"]
    print(
        "HTML page, cold caches: "
        + ", ".join(
            f"{row['us_per_statement']:.1f} us per statement at {size} statements "
            f"({row['ratio_to_run']:.1f}x run_mensurator)"
            for size, row in page["sizes"].items()
        )
    )
    editor = report["editor"]
    print(
        f"editor, {editor['lines']} lines: keystroke round trip {editor['round_trip_s'] * 1e3:.2f} "
        f"ms, render {editor['render_s'] * 1e3:.2f} ms, ratio {editor['ratio']:.2f} "
        f"(posted over HTTP: {editor['http_round_trip_s'] * 1e3:.2f} ms, "
        f"ratio {editor['http_ratio']:.2f})"
    )
    print(editor_preview.summary(report["editor_preview"]))
    package = report["package"]
    startup, many = package["startup"], package["render_many"]
    print(
        f"start-up: {startup['command']} {startup['command_s'] * 1e3:.1f} ms, "
        f"import mensurator_py {startup['import_s'] * 1e3:.1f} ms, ratio {startup['ratio']:.2f}"
    )
    print(
        f"render_many(jobs=1) over {many['documents']} README examples: "
        f"{many['render_many_s'] * 1e3:.1f} ms, plain loop {many['loop_s'] * 1e3:.1f} ms, "
        f"ratio {many['ratio']:.2f}"
    )
    calls = report["engine_calls"]
    print(
        f"companion module, {calls['statements']} statements: "
        + ", ".join(f"{name} {seconds * 1e3:.1f} ms" for name, seconds in calls["best_s"].items())
        + f"; run {calls['run_ratio']:.2f}x, diagnose {calls['diagnose_ratio']:.2f}x"
    )
    for name, rates in report["threads"].items():
        print(
            f"calls/s from 1, 2, 8 threads, {name}: "
            + ", ".join(f"{rate:,.0f}" for rate in rates.values())
        )
    for memory in report["memory"]:
        print(
            f"peak memory, {memory['document']}: {memory['peak_bytes'] / 1e6:.1f} MB, "
            f"{memory['ratio']:.1f}x the document ({memory['input_bytes'] / 1e6:.2f} MB)"
        )
    print("targets:")
    for row in report["targets"]:
        value = "not measured" if row["value"] is None else f"{row['value']:,.2f}"
        threshold = (
            f"{row['threshold']:,.2f}"
            if row["threshold"] is not None
            else f"{row['threshold_figure']}, not measured"
        )
        print(
            f"  {row['status']:<4} {row['description']}: {value} (target {row['comparison']} "
            f"{threshold})"
        )


def save(report: dict, directory: Path, stamp: str) -> list[Path]:
    directory.mkdir(parents=True, exist_ok=True)
    paths = [directory / f"{stamp}.json", directory / "latest.json"]
    text = json.dumps(report, indent=2) + "\n"
    for path in paths:
        path.write_text(text, encoding="utf-8")
    return paths


def parse_args(argv: list[str] | None) -> argparse.Namespace:
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter
    )
    parser.add_argument(
        "--quick", action="store_true", help="1 000 and 10 000 statements, short timing"
    )
    parser.add_argument(
        "--sizes", help="comma-separated statement counts (default 1000,10000,100000)"
    )
    parser.add_argument(
        "--seed", type=int, default=corpus.DEFAULT_SEED, help="seed of the generated documents"
    )
    parser.add_argument("--min-time", type=float, help="seconds to spend timing each document size")
    parser.add_argument("--no-pint", action="store_true", help="do not measure the pint peer")
    parser.add_argument(
        "--pint-budget",
        type=float,
        default=120.0,
        help="seconds the pint peer may take per size before it is extrapolated",
    )
    parser.add_argument(
        "--no-pin", action="store_true", help="do not pin the benchmark to one core"
    )
    parser.add_argument(
        "--results", type=Path, default=HERE / "results", help="directory of the JSON results"
    )
    parser.add_argument("--no-save", action="store_true", help="print the table only")
    return parser.parse_args(argv)


def main(argv: list[str] | None = None) -> int:
    args = parse_args(argv)
    try:
        from mensurator_py import run_mensurator
    except ImportError as error:
        print(
            f"mensurator_py is not importable ({error}): install it with `pip install .` first",
            file=sys.stderr,
        )
        return 1
    sizes = (
        sorted({int(s) for s in args.sizes.split(",")})
        if args.sizes
        else list(QUICK_SIZES if args.quick else SIZES)
    )
    min_time = args.min_time if args.min_time is not None else (0.3 if args.quick else 2.0)
    cpu = None if args.no_pin else pin_to_one_core()

    print(
        f"generating documents of {', '.join(map(str, sizes))} statements (seed {args.seed})",
        flush=True,
    )
    docs = {size: corpus.generate(size, args.seed) for size in sizes}

    measured = {}
    for size in sizes:
        print(f"timing mensurator_py on {size} statements", flush=True)
        measured[size] = measure_size(run_mensurator, docs[size], min_time)
    engine_size = max([size for size in sizes if size <= ENGINE_SIZE] or sizes[:1])
    print(f"timing _engine.run and _engine.diagnose on {engine_size} statements", flush=True)
    engine_calls = measure_engine_calls(run_mensurator, docs[engine_size], min_time)
    print("timing the README example", flush=True)
    small = measure_small(run_mensurator, repeat=3 if args.quick else 7)
    print("timing the package: start-up of the command, render_many against a loop", flush=True)
    rounds = 5 if args.quick else 15
    package = {
        "startup": package_overhead.measure_startup(corpus.README_EXAMPLE, rounds),
        "render_many": package_overhead.measure_render_many(corpus.README_EXAMPLE, rounds),
    }
    print("timing HTML pages of 1 000 and 10 000 statements", flush=True)
    page = html_report_speed.measure_html(args.seed, 3 if args.quick else 5)
    print("timing the editor's keystroke round trip against a real server", flush=True)
    editor = editor_round_trip.measure_round_trip(100 if args.quick else 300)
    print("timing the editor page's update of its preview in a headless browser", flush=True)
    preview = editor_preview.measure_preview(updates=10 if args.quick else 20)
    print("timing calls from 1, 2 and 8 threads in a fresh process", flush=True)
    threads = measure_thread_scaling(
        {"README example": corpus.README_EXAMPLE, f"{sizes[0]} statements": docs[sizes[0]].text},
        seconds=min_time,
    )
    limit = measure_limit(run_mensurator, docs, measured, min_time, 3 if args.quick else 5)
    memory_size = max([size for size in sizes if size <= MEMORY_SIZE] or sizes[:1])
    sum_bytes = QUICK_SUM_BYTES if args.quick else SUM_BYTES
    sum_name = f"sum_{sum_bytes // 1_000_000}mb"
    print(
        f"measuring peak memory on {memory_size} statements and on a "
        f"{sum_bytes // 1_000_000} MB single-line sum, each in a fresh process",
        flush=True,
    )
    memory = [
        measure_memory(docs[memory_size].text, f"{memory_size} statements"),
        measure_memory(single_line_sum(sum_bytes), f"{sum_bytes // 1_000_000} MB single-line sum"),
    ]

    peer_sizes = [size for size in sizes if size <= PEER_SIZE]
    pint_results = None
    if args.no_pint:
        pass
    elif not pint_peer.available():
        print(pint_peer.INSTALL_HINT, flush=True)
    elif peer_sizes:
        print(f"timing the pint peer on {', '.join(map(str, peer_sizes))} statements", flush=True)
        pint_results = measure_pint(docs, peer_sizes, args.pint_budget)

    figures = {f"mb_per_s_{size}": row["mb_per_s"] for size, row in measured.items()}
    figures["small_calls_per_s"] = small["calls_per_s"]
    figures["startup_ratio"] = package["startup"]["ratio"]
    figures["render_many_ratio"] = package["render_many"]["ratio"]
    figures["html_us_per_statement"] = page["sizes"][max(page["sizes"])]["us_per_statement"]
    figures["html_linearity"] = page["linearity"]
    figures["html_run_linearity"] = page["run_linearity"]
    figures["editor_round_trip_ratio"] = editor["ratio"]
    if engine_size == ENGINE_SIZE:
        figures["engine_run_ratio"] = engine_calls["run_ratio"]
        figures["diagnose_ratio"] = engine_calls["diagnose_ratio"]
    for size, row in limit.items():
        figures[f"limit_mb_per_s_{size}"] = row["mb_per_s"]
        figures[f"limit_share_{size}"] = 100.0 * row["share"]
    if LINEAR_FROM in measured and LINEAR_TO in measured:
        figures["linearity"] = measured[LINEAR_TO]["best_s"] / measured[LINEAR_FROM]["best_s"]
    if SCALE_FROM in measured and SCALE_TO in measured:
        figures["scaling_1m"] = measured[SCALE_TO]["best_s"] / measured[SCALE_FROM]["best_s"]
        if SCALE_FROM in limit and SCALE_TO in limit:
            # Both growths from the same interleaved rounds.
            engine_from, engine_to = (limit[n]["engine_best_s"] for n in (SCALE_FROM, SCALE_TO))
            figures["scaling_1m"] = engine_to / engine_from
            figures["limit_scaling_1m"] = limit[SCALE_TO]["best_s"] / limit[SCALE_FROM]["best_s"]
    figures[f"peak_memory_ratio_{memory_size}"] = memory[0]["ratio"]
    figures[f"peak_memory_ratio_{sum_name}"] = memory[1]["ratio"]
    for size, peer in (pint_results or {}).items():
        figures[f"pint_speedup_{size}"] = peer["seconds"] / measured[size]["best_s"]

    now = datetime.datetime.now(datetime.timezone.utc)
    report = {
        "timestamp": now.isoformat(timespec="seconds"),
        "environment": {
            "commit": git_commit(),
            "python": platform.python_version(),
            "platform": platform.platform(),
            "pinned_cpu": cpu,
            "load_average": round(os.getloadavg()[0], 2) if hasattr(os, "getloadavg") else None,
            "pint": pint_peer.pint.__version__ if pint_peer.available() else None,
            "seed": args.seed,
        },
        "sizes": measured,
        "limit": limit,
        "small_document": small,
        "package": package,
        "engine_calls": engine_calls,
        "html": page,
        "editor": editor,
        "editor_preview": preview,
        "threads": threads,
        "memory": memory,
        "pint": pint_results,
        "figures": figures,
        "targets": evaluate_targets(figures),
    }
    print_report(report)
    if not args.no_save:
        for path in save(report, args.results, now.strftime("%Y%m%dT%H%M%SZ")):
            print(f"wrote {path}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
