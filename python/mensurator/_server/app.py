"""The live editor's routes: the page, its static files, rendering, saving and downloads.

Every route that renders takes the document text from the request body (JSON ``{"text": ...}``)
and runs the engine in a worker thread, so a long document never blocks the event loop. The page
renders over a WebSocket (``/api/live``) instead when it can: one message per render on a
connection that stays open, without a request's headers, and a small document is rendered
there and then, as a worker thread would take longer to hand it to than to render it. Work
runs in three separate lanes, so that none waits for another: renders and downloads of text
(two at a time), the file (page loads, saves and reads after a change on disk), and PDFs (one
at a time, refused while one runs). Only the ``SourceFile`` given at start-up is ever read or
written.

The page follows the file: it asks ``/api/file`` to answer once the file's version differs from
the one it knows, and a save names the version its text was edited from, so that a file
changed on disk since is not overwritten unless the author confirms (``force``).
"""

from __future__ import annotations

import asyncio
import html
import json
import re
import secrets
import shutil
import string
import tempfile
from collections.abc import Mapping
from importlib import resources
from pathlib import Path
from typing import Any, Callable

import anyio
from starlette.applications import Starlette
from starlette.requests import Request
from starlette.responses import HTMLResponse, JSONResponse, Response
from starlette.routing import Route, WebSocketRoute
from starlette.websockets import WebSocket, WebSocketDisconnect

from .. import _docx, _pdf
from .._document import Document
from .._errors import PARSE_ERROR, DocumentError
from .._html import report as html_report
from .._pdf_limits import DEFAULT_TIME_LIMIT
from .._printable import printable
from .._rendering import render
from ..results import Problem
from .changes import LinesError, ReceivedLines, ShownAnswers
from .file_watch import changed_version
from .guard import DEFAULT_MAX_DOCUMENT, Log, RequestGuard, json_body_limit
from .highlight import highlighted_lines
from .latest import LatestRequests
from .source_file import ChangedOnDisk, ReadOnlyFile, SourceFile, SourceFileError

STATIC_FILES = {
    "editor.js": "text/javascript; charset=utf-8",
    "editor.css": "text/css; charset=utf-8",
}
# Scripts and styles only from the server itself; the preview's MathML needs nothing else.
CONTENT_SECURITY_POLICY = (
    "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
    "img-src 'self' blob: data:; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"
)
SECURITY_HEADERS = {
    "Content-Security-Policy": CONTENT_SECURITY_POLICY,
    "X-Content-Type-Options": "nosniff",
    "Referrer-Policy": "no-referrer",
    "Cache-Control": "no-store",
}
UNTITLED = "untitled"
DOCX_TYPE = "application/vnd.openxmlformats-officedocument.wordprocessingml.document"
# Renders at a time: each holds the interpreter while the engine runs, more would only queue.
RENDER_THREADS = 2
# The answer to a render that a newer one of the same page made pointless.
SUPERSEDED = {"ok": False, "superseded": True}
# A text of up to this many characters renders on the event loop when it arrives over the page's
# socket: well under a millisecond, and the engine holds the interpreter for such a short
# document in any case.
INLINE_RENDER_CHARS = 4096
# A page's wait for a change of the file ends after this long without one, and the page asks
# again: no connection stays open for ever.
FILE_WAIT_SECONDS = 25.0


class BadRequest(Exception):
    """The request body is not what the route expects."""

    status = 400


class DocumentTooLarge(BadRequest):
    status = 413


def size_limit_message(size: int, max_document: int) -> str:
    return (
        f"the document is {size} bytes; the editor handles documents of up to {max_document} bytes"
    )


def reason(message: str, line: int) -> str:
    """A message without the line it starts with; the editor shows the line on its own."""
    return message.removeprefix(f"Line {line}: ")


def error_fields(error: DocumentError) -> dict[str, Any]:
    """A document's first error as the editor shows it: location, reason and hint lines."""
    return {
        "line": error.line,
        "column": error.column,
        "kind": error.kind,
        "message": error.message,
        "reason": reason(error.message, error.line),
        "hints": list(error.hints),
    }


def problem_fields(problem: Problem) -> dict[str, Any]:
    """An error or warning as the editor marks it: the span of the line it concerns (columns
    from 1, the end exclusive, each None where unknown) and what it says."""
    return {
        "line": problem.line,
        "column": problem.column,
        "end_column": problem.end_column,
        "severity": problem.severity,
        "code": problem.code,
        "message": problem.message,
        "reason": reason(problem.message, problem.line),
        "hints": list(problem.hints),
    }


def failure_problems(error: DocumentError) -> list[dict[str, Any]]:
    """Every problem of a failed document; its first error is among them even where the
    engine's diagnosis does not list it."""
    problems = [problem_fields(problem) for problem in error.problems]
    if not any(problem["severity"] == "error" for problem in problems):
        first = error_fields(error)
        code = "parse-error" if error.kind == PARSE_ERROR else "other-error"
        del first["kind"]
        problems.insert(0, {**first, "end_column": None, "severity": "error", "code": code})
    return problems


def json_object(body: bytes | str) -> dict[str, Any]:
    """The JSON object a request or message carries. Nesting too deep for the parser and
    numbers too long to convert are refused like any other malformed body."""
    try:
        payload = json.loads(body)
    except RecursionError:
        raise BadRequest("the body is not JSON the editor sends: nested too deeply") from None
    except (UnicodeDecodeError, ValueError) as error:  # JSONDecodeError is a ValueError
        raise BadRequest(f"the body is not JSON: {error}") from None
    if not isinstance(payload, dict):
        raise BadRequest('the body must be a JSON object {"text": "..."}')
    return payload


def request_payload(body: bytes) -> dict[str, Any]:
    """The JSON object of a request, with its ``text``."""
    payload = json_object(body)
    if not isinstance(payload.get("text"), str):
        raise BadRequest('the body must be a JSON object {"text": "..."}')
    return payload


def socket_text(message: Mapping[str, Any]) -> str:
    """The text of a socket message; the page sends nothing else."""
    text = message.get("text")
    if not isinstance(text, str):
        raise BadRequest("the socket takes text messages, each a JSON object")
    return text


def lines_text(received: ReceivedLines, payload: dict[str, Any]) -> str:
    try:
        return received.text_of(payload)
    except LinesError as error:
        raise BadRequest(str(error)) from None


def document_text(payload: dict[str, Any], max_document: int) -> str:
    text: str = payload["text"]
    try:
        size = len(text.encode("utf-8"))
    except UnicodeEncodeError:
        raise BadRequest("the text holds an unpaired surrogate (\\ud800 to \\udfff)") from None
    if size > max_document:
        raise DocumentTooLarge(size_limit_message(size, max_document))
    return text


def static_file(name: str) -> str:
    static = resources.files(__package__).joinpath("static")
    return static.joinpath(name).read_text(encoding="utf-8")


def create_app(
    source: SourceFile | None,
    hosts: frozenset[str],
    max_document: int = DEFAULT_MAX_DOCUMENT,
    log: Log = print,
    pdf_time_limit: float = DEFAULT_TIME_LIMIT,
    file_wait_seconds: float = FILE_WAIT_SECONDS,
    stopping: Callable[[], bool] = lambda: False,
) -> RequestGuard:
    """The editor as an ASGI application, behind its request guard.

    ``source`` is the file to edit (None: an unsaved document), ``hosts`` the ``Host`` values
    under which the server is reached, ``max_document`` the largest document text in UTF-8
    bytes that it opens, renders or saves, ``stopping`` tells when the server is shutting down,
    which ends the pages' waits for a change of the file. Everything logged has its control
    characters escaped. Raises SourceFileError if the file cannot be read or is too large.
    """

    def safe_log(message: str) -> None:
        log(printable(message))

    def read_source() -> tuple[str, str]:
        """The file's text and version; an unsaved document is empty and never changes."""
        text, version = source.read_versioned() if source is not None else ("", "")
        size = len(text.encode("utf-8"))
        if size > max_document:
            name = source.path if source is not None else UNTITLED
            raise SourceFileError(f"cannot open {name}: {size_limit_message(size, max_document)}")
        return text, version

    read_source()  # an unreadable or oversized file stops the start, not the first page load
    render_lane = anyio.CapacityLimiter(RENDER_THREADS)
    file_lane = anyio.CapacityLimiter(1)
    pdf_lane = anyio.CapacityLimiter(1)
    docx_lane = anyio.CapacityLimiter(1)
    latest = LatestRequests()
    stem = download_stem(source.display_name) if source is not None else UNTITLED

    async def in_lane(lane: anyio.CapacityLimiter, function: Callable[..., Any], *args: Any) -> Any:
        return await anyio.to_thread.run_sync(function, *args, limiter=lane)

    async def payload_of(request: Request) -> dict[str, Any]:
        return request_payload(await request.body())

    async def text_of(request: Request) -> str:
        return document_text(await payload_of(request), max_document)

    async def page(request: Request) -> Response:
        # Read on every load, so that reloading the page after a save shows what was saved.
        try:
            text, version = await in_lane(file_lane, read_source)
        except SourceFileError as error:
            safe_log(str(error))
            return Response(f"{error}\n", status_code=500, media_type="text/plain")
        template = string.Template(static_file("editor.html"))
        pdf_reason = "" if shutil.which(_pdf.PROGRAM) else f"{_pdf.PROGRAM} is not installed"
        save_reason = "" if source is not None else "no file was given to mensurator serve"
        docx_reason = docx_unavailable()
        fields = {
            "name": source.display_name if source is not None else UNTITLED,
            "stem": stem,
            "text": text,
            "pdf_reason": pdf_reason,
            "docx_reason": docx_reason,
            "save_reason": save_reason,
            "page": secrets.token_hex(8),
            "version": version,
        }
        escaped = {key: html.escape(value, quote=True) for key, value in fields.items()}
        return HTMLResponse(template.substitute(escaped), headers=SECURITY_HEADERS)

    async def static(request: Request) -> Response:
        name = request.path_params["name"]
        if name not in STATIC_FILES:
            return Response("not found\n", status_code=404, media_type="text/plain")
        return Response(static_file(name), media_type=STATIC_FILES[name], headers=SECURITY_HEADERS)

    async def report_css(request: Request) -> Response:
        return Response(
            html_report.stylesheet(),
            media_type=STATIC_FILES["editor.css"],
            headers=SECURITY_HEADERS,
        )

    def preview(text: str, page: str, ticket: int) -> dict[str, Any]:
        # A newer render of the same page is waiting: this one is dropped before each step.
        if not latest.is_latest(page, ticket):
            return SUPERSEDED
        return render_answer(text, lambda: latest.is_latest(page, ticket))

    async def render_route(request: Request) -> Response:
        payload = await payload_of(request)
        text = document_text(payload, max_document)
        page = payload.get("page")
        # Without a page token (another client) every render is its own page.
        page_key = page if isinstance(page, str) else f"request {id(request)}"
        ticket = latest.arrive(page_key)
        return JSONResponse(await in_lane(render_lane, preview, text, page_key, ticket))

    async def live(socket: WebSocket) -> None:
        """Renders for one page: each message is a render request as on /api/render, with the
        number the page gave it (``request``), and is answered as there, with that number, but
        with the highlighting and the sheet as changes from the socket's previous answer. A
        message may also carry the change of the text's lines (``lines``) instead of the text.
        A render still waiting for a worker when the page sends a newer one is superseded."""
        await socket.accept()
        page_key = f"socket {id(socket)}"
        received = ReceivedLines()
        shown = ShownAnswers()
        # Answers leave in the order their changes were made. (asyncio's lock, which unlike
        # anyio's takes no turn of the event loop when it is free.)
        sending = asyncio.Lock()

        async def send(answer: dict[str, Any], number: Any) -> None:
            async with sending:
                await socket.send_text(json.dumps({**shown.changes(answer), "request": number}))

        async def answer_in_lane(text: str, ticket: int, number: Any) -> None:
            answer = await in_lane(render_lane, preview, text, page_key, ticket)
            try:
                await send(answer, number)
            except (WebSocketDisconnect, RuntimeError, OSError):
                pass  # the page has gone; its socket closed while the render ran

        async with anyio.create_task_group() as renders:
            try:
                while True:
                    message = await socket.receive()
                    if message["type"] == "websocket.disconnect":
                        break
                    number = None
                    try:
                        payload = json_object(socket_text(message))
                        number = payload.get("request")
                        text = document_text({"text": lines_text(received, payload)}, max_document)
                    except BadRequest as error:
                        refused = {"ok": False, "refused": str(error), "status": error.status}
                        await send(refused, number)
                        continue
                    ticket = latest.arrive(page_key)
                    if len(text) <= INLINE_RENDER_CHARS:
                        await send(preview(text, page_key, ticket), number)
                    else:
                        renders.start_soon(answer_in_lane, text, ticket, number)
            except (WebSocketDisconnect, OSError):
                pass  # the page has gone
            renders.cancel_scope.cancel()

    async def save(request: Request) -> Response:
        payload = await payload_of(request)
        text = document_text(payload, max_document)
        if source is None:
            return JSONResponse({"message": "no file was given to mensurator serve"}, 409)
        # The version the text was edited from; without one (or forced) the file is written.
        based_on = payload.get("based_on")
        if payload.get("force") is True or not isinstance(based_on, str):
            based_on = None
        try:
            version = await in_lane(file_lane, source.save, text, based_on)
        except ChangedOnDisk as error:
            return JSONResponse({"message": str(error), "changed_on_disk": True}, 409)
        except ReadOnlyFile as error:
            return JSONResponse({"message": str(error)}, 409)
        except SourceFileError as error:
            safe_log(f"save failed: {error}")
            return JSONResponse({"message": str(error)}, 500)
        return JSONResponse({"saved": source.display_name, "version": version})

    async def file_change(request: Request) -> Response:
        """The file's text and version once it is not the version ``known``; ``unchanged``
        when the wait ends first."""
        if source is None:
            return JSONResponse({"message": "no file was given to mensurator serve"}, 409)
        known = request.query_params.get("known", "")

        async def read() -> tuple[str, str]:
            result: tuple[str, str] = await in_lane(file_lane, read_source)
            return result

        try:
            changed = await changed_version(
                source.path, known, read, file_wait_seconds, stopping
            )
        except SourceFileError as error:
            return JSONResponse({"message": str(error)}, 500)
        if changed is None:
            return JSONResponse({"unchanged": True, "version": known})
        text, version = changed
        return JSONResponse({"text": text, "version": version})

    def export(kind: str, text: str) -> Response:
        document = render_source(text)
        if kind == "tex":
            return attachment(document.latex.encode("utf-8"), f"{stem}.tex", "application/x-tex")
        if kind == "html":
            report = html_report.page(document.body, source.display_name if source else UNTITLED)
            return attachment(report.html.encode("utf-8"), f"{stem}.html", "text/html")
        if kind == "docx":
            return attachment(docx_bytes(document, pdf_time_limit), f"{stem}.docx", DOCX_TYPE)
        return attachment(pdf_bytes(document, pdf_time_limit), f"{stem}.pdf", "application/pdf")

    async def export_route(request: Request) -> Response:
        kind = request.path_params["kind"]
        if kind not in ("tex", "html", "pdf", "docx"):
            return JSONResponse({"message": f"no export as {kind}"}, 404)
        text = await text_of(request)
        lane = render_lane
        # A PDF and a Word document each run a program of their own, one at a time.
        if kind in ("pdf", "docx"):
            lane = pdf_lane if kind == "pdf" else docx_lane
            if lane.borrowed_tokens >= lane.total_tokens:
                made = "a PDF" if kind == "pdf" else "a Word document"
                busy = f"{made} is being made; try again when it is done"
                return JSONResponse({"message": busy}, 503)
        try:
            response: Response = await in_lane(lane, export, kind, text)
            return response
        except DocumentError as error:
            fields = {"message": error.message, "error": error_fields(error)}
            return JSONResponse({**fields, "problems": failure_problems(error)}, 422)
        except _pdf.PdfError as error:
            safe_log(f"PDF failed: {error}")
            return JSONResponse({"message": str(error)}, 500)
        except _docx.DocxError as error:
            safe_log(f"Word document failed: {error}")
            return JSONResponse({"message": str(error)}, 500)

    app = Starlette(
        routes=[
            Route("/", page),
            Route("/static/report.css", report_css),
            Route("/static/{name}", static),
            Route("/api/render", render_route, methods=["POST"]),
            WebSocketRoute("/api/live", live),
            Route("/api/save", save, methods=["POST"]),
            Route("/api/file", file_change),
            Route("/api/export/{kind}", export_route, methods=["POST"]),
        ],
        exception_handlers={BadRequest: bad_request},
    )
    return RequestGuard(app, hosts, max_body=json_body_limit(max_document), log=safe_log)


async def bad_request(request: Request, error: Exception) -> Response:
    status = error.status if isinstance(error, BadRequest) else 400
    return JSONResponse({"message": str(error)}, status)


def render_answer(text: str, wanted: Callable[[], bool] = lambda: True) -> dict[str, Any]:
    """What a render answers the page: the sheet, the problems and the highlighted text; or
    SUPERSEDED when ``wanted`` says, after the engine has run, that the page no longer waits."""
    # The text as the lexer reads it, shown under the author's text as it is typed.
    highlight = {"highlight": highlighted_lines(text)}
    if not text.strip():
        # A new file: an empty sheet, not the engine's parse error for an empty document.
        return {"ok": True, "sheet": "", "unconverted": [], "problems": [], **highlight}
    try:
        document = render_source(text)
    except DocumentError as error:
        problems = failure_problems(error)
        return {"ok": False, "error": error_fields(error), "problems": problems, **highlight}
    if not wanted():
        return SUPERSEDED
    sheet = html_report.sheet(document.body)
    return {
        "ok": True,
        "sheet": sheet.html,
        "unconverted": list(sheet.unconverted),
        "problems": [problem_fields(warning) for warning in document.warnings],
        **highlight,
    }


def render_source(text: str) -> Document:
    """The editor's text is the file without its final line end, and renders as the file."""
    return render(text + "\n")


def attachment(content: bytes, filename: str, media_type: str) -> Response:
    return Response(
        content,
        media_type=media_type,
        headers={"Content-Disposition": f'attachment; filename="{filename}"', **SECURITY_HEADERS},
    )


def pdf_bytes(document: Document, time_limit: float) -> bytes:
    with tempfile.TemporaryDirectory(prefix="mensurator-serve-") as directory:
        output = Path(directory, "document.pdf")
        document.to_pdf(output, time_limit)
        return output.read_bytes()


def docx_bytes(document: Document, time_limit: float) -> bytes:
    with tempfile.TemporaryDirectory(prefix="mensurator-serve-") as directory:
        output = Path(directory, "document.docx")
        document.to_docx(output, time_limit=time_limit)
        return output.read_bytes()


def docx_unavailable() -> str:
    """Why the editor cannot make Word documents ("" when it can)."""
    try:
        _docx.pandoc_program()
    except _docx.DocxError:
        return f"{_docx.PROGRAM} is not installed"
    return ""


def download_stem(name: str) -> str:
    """The file name's stem, reduced to characters that are safe in a download's name."""
    return re.sub(r"[^A-Za-z0-9._-]", "_", Path(name).stem) or UNTITLED
