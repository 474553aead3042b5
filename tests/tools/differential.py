#!/usr/bin/env python3
"""Differential run: the engine of an earlier commit against the installed mensurator_py.

Runs both over the same documents (documents.py: the fuzz corpus and regressions, generated
and mutated documents) and compares every outcome byte for byte: the LaTeX document, or the
exception's class and message (internal errors included), or a worker that died or hung.
Prints one summary line, and for the first differences a shrunk example; exits 1 when any
document differs, 2 when the earlier engine cannot be built or a worker cannot start.

    python tests/tools/differential.py                       # 100 000 documents
    python tests/tools/differential.py --count 5000 --seed 7 --commit HEAD~2
    python tests/tools/differential.py --current-commit HEAD     # committed state, not installed
    python tests/tools/differential.py --commit 00f4f89 --annotated-powers

With --annotated-powers, a document whose LaTeX differs only by parentheses added around the
bases of powers (a power of an annotated operand, `5 (m/s)^2`, is now typeset as `(5 m/s)^2`)
is counted on its own line, not as a difference.
"""

from __future__ import annotations

import argparse
import os
import sys
import time
from collections.abc import Callable, Iterable, Iterator
from dataclasses import dataclass
from itertools import islice
from pathlib import Path
from typing import TextIO

sys.path.insert(0, str(Path(__file__).resolve().parent))

import build_engine
import documents
import framing
from minimize import minimize
from workers import WORKER, Outcome, Worker, WorkerError

BATCH = 400


@dataclass
class Difference:
    label: str
    document: str
    previous: Outcome
    current: Outcome


def worker_command(path: Path | None = None) -> list[str]:
    """The worker for the module built into path, or for the installed one."""
    return [sys.executable, str(WORKER)] + ([] if path is None else ["--path", str(path)])


def batches(items: Iterable[tuple[str, str]], size: int) -> Iterator[list[tuple[str, str]]]:
    iterator = iter(items)
    while batch := list(islice(iterator, size)):
        yield batch


def compare(
    previous: Worker, current: Worker, items: Iterable[tuple[str, str]], keep: int
) -> tuple[int, int, list[Difference]]:
    """(documents, differences, the first `keep` differences)."""
    total, different, _, kept = compare_permitting(previous, current, items, keep, None)
    return total, different, kept


def compare_permitting(
    previous: Worker,
    current: Worker,
    items: Iterable[tuple[str, str]],
    keep: int,
    permitted: Callable[[Outcome, Outcome], bool] | None,
) -> tuple[int, int, int, list[Difference]]:
    """(documents, differences, permitted differences, the first `keep` differences). Both
    workers run each batch at once, and the next batch is generated meanwhile."""
    total = different = allowed = 0
    kept: list[Difference] = []
    pending = batches(items, BATCH)
    batch = next(pending, None)
    while batch is not None:
        texts = [text for _, text in batch]
        previous.send(texts)
        current.send(texts)
        following = next(pending, None)
        for (label, text), old, new in zip(batch, previous.receive(texts), current.receive(texts)):
            if old == new:
                continue
            if permitted is not None and permitted(old, new):
                allowed += 1
                continue
            different += 1
            if len(kept) < keep:
                kept.append(Difference(label, text, old, new))
        total += len(batch)
        batch = following
    return total, different, allowed, kept


def without_parentheses(text: str) -> str:
    return text.replace("(", "").replace(")", "")


def added_power_parentheses(old: Outcome, new: Outcome) -> bool:
    """Whether the new LaTeX is the old one with pairs of parentheses added around power bases
    and nothing else: every added ")" closes a base, right before "^{"."""
    if old[0] != framing.RESULT or new[0] != framing.RESULT:
        return False
    before, after = framing.decode(old[1]), framing.decode(new[1])
    added = after.count("(") - before.count("(")
    return (
        added > 0
        and after.count(")") - before.count(")") == added
        and after.count(")^{") - before.count(")^{") == added
        and without_parentheses(before) == without_parentheses(after)
    )


def shrink(previous: Worker, current: Worker, difference: Difference) -> Difference:
    """The difference on a document cut as short as it goes while the two outcomes still
    differ in the same way (a result against an exception stays that)."""
    kinds = (difference.previous[0], difference.current[0])

    def differs(candidates: list[str]) -> list[bool]:
        previous.send(candidates)
        current.send(candidates)
        pairs = zip(previous.receive(candidates), current.receive(candidates))
        return [a != b and (a[0], b[0]) == kinds for a, b in pairs]

    small = minimize(difference.document, differs)
    (old,), (new,) = previous.run([small]), current.run([small])
    return Difference(difference.label, small, old, new)


def describe(outcome: Outcome, limit: int = 400) -> str:
    tag, payload = outcome
    text = framing.decode(payload)
    kind = {framing.RESULT: "result", framing.ERROR: "exception", framing.LOST: "lost"}[tag]
    if kind == "exception":
        name, _, message = text.partition("\n")
        kind, text = f"exception {name}", message
    shown = repr(text if len(text) <= limit else text[:limit] + "...")
    return f"{kind}: {shown}"


def first_mismatch(a: bytes, b: bytes) -> int:
    return next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))


def report(difference: Difference) -> str:
    old, new = difference.previous, difference.current
    lines = [
        f"  {difference.label}, shrunk to {len(difference.document)} characters:",
        f"    document: {difference.document!r}",
    ]
    if old[0] == new[0] == framing.RESULT:
        at = first_mismatch(old[1], new[1])
        lines.append(f"    results differ from byte {at}:")
        old, new = (
            (old[0], old[1][max(0, at - 60) :]),
            (new[0], new[1][max(0, at - 60) :]),
        )
    lines += [f"    previous {describe(old)}", f"    current  {describe(new)}"]
    return "\n".join(lines)


def run(
    previous_command: list[str],
    current_command: list[str],
    count: int,
    seed: int,
    show: int = 3,
    out: TextIO | None = None,
    annotated_powers: bool = False,
) -> int:
    """Compare the two workers over count documents; the number of differences. With
    `annotated_powers`, documents that differ only by added power-base parentheses are counted
    apart and are not differences."""
    out = out or sys.stdout
    previous, current = Worker(previous_command), Worker(current_command)
    try:
        print(
            f"previous engine: {previous.module}\ncurrent engine:  {current.module}",
            file=out,
        )
        started = time.perf_counter()
        permitted = added_power_parentheses if annotated_powers else None
        total, different, allowed, kept = compare_permitting(
            previous, current, documents.documents(count, seed), show, permitted
        )
        seconds = time.perf_counter() - started
        print(
            f"differential: {total} documents, {different} differences "
            f"(seed {seed}, {seconds:.0f} s)",
            file=out,
        )
        if annotated_powers:
            print(
                f"differential: {allowed} documents differ only by the parentheses added around "
                "annotated power bases",
                file=out,
            )
        for difference in kept:
            print(report(shrink(previous, current, difference)), file=out)
    finally:
        previous.stop()
        current.stop()
    return different


def parse_args(argv: list[str] | None) -> argparse.Namespace:
    parser = argparse.ArgumentParser(
        description=__doc__.split("\n\n")[0],
        formatter_class=argparse.RawDescriptionHelpFormatter,
    )
    parser.add_argument("--count", type=int, default=100_000, help="documents to compare")
    parser.add_argument("--seed", type=int, default=1, help="seed of the generated documents")
    parser.add_argument(
        "--commit",
        default=build_engine.DEFAULT_COMMIT,
        help="commit of the previous engine",
    )
    parser.add_argument(
        "--current-commit",
        help="build this commit as the current engine instead of using the installed module",
    )
    parser.add_argument(
        "--previous-path",
        type=Path,
        help="use the mensurator_py already installed in this directory instead of --commit",
    )
    parser.add_argument("--show", type=int, default=3, help="differences to shrink and print")
    parser.add_argument(
        "--annotated-powers",
        action="store_true",
        help="count documents that differ only by parentheses added around power bases apart",
    )
    parser.add_argument(
        "--jobs", type=int, default=int(os.environ.get("JOBS", "1")), help="build jobs"
    )
    args = parser.parse_args(argv)
    if args.count < 1:
        parser.error("--count must be at least 1")
    return args


def main(argv: list[str] | None = None) -> int:
    args = parse_args(argv)
    try:
        path = args.previous_path or build_engine.build(args.commit, args.jobs)
        current = args.current_commit and build_engine.build(args.current_commit, args.jobs)
        different = run(
            worker_command(path),
            worker_command(current or None),
            args.count,
            args.seed,
            args.show,
            annotated_powers=args.annotated_powers,
        )
    except (build_engine.BuildError, WorkerError) as error:
        print(f"differential: {error}", file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        print("differential: interrupted", file=sys.stderr)
        return 130
    return 1 if different else 0


if __name__ == "__main__":
    sys.exit(main())
