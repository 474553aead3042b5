"""``mensurator lsp``: the language server, over standard input and output.

Diagnostics are published when a document is opened and, a short pause after the last change,
when it changes; the engine runs in a worker thread, and a diagnosis that a newer change made
stale is not published.
"""

from __future__ import annotations

import asyncio

from lsprotocol import types
from pygls.lsp.server import LanguageServer
from pygls.workspace import TextDocument
from pygls.workspace.position_codec import ServerTextPosition

from . import completion, hover, navigation, problems
from .outline import Outline
from .places import Places

NAME = "mensurator"
# Diagnose this long after the last change: typing a word does not run the engine per key.
DEBOUNCE_SECONDS = 0.3


class MensuratorServer(LanguageServer):
    def __init__(self) -> None:
        from importlib.metadata import version

        super().__init__(NAME, version("mensurator_py"))
        self.pending: dict[str, asyncio.TimerHandle] = {}
        # Each open document's outline, made once per text: requests between two changes
        # (hovers, completions while typing) share it.
        self.outlines: dict[str, tuple[str, Outline]] = {}

    def outline(self, uri: str, text: str) -> Outline:
        made = self.outlines.get(uri)
        if made is None or made[0] is not text:
            made = (text, Outline(text))
            self.outlines[uri] = made
        return made[1]

    def document(self, uri: str) -> tuple[TextDocument, Outline, Places]:
        document = self.workspace.get_text_document(uri)
        outline = self.outline(uri, document.source)
        codec = document.position_codec

        def to_client(lines: list[str], line: int, column: int) -> types.Position:
            return codec.position_to_client_units(lines, ServerTextPosition(line, column))

        return document, outline, Places(outline, to_client)

    def cursor(
        self, uri: str, position: types.Position
    ) -> tuple[Outline, Places, int, int]:
        document, outline, places = self.document(uri)
        server = document.position_codec.position_from_client_units(outline.lines, position)
        return outline, places, server.line, server.character

    def schedule_diagnosis(self, uri: str, delay: float) -> None:
        waiting = self.pending.pop(uri, None)
        if waiting is not None:
            waiting.cancel()
        loop = asyncio.get_running_loop()
        self.pending[uri] = loop.call_later(
            delay, lambda: asyncio.ensure_future(self.publish_diagnostics(uri))
        )

    async def publish_diagnostics(self, uri: str) -> None:
        self.pending.pop(uri, None)
        document = self.workspace.get_text_document(uri)
        version, text = document.version, document.source
        found = await asyncio.to_thread(problems.problems_of, text)
        if self.workspace.text_documents.get(uri) is not document or document.version != version:
            return  # closed or changed meanwhile: the next diagnosis follows
        _, outline, places = self.document(uri)
        self.text_document_publish_diagnostics(
            types.PublishDiagnosticsParams(
                uri=uri,
                version=version,
                diagnostics=problems.diagnostics(found, outline, places),
            )
        )


server = MensuratorServer()


@server.feature(types.TEXT_DOCUMENT_DID_OPEN)
def on_open(ls: MensuratorServer, params: types.DidOpenTextDocumentParams) -> None:
    ls.schedule_diagnosis(params.text_document.uri, 0)


@server.feature(types.TEXT_DOCUMENT_DID_CHANGE)
def on_change(ls: MensuratorServer, params: types.DidChangeTextDocumentParams) -> None:
    ls.schedule_diagnosis(params.text_document.uri, DEBOUNCE_SECONDS)


@server.feature(types.TEXT_DOCUMENT_DID_CLOSE)
def on_close(ls: MensuratorServer, params: types.DidCloseTextDocumentParams) -> None:
    uri = params.text_document.uri
    ls.outlines.pop(uri, None)
    waiting = ls.pending.pop(uri, None)
    if waiting is not None:
        waiting.cancel()
    ls.text_document_publish_diagnostics(types.PublishDiagnosticsParams(uri=uri, diagnostics=[]))


@server.feature(types.TEXT_DOCUMENT_HOVER)
def on_hover(ls: MensuratorServer, params: types.HoverParams) -> types.Hover | None:
    outline, places, line, column = ls.cursor(params.text_document.uri, params.position)
    return hover.hover(outline, line, column, places)


@server.feature(
    types.TEXT_DOCUMENT_COMPLETION,
    types.CompletionOptions(trigger_characters=["!"]),
)
def on_completion(ls: MensuratorServer, params: types.CompletionParams) -> types.CompletionList:
    outline, _, line, column = ls.cursor(params.text_document.uri, params.position)
    items = completion.completions(outline, line, column)
    return types.CompletionList(is_incomplete=False, items=items)


@server.feature(types.TEXT_DOCUMENT_DEFINITION)
def on_definition(ls: MensuratorServer, params: types.DefinitionParams) -> types.Location | None:
    uri = params.text_document.uri
    outline, places, line, column = ls.cursor(uri, params.position)
    found = navigation.definition(outline, line, column)
    if found is None:
        return None
    end = found.column + len(found.written)
    return types.Location(uri=uri, range=places.range(found.line, found.column, end))


@server.feature(types.TEXT_DOCUMENT_DOCUMENT_SYMBOL)
def on_document_symbol(
    ls: MensuratorServer, params: types.DocumentSymbolParams
) -> list[types.DocumentSymbol]:
    _, outline, places = ls.document(params.text_document.uri)
    return navigation.symbols(outline, places)


@server.feature(
    types.TEXT_DOCUMENT_CODE_ACTION,
    types.CodeActionOptions(code_action_kinds=[types.CodeActionKind.QuickFix]),
)
async def on_code_action(
    ls: MensuratorServer, params: types.CodeActionParams
) -> list[types.CodeAction]:
    uri = params.text_document.uri
    document, outline, places = ls.document(uri)
    found = await asyncio.to_thread(problems.problems_of, document.source)
    return problems.code_actions(found, outline, places, uri, params.range)
