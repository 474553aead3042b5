r"""The verdict that ends the math line of a check statement (``... \quad \mathrm{OK}``), for
the layouts that show it in colour as well as in words."""

from __future__ import annotations

OK = r" \quad \mathrm{OK}"
NOT_OK = r" \quad \mathrm{NOT\ OK}"
WORDS = {True: "OK", False: "NOT OK"}


def split_verdict(math: str) -> tuple[str, bool | None]:
    """A math line's LaTeX without its verdict, and whether the check passed; None when the
    line is no check's."""
    if math.endswith(OK):
        return math[: -len(OK)], True
    if math.endswith(NOT_OK):
        return math[: -len(NOT_OK)], False
    return math, None


def coloured(math: str) -> str:
    """The math line with its verdict in green or red, for MathJax; other lines unchanged."""
    rest, passed = split_verdict(math)
    if passed is None:
        return math
    colour = "green" if passed else "red"
    verdict = (OK if passed else NOT_OK).removeprefix(r" \quad ")
    return rf"{rest} \quad \color{{{colour}}}{{{verdict}}}"
