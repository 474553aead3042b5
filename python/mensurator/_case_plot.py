"""One quantity of a run of cases against another, drawn with matplotlib (the ``plot`` extra)
to a PNG or SVG file, the axes labelled with the names and units as the document prints them.

An axis is a printed value of the summary or a column of given values; a given value is read
as a number followed by its unit as written (``6 m``). Every case must give the axis the same
unit: a printed value whose automatic prefix changes between cases needs a unit hint.
"""

from __future__ import annotations

import io
import os
import re
from dataclasses import dataclass

from ._case_table import ERROR_COLUMN, UNIT_SUFFIX, CaseError, CaseTable
from ._output_file import replace_file
from ._paths import PathLike

EXTRA = "plot"
FORMATS = (".png", ".svg")
GIVEN_VALUE = re.compile(r"\s*([-+]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][-+]?[0-9]+)?)\s*(.*)")


@dataclass(frozen=True)
class Axis:
    """The numbers of one quantity over the cases (None where a case has none), its label and
    its unit as mathtext (LaTeX) or plain text."""

    label: str
    unit: str
    unit_is_latex: bool
    numbers: list[float | None]

    def title(self, latex: bool) -> str:
        name = f"${self.label}$" if latex else self.label
        if not self.unit:
            return name
        unit = f"${self.unit}$" if latex and self.unit_is_latex else self.unit
        return f"{name} [{unit}]"


def number_or_none(text: str) -> float | None:
    try:
        return float(text)
    except ValueError:
        return None


def axis(table: CaseTable, name: str) -> Axis:
    """The axis of a printed value or a given column named ``name``; CaseError otherwise."""
    if name + UNIT_SUFFIX in table.columns:
        units = {unit for unit in table.column(name + UNIT_SUFFIX) if unit}
        numbers = [number_or_none(text) for text in table.column(name)]
        latex = True
    elif name in table.columns and name != ERROR_COLUMN:
        parsed = [GIVEN_VALUE.fullmatch(text) for text in table.column(name)]
        if any(match is None for match in parsed):
            raise CaseError(f"plot: the column {name!r} holds a value that is not a number")
        units = {match.group(2).strip() for match in parsed if match is not None}
        numbers = [float(match.group(1)) for match in parsed if match is not None]
        latex = False
    else:
        raise CaseError(f"plot: {name!r} is neither a printed value nor a column of the cases")
    if len(units) > 1:
        shown = ", ".join(sorted(units))
        raise CaseError(
            f"plot: {name!r} has different units across the cases ({shown});"
            " give its print a unit hint"
        )
    return Axis(name, units.pop() if units else "", latex, numbers)


def parse_plot(request: str, number: int) -> tuple[str, str, str]:
    """``X:Y`` or ``X:Y=FILE`` as X, Y and the file name (``plot.png``, then ``plot-2.png``,
    ...). The file is a plain name ending in .png or .svg; CaseError otherwise."""
    axes, _, name = request.partition("=")
    x, colon, y = axes.partition(":")
    if not colon or not x.strip() or not y.strip():
        raise CaseError(f"plot: {request!r} is not X:Y or X:Y=FILE")
    name = name.strip() or ("plot.png" if number == 1 else f"plot-{number}.png")
    if "/" in name or "\\" in name or name.startswith(".") or not name.endswith(FORMATS):
        raise CaseError(f"plot: {name!r} must be a file name ending in .png or .svg")
    return x.strip(), y.strip(), name


def draw(table: CaseTable, x_name: str, y_name: str, path: PathLike) -> None:
    """Draw Y against X, one point per case that has both, to ``path`` (PNG or SVG)."""
    x, y = axis(table, x_name), axis(table, y_name)
    try:
        from matplotlib.figure import Figure
    except ImportError:
        raise CaseError(f"plots need matplotlib: pip install 'mensurator_py[{EXTRA}]'") from None
    points = sorted((a, b) for a, b in zip(x.numbers, y.numbers) if a is not None and b is not None)
    # A label that mathtext cannot read (the document's LaTeX is richer) is drawn as text.
    for latex in (True, False):
        figure = Figure(figsize=(6.4, 4.0))
        plot = figure.add_subplot()
        plot.plot([a for a, _ in points], [b for _, b in points], marker="o")
        plot.set_xlabel(x.title(latex))
        plot.set_ylabel(y.title(latex))
        plot.grid(True, alpha=0.3)
        figure.tight_layout()
        image = io.BytesIO()
        try:
            figure.savefig(image, format=os.fspath(path).rsplit(".", 1)[-1])
        except ValueError:
            if not latex:
                raise
            continue
        replace_file(path, image.getvalue())
        return
