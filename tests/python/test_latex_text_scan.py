"""The scan of LaTeX block text for the HTML sheet takes time in proportion to the text, also
when commands leave their argument unclosed, and finds the same arguments as a scan that looks
for each one afresh."""

import time
from typing import Optional

import pytest
from hypothesis import given
from hypothesis import strategies as st
from mensurator._html.latex_text import TOKEN, BlockText, braced_argument, matching_braces


def no_math(latex: str) -> Optional[str]:
    return None


def best_time(text: str) -> float:
    best = float("inf")
    for _ in range(3):
        started = time.perf_counter()
        BlockText(no_math).items(text)
        best = min(best, time.perf_counter() - started)
    return best


@pytest.mark.parametrize(
    "piece", ["\\emph{", "\\section{", "\\textbf{a ", "\\begin{", "\\subsection*{x \\emph{"]
)
def test_unclosed_arguments_take_linear_time(piece):
    small, large = best_time(piece * 8000), best_time(piece * 16000)
    assert small < 1.0, f"{small:.2f} s for 8000 unclosed commands"
    assert large / small < 3, f"doubling the text took {large / small:.1f} times as long"


def argument_found_afresh(text: str, start: int) -> Optional[tuple[str, int]]:
    """The ``{...}`` group at ``start``, found by reading forward from it."""
    position = start
    while position < len(text) and text[position] in " \t":
        position += 1
    if position >= len(text) or text[position] != "{":
        return None
    depth = 0
    index = position
    while index < len(text):
        if text[index] == "\\":
            index += 2
            continue
        if text[index] == "{":
            depth += 1
        elif text[index] == "}":
            depth -= 1
            if depth == 0:
                return text[position + 1 : index], index + 1
        index += 1
    return None


@given(st.lists(st.sampled_from(["\\emph", "\\\\", "\\{", "\\}", "{", "}", " ", "a", "\t"])))
def test_arguments_are_those_a_fresh_scan_finds(pieces):
    text = "".join(pieces)
    closing = matching_braces(text)
    for match in TOKEN.finditer(text):
        if match.group("command") is not None:
            end = match.end()
            assert braced_argument(text, end, closing) == argument_found_afresh(text, end)
