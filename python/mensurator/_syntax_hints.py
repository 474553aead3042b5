"""Hints for statements the engine cannot read: the usual ways of writing a line that its
grammar does not have, found in the source line the error names."""

from __future__ import annotations

import re

BLOCK_QUOTES = "'''"
ALIAS_WITH_BLANKS = re.compile(r"[ \t]*alias[ \t]+\S+[ \t]+(\S.*?\S)[ \t]*\Z")
EXPONENT_NUMBER = re.compile(r"(?<![A-Za-z_\d.])((?:\d+\.?\d*|\.\d+))[eE]([+-]?\d+)")
# A minus right after an operator, an opening bracket or the start of an expression, in front
# of a name or a bracket (in front of a digit it is part of the number).
UNARY_MINUS = re.compile(r"(?:^|[=(*/+,^-]|=\?)[ \t]*-[ \t]*([A-Za-z\\][A-Za-z_\d{}\\]*|\()")


def source_lines(source: str) -> list[str]:
    """The document's lines as the engine numbers them: only LF starts a new line."""
    return [line.removesuffix("\r") for line in source.split("\n")]


def syntax_hints(source: str, line: int) -> tuple[str, ...]:
    """Hints for line ``line`` (from 1) of ``source``; none when nothing common is wrong."""
    lines = source_lines(source)
    if not 1 <= line <= len(lines):
        return ()
    text = lines[line - 1]
    if text.lstrip().startswith(BLOCK_QUOTES):
        rest = "\n".join(lines[line - 1 :])
        if rest.count(BLOCK_QUOTES) == 1:
            return (f"the LaTeX block opened on line {line} is never closed: end it with '''",)
        return ()
    hints = [
        hint
        for hint in (alias_hint(text), exponent_hint(text), minus_hint(text), bracket_hint(text))
        if hint is not None
    ]
    return tuple(hints)


def alias_hint(text: str) -> str | None:
    alias = ALIAS_WITH_BLANKS.match(text)
    if alias is None or not re.search(r"[ \t]", alias.group(1)):
        return None
    joined = "{}".join(alias.group(1).split())
    return f"an alias's display is one word without blanks: write {joined}"


def exponent_hint(text: str) -> str | None:
    number = EXPONENT_NUMBER.search(text)
    if number is None:
        return None
    mantissa, exponent = number.group(1), number.group(2).lstrip("+")
    return (
        f"numbers have no exponent notation: write {number.group()} as {mantissa} * 10^{exponent}"
    )


def minus_hint(text: str) -> str | None:
    minus = UNARY_MINUS.search(text)
    if minus is None:
        return None
    operand = "(...)" if minus.group(1) == "(" else minus.group(1)
    return (
        "a minus sign in front of a name or a bracket needs a number: "
        f"write -1 * {operand} for -{operand}"
    )


def bracket_hint(text: str) -> str | None:
    opened: list[int] = []
    for column, character in enumerate(text, start=1):
        if character == "(":
            opened.append(column)
        elif character == ")":
            if not opened:
                return f"the ) at column {column} closes no bracket"
            opened.pop()
    if opened:
        return f"the ( at column {opened[-1]} is never closed"
    return None


def defines_before(source: str, line: int, name: str) -> bool:
    """Whether a line before ``line`` defines the variable ``name`` (``name = ...``)."""
    definition = re.compile(rf"[ \t]*{re.escape(name)}[ \t]*=(?!\?)")
    return any(definition.match(text) for text in source_lines(source)[: line - 1])
