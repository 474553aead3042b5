"""Going to a name's definition, and the document's symbols: sections with their definitions."""

from __future__ import annotations

from lsprotocol import types

from .._lexer import NAMES
from .outline import Definition, Outline
from .places import Places


def definition(outline: Outline, line: int, column: int) -> Definition | None:
    token = outline.token_at(line, column)
    if token is None or token.kind not in NAMES:
        return None
    return outline.definition_of(outline.stored_name(token.text, line), line)


def symbols(outline: Outline, places: Places) -> list[types.DocumentSymbol]:
    def variable(definition: Definition) -> types.DocumentSymbol:
        where = places.range(
            definition.line,
            definition.column,
            definition.column + len(definition.written),
        )
        return types.DocumentSymbol(
            name=definition.written,
            detail=definition.stored if definition.stored != definition.written else None,
            kind=types.SymbolKind.Variable,
            range=places.whole_line(definition.line),
            selection_range=where,
        )

    found: list[types.DocumentSymbol] = []
    sections = outline.sections
    for index, section in enumerate(sections):
        children = [variable(definition) for definition in section.definitions]
        if not section.title:
            found += children
            continue
        last = sections[index + 1].line - 1 if index + 1 < len(sections) else len(outline.lines) - 1
        found.append(
            types.DocumentSymbol(
                name=section.title,
                kind=types.SymbolKind.Namespace,
                range=types.Range(
                    places.position(section.line, 0),
                    places.position(last, len(outline.lines[last])),
                ),
                selection_range=places.whole_line(section.line),
                children=children,
            )
        )
    return found
