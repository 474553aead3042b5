"""Completions by place: unit names where a unit stands, directives and keywords at the start of
a line, otherwise the names defined above and the functions."""

from __future__ import annotations

import re

from lsprotocol import types

from .._lexer import UNIT
from . import catalog
from .outline import Outline

# The part of a name typed before the cursor.
WORD_BEFORE = re.compile(r"[A-Za-z0-9_{}\\]*\Z")
# Directive lines offered at the start of a line, with what they do.
DIRECTIVE_LINES = {
    "!digits": "digits after the decimal point (!digits 3)",
    "!scientific": "scientific notation on, or off again",
    "!sigfigs": "significant figures instead of decimals (!sigfigs 3)",
    "!units extended": "the extended unit table: customary units and common spellings",
    "!steps": "substitution steps on, or off again",
    "!symbols": "units and functions typeset as printed matter",
}
STATEMENT_KEYWORDS = {
    "alias": "alias NAME DISPLAY: write and store NAME as DISPLAY from here on",
    "check": "check EXPR OP EXPR: a verdict, OP one of < <= > >=",
}


def completions(outline: Outline, line: int, column: int) -> list[types.CompletionItem]:
    before = outline.lines[line][:column] if line < len(outline.lines) else ""
    found = WORD_BEFORE.search(before)
    typed = found.group(0) if found else ""
    head = before[: len(before) - len(typed)]
    if head.strip() == "!":
        return line_start_items(after_bang=True)
    items = line_start_items(after_bang=False) if not head.strip() else []
    if reads_as_unit(head):
        directives = outline.directives_above(line)
        names = [*catalog.unit_names(directives), *catalog.prefixed_units(typed, directives)]
        return items + [
            types.CompletionItem(label=name, kind=types.CompletionItemKind.Unit)
            for name in dict.fromkeys(names)
        ]
    return items + variable_items(outline, line) + function_items()


def reads_as_unit(head: str) -> bool:
    """Whether a word after ``head`` (the line up to it) is a unit: after a number or a name,
    after a unit and * or /, in the unit hint after =?. The lexer is asked how it reads one."""
    probed = Outline(head + "x").token_at(0, len(head))
    return probed is not None and probed.kind is UNIT


def line_start_items(after_bang: bool) -> list[types.CompletionItem]:
    items = [
        types.CompletionItem(
            label=directive,
            kind=types.CompletionItemKind.Keyword,
            detail=meaning,
            insert_text=directive[1:] if after_bang else directive,
        )
        for directive, meaning in DIRECTIVE_LINES.items()
    ]
    if not after_bang:
        items += [
            types.CompletionItem(label=keyword, kind=types.CompletionItemKind.Keyword, detail=use)
            for keyword, use in STATEMENT_KEYWORDS.items()
        ]
    return items


def variable_items(outline: Outline, line: int) -> list[types.CompletionItem]:
    defined = [
        types.CompletionItem(
            label=definition.written,
            kind=types.CompletionItemKind.Variable,
            detail=f"line {definition.line + 1}",
        )
        for definition in outline.defined_above(line)
    ]
    constants = [
        types.CompletionItem(label=name, kind=types.CompletionItemKind.Constant, detail="built in")
        for name in ("pi", "e")
    ]
    return defined + constants


def function_items() -> list[types.CompletionItem]:
    return [
        types.CompletionItem(
            label=function.name,
            kind=types.CompletionItemKind.Function,
            detail=function.arguments,
        )
        for function in catalog.functions()
    ]
