"""Starting the live editor: bind the socket, print where it is, serve until interrupted."""

from __future__ import annotations

import logging
import socket
import sys
import threading
import webbrowser
from pathlib import Path
from types import FrameType

import uvicorn

from .._pdf_limits import DEFAULT_TIME_LIMIT
from .._printable import printable
from .app import create_app
from .connections import AcceptFailuresOnce, ConnectionLimits, Refusals, limited_protocol
from .guard import DEFAULT_MAX_DOCUMENT, allowed_hosts, json_body_limit
from .source_file import SourceFile

PROG = "mensurator serve"
DEFAULT_LIMITS = ConnectionLimits()


def log(message: str) -> None:
    sys.stderr.write(f"{PROG}: {printable(message)}\n")
    sys.stderr.flush()


def bind(host: str, port: int) -> socket.socket:
    """A listening socket on host:port (port 0: any free port). Raises OSError."""
    family = socket.AF_INET6 if ":" in host else socket.AF_INET
    # Naming the protocol makes asyncio set TCP_NODELAY on every accepted connection. Without
    # it a response's body waits for the ACK of its headers, which the browser delays by 40 ms.
    listener = socket.socket(family, socket.SOCK_STREAM, socket.IPPROTO_TCP)
    try:
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind((host, port))
        listener.listen(64)
    except OSError:
        listener.close()
        raise
    return listener


class EditorServer(uvicorn.Server):
    """The server, which tells the application when it is asked to stop."""

    def __init__(self, config: uvicorn.Config, stopping: threading.Event) -> None:
        super().__init__(config)
        self.stopping = stopping

    def handle_exit(self, sig: int, frame: FrameType | None) -> None:
        self.stopping.set()
        super().handle_exit(sig, frame)


def serve(
    file: Path | None,
    host: str,
    port: int,
    open_browser: bool = False,
    max_document: int = DEFAULT_MAX_DOCUMENT,
    pdf_time_limit: float = DEFAULT_TIME_LIMIT,
    limits: ConnectionLimits = DEFAULT_LIMITS,
) -> None:
    """Serve the editor for ``file`` until interrupted. Raises OSError if the address is taken
    and SourceFileError if the file cannot be read or is larger than ``max_document``."""
    source = SourceFile(file) if file is not None else None
    listener = bind(host, port)
    bound_port = listener.getsockname()[1]
    hosts = allowed_hosts(host, bound_port)
    stopping = threading.Event()
    try:
        app = create_app(
            source, hosts, max_document, log, pdf_time_limit, stopping=stopping.is_set
        )
    except BaseException:
        listener.close()
        raise
    address = f"[{host}]" if ":" in host else host
    url = f"http://{address}:{bound_port}/"
    what = source.path if source is not None else "an unsaved document"
    log(f"editing {what} at {url} (Ctrl+C stops)")
    limits = limits.within_descriptors()
    logging.getLogger("asyncio").addFilter(AcceptFailuresOnce(log))
    # Access logs would print a line per keystroke; the guard and the routes log errors.
    config = uvicorn.Config(
        app,
        http=limited_protocol(limits, Refusals(log)),
        timeout_keep_alive=limits.idle_seconds,
        # The page's render socket; a message is a render request, as large as one may be.
        ws="websockets-sansio",
        ws_max_size=json_body_limit(max_document),
        log_level="warning",
        access_log=False,
        lifespan="off",
    )
    server = EditorServer(config, stopping)
    if open_browser:
        threading.Timer(0.5, webbrowser.open, args=(url,)).start()
    try:
        server.run(sockets=[listener])
    finally:
        listener.close()
