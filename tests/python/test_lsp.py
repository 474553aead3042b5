"""The language server driven as an editor drives it: ``mensurator lsp`` in a subprocess,
spoken to over stdio by pytest-lsp's client."""

from __future__ import annotations

import asyncio
import subprocess
import sys

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

pytest_lsp = pytest.importorskip("pytest_lsp")
from lsprotocol import types  # noqa: E402
from mensurator._lsp import completion, hover, navigation, problems  # noqa: E402
from mensurator._lsp.outline import Outline  # noqa: E402
from mensurator._lsp.places import Places  # noqa: E402
from mensurator.results import Problem  # noqa: E402
from pytest_lsp import ClientServerConfig, LanguageClient  # noqa: E402

# Every test on the server shares one server, started once for the module.
on_server = pytest.mark.asyncio(loop_scope="module")

SHEET = """'''\\section{Loads}'''
alias l \\ell
l = 6 m
q = 12 kN/m
M = q * l^2 / 8 =? kN*m
'''\\section{Check}'''
f = 50 Hz
M2 = M * 2
"""


@pytest_lsp.fixture(
    scope="module",
    config=ClientServerConfig(server_command=[sys.executable, "-m", "mensurator", "lsp"]),
)
async def client(lsp_client: LanguageClient):  # type: ignore[no-untyped-def]
    await lsp_client.initialize_session(
        types.InitializeParams(capabilities=types.ClientCapabilities())
    )
    yield
    await lsp_client.shutdown_session()


async def open_and_diagnose(
    client: LanguageClient, uri: str, text: str
) -> list[types.Diagnostic]:
    client.text_document_did_open(
        types.DidOpenTextDocumentParams(
            types.TextDocumentItem(uri=uri, language_id="mensurator", version=1, text=text)
        )
    )
    await client.wait_for_notification(types.TEXT_DOCUMENT_PUBLISH_DIAGNOSTICS)
    return client.diagnostics[uri]


def at(uri: str, line: int, character: int) -> dict[str, object]:
    return {
        "text_document": types.TextDocumentIdentifier(uri=uri),
        "position": types.Position(line=line, character=character),
    }


@on_server
async def test_diagnostics_on_open_and_after_a_change(client: LanguageClient) -> None:
    uri = "file:///tmp/diagnostics.mens"
    text = "x = 1 Hz\ny = 2 m\nz = y + 1 s\nw = q\n"
    found = await open_and_diagnose(client, uri, text)
    by_line = {diagnostic.range.start.line: diagnostic for diagnostic in found}
    assert sorted(by_line) == [0, 2, 3]
    unit = by_line[0]
    assert unit.code == "unknown-unit"
    assert unit.severity == types.DiagnosticSeverity.Error
    assert (unit.range.start.character, unit.range.end.character) == (6, 8)
    assert unit.message.splitlines() == [
        "Hz is not a variable or a valid unit",
        "hint: did you mean hz?",
    ]
    assert by_line[3].code == "unknown-variable"
    assert by_line[3].range.start.character == 4

    # Fixing every line: after the pause, the diagnostics are published again, empty.
    client.text_document_did_change(
        types.DidChangeTextDocumentParams(
            text_document=types.VersionedTextDocumentIdentifier(uri=uri, version=2),
            content_changes=[types.TextDocumentContentChangeWholeDocument(text="x = 1 hz\n")],
        )
    )
    await client.wait_for_notification(types.TEXT_DOCUMENT_PUBLISH_DIAGNOSTICS)
    assert list(client.diagnostics[uri]) == []


@on_server
async def test_changes_in_quick_succession_are_diagnosed_once(client: LanguageClient) -> None:
    uri = "file:///tmp/typing.mens"
    await open_and_diagnose(client, uri, "a = 1\n")
    for version, text in enumerate(["a = 1 H\n", "a = 1 Hz\n", "a = 1 Hz\nc = b\n"], start=2):
        client.text_document_did_change(
            types.DidChangeTextDocumentParams(
                text_document=types.VersionedTextDocumentIdentifier(uri=uri, version=version),
                content_changes=[types.TextDocumentContentChangeWholeDocument(text=text)],
            )
        )
    published = await client.wait_for_notification(types.TEXT_DOCUMENT_PUBLISH_DIAGNOSTICS)
    assert published.version == 4
    assert [diagnostic.code for diagnostic in published.diagnostics] == [
        "unknown-unit",
        "unknown-variable",
    ]
    with pytest.raises(asyncio.TimeoutError):  # the earlier texts are not diagnosed after it
        await asyncio.wait_for(
            client.wait_for_notification(types.TEXT_DOCUMENT_PUBLISH_DIAGNOSTICS), 1.0
        )


@on_server
async def test_columns_count_utf16_units(client: LanguageClient) -> None:
    # The engine counts characters; the client counts UTF-16 units, two for U+1F600.
    uri = "file:///tmp/wide.mens"
    [problem] = await open_and_diagnose(client, uri, "'''\U0001f600''' x = 1 Hz\n")
    # Hz is the 15th and 16th character, the 16th and 17th UTF-16 unit.
    assert (problem.range.start.character, problem.range.end.character) == (15, 17)


@on_server
async def test_hover_shows_values_units_and_functions(client: LanguageClient) -> None:
    uri = "file:///tmp/hover.mens"
    await open_and_diagnose(client, uri, SHEET)

    # The written name of an alias: its value as of the line, and the line defining it.
    value = await client.text_document_hover_async(types.HoverParams(**at(uri, 4, 8)))
    assert value is not None
    text = value.contents.value  # type: ignore[union-attr]
    assert "**l (stored as \\ell)** = 6 m as of line 5" in text
    assert "defined on line 3" in text
    assert "\\ell = 6" in text  # the engine's own printed line

    moment = await client.text_document_hover_async(types.HoverParams(**at(uri, 7, 6)))
    assert moment is not None
    assert "**M** = 54000 kg m^2 s^-2 as of line 8" in moment.contents.value  # type: ignore[union-attr]

    unit = await client.text_document_hover_async(types.HoverParams(**at(uri, 3, 8)))
    assert unit is not None
    assert unit.contents.value.splitlines() == [  # type: ignore[union-attr]
        "**kN**: unit of mass length time^-2",
        "",
        "1 kN = 1000 kg m s^-2",
    ]
    assert (unit.range.start.character, unit.range.end.character) == (7, 9)  # type: ignore[union-attr]

    # A name whose definition fails has no value, and an operator no hover.
    failing = await client.text_document_hover_async(types.HoverParams(**at(uri, 6, 0)))
    assert failing is not None
    assert "not computed" in failing.contents.value  # type: ignore[union-attr]
    assert await client.text_document_hover_async(types.HoverParams(**at(uri, 4, 2))) is None


@on_server
async def test_completion_by_place(client: LanguageClient) -> None:
    uri = "file:///tmp/complete.mens"
    text = "a = 2 m\nb = a * \nc = 3 k\n\n!\nd = 4 m/\n"
    await open_and_diagnose(client, uri, text)

    async def labels(line: int, character: int) -> set[str]:
        found = await client.text_document_completion_async(
            types.CompletionParams(**at(uri, line, character))
        )
        assert isinstance(found, types.CompletionList)
        return {item.label for item in found.items}

    expression = await labels(1, 8)
    assert {"a", "pi", "sqrt", "atan2"} <= expression
    assert "b" not in expression and "c" not in expression  # defined on or below the line
    assert "km" not in expression

    # After a number, letters are a unit; a typed prefix brings the prefixed names.
    prefixed = await labels(2, 7)
    assert {"km", "kN", "kPa", "kg"} <= prefixed
    assert "K" in prefixed and "sqrt" not in prefixed
    after_slash = await labels(5, 8)
    assert "s" in after_slash and "a" not in after_slash

    line_start = await labels(3, 0)
    assert {"!digits", "!scientific", "!units extended", "check", "alias", "a", "c"} <= line_start
    after_bang = await labels(4, 1)
    assert "!units extended" in after_bang and "check" not in after_bang


@on_server
async def test_definition_and_symbols(client: LanguageClient) -> None:
    uri = "file:///tmp/symbols.mens"
    await open_and_diagnose(client, uri, SHEET)
    found = await client.text_document_definition_async(types.DefinitionParams(**at(uri, 7, 5)))
    assert isinstance(found, types.Location)
    assert found.range.start == types.Position(line=4, character=0)

    symbols = await client.text_document_document_symbol_async(
        types.DocumentSymbolParams(text_document=types.TextDocumentIdentifier(uri=uri))
    )
    assert symbols is not None
    tree = [
        (symbol.name, [child.name for child in symbol.children or []])  # type: ignore[union-attr]
        for symbol in symbols
    ]
    assert tree == [("Loads", ["l", "l", "q", "M"]), ("Check", ["f", "M2"])]


@on_server
async def test_code_action_replaces_the_unit_and_the_document_passes(
    client: LanguageClient,
) -> None:
    uri = "file:///tmp/fix.mens"
    text = "f = 50 kHz\n"
    await open_and_diagnose(client, uri, text)
    actions = await client.text_document_code_action_async(
        types.CodeActionParams(
            text_document=types.TextDocumentIdentifier(uri=uri),
            range=types.Range(types.Position(0, 0), types.Position(0, 0)),
            context=types.CodeActionContext(diagnostics=client.diagnostics[uri]),
        )
    )
    assert actions is not None
    [action] = actions
    assert isinstance(action, types.CodeAction)
    assert action.title == "Replace kHz by khz"
    [edit] = action.edit.changes[uri]  # type: ignore[union-attr]
    fixed = text[: edit.range.start.character] + edit.new_text + text[edit.range.end.character :]
    assert fixed == "f = 50 khz\n"
    client.text_document_did_change(
        types.DidChangeTextDocumentParams(
            text_document=types.VersionedTextDocumentIdentifier(uri=uri, version=2),
            content_changes=[types.TextDocumentContentChangeWholeDocument(text=fixed)],
        )
    )
    await client.wait_for_notification(types.TEXT_DOCUMENT_PUBLISH_DIAGNOSTICS)
    assert list(client.diagnostics[uri]) == []


def test_a_hint_naming_a_directive_adds_it_at_the_top() -> None:
    # The hint text decides: a wider unit table's hint names the directive that switches it on.
    problem = Problem(
        "error", "unknown-unit", 2, 7, 10, "Line 2: bar is not a variable or a valid unit",
        name="bar", hints=("`bar` is in the extended table: add `!units extended`",),
    )
    outline = Outline("x = 1\np = 2 bar\n")
    places = identity_places(outline)
    wanted = types.Range(types.Position(1, 0), types.Position(1, 3))
    [action] = problems.code_actions([problem], outline, places, "file:///t", wanted)
    assert action.title == "Add !units extended"
    [edit] = action.edit.changes["file:///t"]  # type: ignore[union-attr]
    assert edit.new_text == "!units extended\n"
    assert edit.range.start == edit.range.end == types.Position(0, 0)
    elsewhere = types.Range(types.Position(0, 0), types.Position(0, 3))
    assert problems.code_actions([problem], outline, places, "file:///t", elsewhere) == []


def identity_places(outline: Outline) -> Places:
    return Places(outline, lambda lines, line, column: types.Position(line, column))


@settings(max_examples=200, deadline=None)
@given(
    st.text(alphabet="ab xkmsHz1209.=?+-*/^()!,'\\_{}\t\n\r<>é", max_size=120),
    st.integers(0, 8),
    st.integers(0, 30),
)
def test_every_request_answers_any_text_at_any_place(text: str, line: int, column: int) -> None:
    outline = Outline(text)
    places = identity_places(outline)
    line = min(line, len(outline.lines) - 1)
    column = min(column, len(outline.lines[line]))
    hover.hover(outline, line, column, places)
    completion.completions(outline, line, column)
    found = navigation.definition(outline, line, column)
    if found is not None:  # a definition is a name written on or above the line
        assert found.line <= line
        assert outline.lines[found.line][found.column :].startswith(found.written)
    symbols = navigation.symbols(outline, places)
    assert all(symbol.range.start.line < len(outline.lines) for symbol in symbols)
    found_problems = problems.problems_of(text)
    for diagnostic in problems.diagnostics(found_problems, outline, places):
        assert diagnostic.range.start.line < len(outline.lines)
    whole = types.Range(types.Position(0, 0), types.Position(len(outline.lines), 0))
    for action in problems.code_actions(found_problems, outline, places, "file:///t", whole):
        [edit] = action.edit.changes["file:///t"]  # type: ignore[union-attr]
        assert edit.new_text.strip()


def test_without_pygls_the_command_says_how_to_install_it() -> None:
    blocked = "import sys; sys.modules['pygls'] = None; from mensurator._cli import main; "
    completed = subprocess.run(
        [sys.executable, "-c", blocked + "sys.exit(main(['lsp']))"],
        capture_output=True,
        text=True,
        timeout=60,
        check=False,
        stdin=subprocess.DEVNULL,
    )
    assert completed.returncode == 1
    assert "pip install 'mensurator_py[lsp]'" in completed.stderr
    assert "Traceback" not in completed.stderr


def test_the_extended_table_comes_with_its_directive() -> None:
    from mensurator._lsp import catalog
    from mensurator.results import diagnose

    # Unit names come from the engine's tables, the extended ones only where a document asks.
    assert "ft" in catalog.unit_names(("!units extended",))
    assert "ft" not in catalog.unit_names() and "m" in catalog.unit_names()
    # The engine's own hint for a unit of the extended table turns into the fix.
    outline = Outline("x = 1\np = 2 bar\n")
    found = [p for p in diagnose(outline.text) if p.code == "unknown-unit"]
    wanted = types.Range(types.Position(1, 0), types.Position(1, 9))
    titles = [a.title for a in problems.code_actions(found, outline, identity_places(outline),
                                                     "file:///t", wanted)]
    assert "Add !units extended" in titles
