"""The checks every request passes before the editor's routes see it.

- ``Host`` must name the address the server is bound to: a page on another site whose name
  has been pointed at 127.0.0.1 (DNS rebinding) sends its own name and is refused, so it can
  neither read the document nor use the server.
- A request that can write or render (anything but GET and HEAD) must carry an ``Origin`` of
  the server itself, and so must any other request that carries one: a form or script on
  another site cannot make the server render or save.
- A request body larger than the limit is answered with 413 before any route reads it.
"""

from __future__ import annotations

from collections.abc import Awaitable, Iterable, MutableMapping
from typing import Any, Callable

Scope = MutableMapping[str, Any]
Message = MutableMapping[str, Any]
Receive = Callable[[], Awaitable[Message]]
Send = Callable[[Message], Awaitable[None]]
ASGIApp = Callable[[Scope, Receive, Send], Awaitable[None]]
Log = Callable[[str], None]

READ_ONLY_METHODS = frozenset({"GET", "HEAD"})
DEFAULT_MAX_BODY = 1024 * 1024


def allowed_hosts(host: str, port: int) -> frozenset[str]:
    """``Host`` values of the bound address; a loopback server also answers to localhost."""
    names = {host}
    if host in ("127.0.0.1", "::1"):
        names.add("localhost")
    return frozenset(f"[{name}]:{port}" if ":" in name else f"{name}:{port}" for name in names)


class RequestGuard:
    """ASGI middleware refusing requests for another host, from another origin or too large."""

    def __init__(
        self, app: ASGIApp, hosts: Iterable[str], max_body: int = DEFAULT_MAX_BODY, log: Log = print
    ) -> None:
        self.app = app
        self.hosts = frozenset(hosts)
        self.origins = frozenset(f"http://{host}" for host in self.hosts)
        self.max_body = max_body
        self.log = log

    async def __call__(self, scope: Scope, receive: Receive, send: Send) -> None:
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
        body = await self._read_body(receive)
        if body is None:
            await self._refuse(scope, send, 413, f"request body over {self.max_body} bytes")
            return
        await self.app(scope, _replay(body, receive), send)

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
        self.log(f"refused {scope['method']} {scope['path']}: {reason} ({status})")
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
