"""What the language server answers, computed from a document's text: diagnostics, hovers,
completions, definitions, symbols and code actions.

Places are lines and columns in characters from 0 (``Outline``'s); ``Places`` turns them into
the client's positions, whose columns count UTF-16 units unless the client asked otherwise.
"""

from __future__ import annotations

import re
from collections.abc import Iterable
from typing import Callable

from lsprotocol import types
from pygments.token import Name

from .. import _engine
from ..engine import strip_final_line_end
from ..errors import MensuratorException
from ..lexer import NAMES, UNIT
from ..results import Problem, diagnose, value_from
from . import catalog
from .outline import BUILT_IN_NAMES, Definition, Outline, Token

SOURCE = "mensurator"
# The part of a name typed before the cursor.
WORD_BEFORE = re.compile(r"[A-Za-z0-9_{}\\]*\Z")
# Hints that name spellings to use instead, and hints that name a directive to add.
SPELLINGS_HINT = re.compile(r"did you mean (.+)\?\Z")
DIRECTIVE_HINT = re.compile(r"add `?(![a-z]+(?: [a-z]+)?)`?")
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

# The client's position of a (line, column) of the given lines.
ToClient = Callable[[list[str], int, int], types.Position]


class Places:
    """Converts (line, character column) to the client's positions for one outline."""

    def __init__(self, outline: Outline, to_client: ToClient) -> None:
        self._outline = outline
        self._to_client = to_client

    def position(self, line: int, column: int) -> types.Position:
        return self._to_client(self._outline.lines, line, column)

    def range(self, line: int, start: int, end: int) -> types.Range:
        return types.Range(self.position(line, start), self.position(line, end))

    def whole_line(self, line: int) -> types.Range:
        return self.range(line, 0, len(self._outline.lines[line]))


def problems_of(text: str) -> tuple[Problem, ...]:
    # Like the command line: the line end that ends the file adds no blank line.
    return diagnose(strip_final_line_end(text))


def problem_range(problem: Problem, outline: Outline, places: Places) -> types.Range:
    line = min(max(problem.line - 1, 0), len(outline.lines) - 1)
    if problem.column is None:
        return places.whole_line(line)
    start = problem.column - 1
    end = problem.end_column - 1 if problem.end_column is not None else start + 1
    return places.range(line, start, max(end, start))


def diagnostics(
    problems: Iterable[Problem], outline: Outline, places: Places
) -> list[types.Diagnostic]:
    severities = {
        "error": types.DiagnosticSeverity.Error,
        "warning": types.DiagnosticSeverity.Warning,
    }
    return [
        types.Diagnostic(
            range=problem_range(problem, outline, places),
            message="\n".join(
                [problem.message.removeprefix(f"Line {problem.line}: ")]
                + [f"hint: {hint}" for hint in problem.hints]
            ),
            severity=severities[problem.severity],
            code=problem.code,
            source=SOURCE,
        )
        for problem in problems
    ]


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


def definition(outline: Outline, line: int, column: int) -> Definition | None:
    token = outline.token_at(line, column)
    if token is None or token.kind not in NAMES:
        return None
    return outline.definition_of(outline.stored_name(token.text, line), line)


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


def code_actions(
    problems: Iterable[Problem],
    outline: Outline,
    places: Places,
    uri: str,
    wanted: types.Range,
) -> list[types.CodeAction]:
    """Fixes the hints of the problems on the requested lines propose: a spelling the engine
    accepts in place of the name, or a directive line at the top of the document."""
    actions: list[types.CodeAction] = []
    for problem in problems:
        if not wanted.start.line <= problem.line - 1 <= wanted.end.line:
            continue
        where = problem_range(problem, outline, places)
        [diagnostic] = diagnostics([problem], outline, places)
        for hint in problem.hints:
            spellings = SPELLINGS_HINT.match(hint)
            if spellings and problem.name is not None and problem.column is not None:
                for spelling in spellings.group(1).split(" or "):
                    edit = types.TextEdit(range=where, new_text=spelling)
                    actions.append(
                        fix(f"Replace {problem.name} by {spelling}", uri, edit, diagnostic)
                    )
            directive = DIRECTIVE_HINT.search(hint)
            if directive:
                line = directive.group(1)
                top = types.Range(places.position(0, 0), places.position(0, 0))
                edit = types.TextEdit(range=top, new_text=f"{line}\n")
                actions.append(fix(f"Add {line}", uri, edit, diagnostic))
    return actions


def fix(
    title: str, uri: str, edit: types.TextEdit, diagnostic: types.Diagnostic
) -> types.CodeAction:
    return types.CodeAction(
        title=title,
        kind=types.CodeActionKind.QuickFix,
        diagnostics=[diagnostic],
        edit=types.WorkspaceEdit(changes={uri: [edit]}),
    )
