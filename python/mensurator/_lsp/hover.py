"""Hovers: a name's value as of its line and where it is defined, a unit's dimension and size,
a function's argument count."""

from __future__ import annotations

from lsprotocol import types
from pygments.token import Name

from .. import _engine
from .._errors import MensuratorException
from .._lexer import NAMES, UNIT
from ..results import value_from
from . import catalog
from .outline import BUILT_IN_NAMES, Outline, Token
from .places import Places


def hover(outline: Outline, line: int, column: int, places: Places) -> types.Hover | None:
    token = outline.token_at(line, column)
    if token is None:
        return None
    text = None
    if token.kind is UNIT:
        text = unit_hover(token.text, outline.directives_above(line))
    elif token.kind is Name.Function:
        function = catalog.function_named(token.text)
        text = f"**{token.text}**: built-in function, {function.arguments}" if function else None
    elif token.kind in NAMES:
        text = name_hover(outline, token)
        if text is None:
            # A unit name standing alone in an expression is one of that unit.
            text = unit_hover(token.text, outline.directives_above(line))
    if text is None:
        return None
    return types.Hover(
        contents=types.MarkupContent(kind=types.MarkupKind.Markdown, value=text),
        range=places.range(token.line, token.column, token.end_column),
    )


def unit_hover(name: str, directives: tuple[str, ...]) -> str | None:
    value = catalog.unit_value(name, directives)
    if value is None:
        return None
    base = catalog.base_form(value)
    return f"**{name}**: unit of {catalog.dimension(value)}\n\n1 {name} = {base}"


def name_hover(outline: Outline, token: Token) -> str | None:
    stored = outline.stored_name(token.text, token.line)
    definition = outline.definition_of(stored, token.line)
    if definition is None and stored not in BUILT_IN_NAMES:
        return None
    shown = stored if stored == token.text else f"{token.text} (stored as {stored})"
    where = "built in" if definition is None else f"defined on line {definition.line + 1}"
    # A value changes only where its name is defined: run the lines up to that definition.
    value = None if definition is None else value_after(outline, stored, definition.line)
    if value is None and definition is not None:
        return f"**{shown}**: {where}; not computed (the lines up to there have an error)"
    base, printed = value if value is not None else builtin_value(stored)
    return f"**{shown}** = {base} as of line {token.line + 1}; {where}\n\n```latex\n{printed}\n```"


def value_after(outline: Outline, stored: str, line: int) -> tuple[str, str] | None:
    """A name's value after a line, in base units and as the engine prints it."""
    return printed_value("\n".join(outline.lines[: line + 1]) + f"\n{stored} =?")


def builtin_value(stored: str) -> tuple[str, str]:
    value = printed_value(f"{stored} =?")
    assert value is not None, "the built-in names always print"
    return value


def printed_value(text: str) -> tuple[str, str] | None:
    try:
        printed = _engine.run(text).statements[-1]
    except MensuratorException:
        return None
    if printed.value is None or printed.printed is None:
        return None
    return catalog.base_form(value_from(printed.value)), printed.printed
