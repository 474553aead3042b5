"""The structured results of ``mensurator --json``: one JSON object per document.

Schema 1 (a new field may be added within a schema; a field that changes meaning or goes away
makes a new schema number):

    {"schema": 1, "file": NAME, "ok": BOOL,
     "latex": TEXT or null,             # null when the document failed
     "statements": [STATEMENT...],      # empty when the document failed
     "warnings": [PROBLEM...], "errors": [PROBLEM...]}

    STATEMENT: {"first_line", "last_line", "kind", "name", "expression", "hint", "printed",
                "value": null or VALUE, "check": null or CHECK}
    CHECK:     {"relation": "<", "<=", ">" or ">=", "passed": BOOL, "left": VALUE,
                "right": VALUE}
    VALUE:     {"number", "mantissa", "exp10", "factor",
                "exponents": {"m": "1", "g": "0", "s": "-2", ...}}   # exact fractions as text
    PROBLEM:   {"severity", "code", "line", "column", "end_column", "message", "name", "hints"}

Numbers that JSON cannot hold (infinities, NaN, from a division by zero) are the strings
"inf", "-inf" and "nan".
"""

from __future__ import annotations

import json
import math
from collections.abc import Sequence
from dataclasses import asdict
from typing import Any, Union

from .results import BASE_UNITS, Problem, Statement, Value

SCHEMA = 1

JsonNumber = Union[float, int, str]


def document_json(
    name: str,
    latex: str | None,
    statements: Sequence[Statement],
    problems: Sequence[Problem],
) -> str:
    """The JSON text of one document's results (without a line end)."""
    record: dict[str, Any] = {
        "schema": SCHEMA,
        "file": name,
        "ok": latex is not None,
        "latex": latex,
        "statements": [statement_json(s) for s in statements],
        "warnings": [problem_json(p) for p in problems if p.severity == "warning"],
        "errors": [problem_json(p) for p in problems if p.severity == "error"],
    }
    return json.dumps(record, ensure_ascii=False, allow_nan=False)


def statement_json(statement: Statement) -> dict[str, Any]:
    fields = asdict(statement)
    fields["value"] = None if statement.value is None else value_json(statement.value)
    check = statement.check
    fields["check"] = None
    if check is not None:
        fields["check"] = {
            "relation": check.relation,
            "passed": check.passed,
            "left": value_json(check.left),
            "right": value_json(check.right),
        }
    return fields


def value_json(value: Value) -> dict[str, Any]:
    return {
        "number": number_json(value.number),
        "mantissa": number_json(value.mantissa),
        "exp10": value.exp10,
        "factor": number_json(value.factor),
        "exponents": {
            unit: str(power) for unit, power in zip(BASE_UNITS, value.exponents)
        },
    }


def problem_json(problem: Problem) -> dict[str, Any]:
    fields = asdict(problem)
    fields["hints"] = list(problem.hints)
    return fields


def number_json(number: float) -> JsonNumber:
    if math.isfinite(number):
        return number
    return "nan" if math.isnan(number) else ("inf" if number > 0 else "-inf")
