"""Shrinks a document on which two engines differ, keeping it a difference.

Delta debugging over lines first, then over characters: every cut of the current chunk size is
tried in one batch (both engines run a batch at once), the first cut that still differs is
taken, and the chunk size halves when none does.
"""

from __future__ import annotations

import re
from collections.abc import Callable

# Runs candidate documents through both engines; True for each that still differs.
Differs = Callable[[list[str]], list[bool]]

MAX_ROUNDS = 200


def _shrink(pieces: list[str], differs: Differs, rounds: list[int]) -> list[str]:
    chunk = max(1, len(pieces) // 2)
    while pieces and rounds[0] < MAX_ROUNDS:
        cuts = [pieces[:at] + pieces[at + chunk :] for at in range(0, len(pieces), chunk)]
        rounds[0] += 1
        verdicts = differs(["".join(cut) for cut in cuts])
        smaller = next((cut for cut, differ in zip(cuts, verdicts) if differ), None)
        if smaller is not None:
            pieces = smaller
            chunk = min(chunk, max(1, len(pieces) // 2))
        elif chunk > 1:
            chunk //= 2
        else:
            break
    return pieces


def minimize(document: str, differs: Differs) -> str:
    rounds = [0]
    lines = re.findall(r"[^\r\n]*(?:\r\n|\r|\n)|[^\r\n]+$", document)
    shorter = "".join(_shrink(lines, differs, rounds))
    return "".join(_shrink(list(shorter), differs, rounds))
