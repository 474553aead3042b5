"""The opt-in extensions of the language as options: ``render(..., sigfigs=3, units="extended",
symbols=True, steps=True)`` and ``--sigfigs 3 --units extended --symbols --steps`` act as if the
document began with the lines ``!sigfigs 3``, ``!units extended``, ``!symbols`` and
``!steps``."""

from __future__ import annotations

from dataclasses import dataclass
from typing import TypedDict

# As many significant figures as a double holds.
MAX_SIGFIGS = 17
UNIT_TABLES = ("extended",)


class EngineOptions(TypedDict):
    """The keyword arguments of ``_engine.diagnose``."""

    sigfigs: int
    extended_units: bool
    symbols: bool


class RunOptions(EngineOptions):
    """The keyword arguments of ``_engine.run``: substitution steps change no problem."""

    steps: bool


@dataclass(frozen=True)
class OptIns:
    sigfigs: int | None = None
    units: str | None = None
    symbols: bool = False
    steps: bool = False

    def __post_init__(self) -> None:
        if self.sigfigs is not None and not 1 <= self.sigfigs <= MAX_SIGFIGS:
            raise ValueError(f"sigfigs must be 1 to {MAX_SIGFIGS}, not {self.sigfigs}")
        if self.units is not None and self.units not in UNIT_TABLES:
            raise ValueError(f"units must be None or 'extended', not {self.units!r}")

    def engine_options(self) -> EngineOptions:
        return {
            "sigfigs": self.sigfigs or 0,
            "extended_units": self.units == "extended",
            "symbols": self.symbols,
        }

    def run_options(self) -> RunOptions:
        return {**self.engine_options(), "steps": self.steps}


NONE = OptIns()
