"""Problems as diagnostics, and the fixes their hints propose as code actions."""

from __future__ import annotations

import re
from collections.abc import Iterable

from lsprotocol import types

from .._rendering import strip_final_line_end
from ..results import Problem, diagnose
from .outline import Outline
from .places import Places

SOURCE = "mensurator"
# Hints that name spellings to use instead, and hints that name a directive to add.
SPELLINGS_HINT = re.compile(r"did you mean (.+)\?\Z")
DIRECTIVE_HINT = re.compile(r"add `?(![a-z]+(?: [a-z]+)?)`?")


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
