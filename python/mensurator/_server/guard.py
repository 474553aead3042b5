"""The checks every request passes before the editor's routes see it.

- ``Host`` must name the address the server is bound to: a page on another site whose name
  has been pointed at 127.0.0.1 (DNS rebinding) sends its own name and is refused, so it can
  neither read the document nor use the server.
- A request that can write or render (anything but GET and HEAD) must carry an ``Origin`` of
  the server itself, and so must any other request that carries one: a form or script on
  another site cannot make the server render or save. A WebSocket renders, so its handshake
  needs that ``Origin`` too (a browser always sends one).
- A request body larger than the limit is answered with 413 before any route reads it, and
  one that does not arrive within a time limit (a client sending a byte now and then) with 408.

Refusals are logged with every control character escaped: the path and headers come from
whoever sent the request, which may be a script on any web page.
"""

from __future__ import annotations

from collections.abc import Awaitable, Iterable, MutableMapping
from typing import Any, Callable

import anyio

from .._printable import printable

Scope = MutableMapping[str, Any]
Message = MutableMapping[str, Any]
Receive = Callable[[], Awaitable[Message]]
Send = Callable[[Message], Awaitable[None]]
ASGIApp = Callable[[Scope, Receive, Send], Awaitable[None]]
Log = Callable[[str], None]

READ_ONLY_METHODS = frozenset({"GET", "HEAD"})
# The largest document the editor opens, renders or saves, counted in UTF-8 bytes of its text.
DEFAULT_MAX_DOCUMENT = 1024 * 1024
# Seconds a request body may take to arrive.
BODY_SECONDS = 30
HTTP_DEFAULT_PORT = 80


def json_body_limit(max_document: int) -> int:
    """The largest body that can carry a document of ``max_document`` bytes as JSON: every
    byte may become a six-character escape (``\\u0001``), plus room for the other fields."""
    return 6 * max_document + 4096


def allowed_hosts(host: str, port: int) -> frozenset[str]:
    """``Host`` values of the bound address; a loopback server also answers to localhost. On
    port 80 clients leave the port out, so the bare name is accepted too."""
    names = {host}
    if host in ("127.0.0.1", "::1"):
        names.add("localhost")
    hosts = set()
    for name in names:
        shown = f"[{name}]" if ":" in name else name
        hosts.add(f"{shown}:{port}")
        if port == HTTP_DEFAULT_PORT:
            hosts.add(shown)
    return frozenset(hosts)


class RequestGuard:
    """ASGI middleware refusing requests for another host, from another origin or too large."""

    def __init__(
        self,
        app: ASGIApp,
        hosts: Iterable[str],
        max_body: int = json_body_limit(DEFAULT_MAX_DOCUMENT),
        log: Log = print,
        body_seconds: float = BODY_SECONDS,
    ) -> None:
        self.app = app
        self.hosts = frozenset(hosts)
        # A browser leaves the default port out of Origin as well.
        self.origins = frozenset(f"http://{host}" for host in self.hosts)
        self.body_seconds = body_seconds
        self.max_body = max_body
        self.log = log

    async def __call__(self, scope: Scope, receive: Receive, send: Send) -> None:
        if scope["type"] == "websocket":
            await self._socket(scope, receive, send)
            return
        if scope["type"] != "http":
            await self.app(scope, receive, send)
            return
        headers = {key.decode("latin-1").lower(): value for key, value in scope["headers"]}
        host = headers.get("host", b"").decode("latin-1")
        origin = headers.get("origin", b"").decode("latin-1") or None
        method = scope["method"]
        if host not in self.hosts:
            await self._refuse(scope, send, 403, f"requests for host {host!r} are not served")
            return
        if origin is not None and origin not in self.origins:
            await self._refuse(scope, send, 403, f"requests from origin {origin!r} are refused")
            return
        if method not in READ_ONLY_METHODS and origin is None:
            await self._refuse(scope, send, 403, "a request that changes or renders needs Origin")
            return
        declared = headers.get("content-length")
        if declared is not None and (not declared.isdigit() or int(declared) > self.max_body):
            await self._refuse(scope, send, 413, f"request body over {self.max_body} bytes")
            return
        body: bytes | None = None
        with anyio.move_on_after(self.body_seconds) as waited:
            body = await self._read_body(receive)
        if waited.cancelled_caught:
            reason = f"request body not sent within {self.body_seconds:g} seconds"
            await self._refuse(scope, send, 408, reason)
            return
        if body is None:
            await self._refuse(scope, send, 413, f"request body over {self.max_body} bytes")
            return
        await self.app(scope, _replay(body, receive), send)

    async def _socket(self, scope: Scope, receive: Receive, send: Send) -> None:
        """A WebSocket from the server's own page goes on; any other is refused in its
        handshake (HTTP 403), before a message is read."""
        headers = {key.decode("latin-1").lower(): value for key, value in scope["headers"]}
        host = headers.get("host", b"").decode("latin-1")
        origin = headers.get("origin", b"").decode("latin-1") or None
        reason = None
        if host not in self.hosts:
            reason = f"requests for host {host!r} are not served"
        elif origin not in self.origins:
            reason = f"sockets from origin {origin!r} are refused"
        if reason is None:
            await self.app(scope, receive, send)
            return
        self.log(printable(f"refused socket {scope['path']}: {reason} (403)"))
        if (await receive())["type"] == "websocket.connect":
            await send({"type": "websocket.close", "code": 1008})

    async def _read_body(self, receive: Receive) -> bytes | None:
        """The whole body, or None as soon as it grows past the limit (also when unannounced)."""
        chunks: list[bytes] = []
        size = 0
        while True:
            message = await receive()
            if message["type"] != "http.request":
                return b"".join(chunks)
            chunk = message.get("body", b"")
            size += len(chunk)
            if size > self.max_body:
                return None
            chunks.append(chunk)
            if not message.get("more_body", False):
                return b"".join(chunks)

    async def _refuse(self, scope: Scope, send: Send, status: int, reason: str) -> None:
        self.log(printable(f"refused {scope['method']} {scope['path']}: {reason} ({status})"))
        body = (reason + "\n").encode("utf-8")
        await send(
            {
                "type": "http.response.start",
                "status": status,
                "headers": [
                    (b"content-type", b"text/plain; charset=utf-8"),
                    (b"content-length", str(len(body)).encode()),
                    (b"connection", b"close"),
                ],
            }
        )
        await send({"type": "http.response.body", "body": body})


def _replay(body: bytes, receive: Receive) -> Receive:
    """A receive callable that hands the buffered body over once, then waits as before."""
    delivered = False

    async def replay() -> Message:
        nonlocal delivered
        if not delivered:
            delivered = True
            return {"type": "http.request", "body": body, "more_body": False}
        return await receive()

    return replay
