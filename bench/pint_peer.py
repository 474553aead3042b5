"""The peer pipeline: the same quantities parsed, checked, converted and printed as LaTeX with pint.

For every statement of a generated document that evaluates a quantity, the peer parses the
expression with pint's expression parser (the values of earlier statements passed in by name),
keeps the result of a definition for later statements, and for a printed statement converts the
result into the hinted unit (or into base units when there is no hint) and formats it with
pint's LaTeX formatting. pint's parser has no function calls, so a call's arguments are parsed
with pint first and the function is applied to them in Python, with the same unit rules as the
document language: dimensionless arguments only, or arguments of one dimension for abs, min and
max.
"""

from __future__ import annotations

import math

from corpus import PintStep

try:
    import pint
except ImportError:  # the benchmark reports the peer as missing and carries on
    pint = None

INSTALL_HINT = "pint is not installed: run `pip install pint` to measure the pint peer"

DIMENSIONLESS_FUNCTIONS = {
    "sqrt": math.sqrt,
    "sin": math.sin,
    "cos": math.cos,
    "tan": math.tan,
    "atan": math.atan,
    "ln": math.log,
    "log10": math.log10,
}

UNIT_KEEPING_FUNCTIONS = {
    "max": max,
    "min": min,
    "abs": lambda args: abs(args[0]),
}


def available() -> bool:
    return pint is not None


class PintPeer:
    def __init__(self) -> None:
        if pint is None:
            raise RuntimeError(INSTALL_HINT)
        self.registry = pint.UnitRegistry()

    def apply(self, function: str, args: list):
        if function in DIMENSIONLESS_FUNCTIONS:
            plain = [arg.m_as("dimensionless") for arg in args]
            return self.registry.Quantity(DIMENSIONLESS_FUNCTIONS[function](*plain))
        return UNIT_KEEPING_FUNCTIONS[function](args)

    def run(self, steps: tuple[PintStep, ...]) -> list[str]:
        """Run the steps of one document and return the LaTeX of its printed values."""
        parse = self.registry.parse_expression
        env: dict[str, object] = {}
        shown: list[str] = []
        for step in steps:
            values = {name: env[name] for name in step.refs}
            for call in step.calls:
                args = [
                    parse(text, **{name: env[name] for name in refs}) for text, refs in call.args
                ]
                values[call.name] = self.apply(call.function, args)
            quantity = parse(step.expression, **values)
            if step.store is not None:
                env[step.store] = quantity
            if step.show:
                converted = quantity.to(step.hint) if step.hint else quantity.to_base_units()
                shown.append(format(converted, step.format_spec))
        return shown
