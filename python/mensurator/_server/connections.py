"""Connections that cannot pile up: a request's head must arrive within a time limit, idle
connections are closed, and past a number of open connections new ones are closed at once.

Without these, idle or one-byte-a-second connections stay open for ever, and enough of them
use up the process's file descriptors, so that the author's own requests fail.
"""

from __future__ import annotations

import asyncio
import logging
from dataclasses import dataclass
from typing import Any, Callable

import h11
from uvicorn.protocols.http.h11_impl import H11Protocol

# Descriptors kept free for files, pdflatex and the author's own requests.
SPARE_DESCRIPTORS = 64


@dataclass(frozen=True)
class ConnectionLimits:
    """``head_seconds``: time for a request line and headers to arrive, counted from the
    connection's start or the end of the previous response; ``idle_seconds``: time a kept-open
    connection may wait for its next request; ``max_connections``: connections open at once."""

    head_seconds: float = 10
    idle_seconds: int = 5
    max_connections: int = 100

    def within_descriptors(self) -> ConnectionLimits:
        """These limits with at most as many connections as the descriptor limit allows."""
        try:
            import resource
        except ImportError:  # not a POSIX system: no descriptor limit to read
            return self
        soft, _ = resource.getrlimit(resource.RLIMIT_NOFILE)
        if soft == resource.RLIM_INFINITY:
            return self
        allowed = max(1, min(self.max_connections, soft - SPARE_DESCRIPTORS))
        return ConnectionLimits(self.head_seconds, self.idle_seconds, allowed)


class Refusals:
    """Logs that connections are being refused once, until the number open has fallen back."""

    def __init__(self, log: Callable[[str], None]) -> None:
        self.log = log
        self.refusing = False

    def refused(self, limit: int) -> None:
        if not self.refusing:
            self.refusing = True
            self.log(f"{limit} connections are open: closing new ones until some close")

    def open_count(self, count: int, limit: int) -> None:
        if self.refusing and count < limit // 2:
            self.refusing = False


# What asyncio logs, with a traceback, every time accepting fails for want of descriptors.
ACCEPT_FAILURE = "socket.accept() out of system resource"


class AcceptFailuresOnce(logging.Filter):
    """Turns asyncio's report of a failed accept, repeated for every attempt, into one line."""

    def __init__(self, log: Callable[[str], None]) -> None:
        super().__init__()
        self.log = log
        self.reported = False

    def filter(self, record: logging.LogRecord) -> bool:
        if not str(record.msg).startswith(ACCEPT_FAILURE):
            return True
        if not self.reported:
            self.reported = True
            self.log("no file descriptors left to accept connections; new ones wait")
        return False


def limited_protocol(limits: ConnectionLimits, refusals: Refusals) -> type[H11Protocol]:
    """uvicorn's HTTP/1.1 protocol class, with ``limits`` applied to every connection."""

    class LimitedProtocol(H11Protocol):
        def __init__(self, *args: Any, **kwargs: Any) -> None:
            super().__init__(*args, **kwargs)
            self.head_deadline: asyncio.TimerHandle | None = None

        def connection_made(self, transport: asyncio.Transport) -> None:  # type: ignore[override]
            super().connection_made(transport)
            if len(self.connections) > limits.max_connections:
                refusals.refused(limits.max_connections)
                transport.close()
                return
            self._await_head()

        def connection_lost(self, exc: Exception | None) -> None:
            self._stop_waiting()
            super().connection_lost(exc)
            refusals.open_count(len(self.connections), limits.max_connections)

        def data_received(self, data: bytes) -> None:
            super().data_received(data)
            if self.conn.their_state is not h11.IDLE:
                self._stop_waiting()  # the head is complete; the guard times the body

        def on_response_complete(self) -> None:
            super().on_response_complete()
            # A pipelined request may already be under way; otherwise the next head is due.
            if not self.transport.is_closing() and self.conn.their_state is h11.IDLE:
                self._await_head()

        def _await_head(self) -> None:
            self._stop_waiting()
            self.head_deadline = self.loop.call_later(limits.head_seconds, self._too_slow)

        def _stop_waiting(self) -> None:
            if self.head_deadline is not None:
                self.head_deadline.cancel()
                self.head_deadline = None

        def _too_slow(self) -> None:
            self.head_deadline = None
            if not self.transport.is_closing():
                self.transport.close()

    return LimitedProtocol
