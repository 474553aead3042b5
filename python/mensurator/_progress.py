"""A one-line progress bar for long runs, shown only on a terminal."""

from __future__ import annotations

import threading
from types import TracebackType
from typing import TextIO

BAR_WIDTH = 30


class Progress:
    """Shows finished documents on ``stream`` as ``[######......] 3/40``, rewriting one line.

    Nothing is written unless ``stream`` is a terminal and there is more than one document, so
    a pipe or a log file never receives control characters."""

    def __init__(self, total: int, stream: TextIO) -> None:
        self.total = total
        self.stream = stream
        self.done = 0
        self.enabled = total > 1 and stream.isatty()
        self.lock = threading.Lock()

    def advance(self) -> None:
        if not self.enabled:
            return
        with self.lock:
            self.done += 1
            filled = BAR_WIDTH * self.done // self.total
            bar = "#" * filled + "." * (BAR_WIDTH - filled)
            self.stream.write(f"\r[{bar}] {self.done}/{self.total}")
            self.stream.flush()

    def __enter__(self) -> Progress:
        return self

    def __exit__(
        self,
        kind: type[BaseException] | None,
        error: BaseException | None,
        traceback: TracebackType | None,
    ) -> None:
        if self.enabled:
            self.stream.write("\r\x1b[K")  # back to the line start, then clear the line
            self.stream.flush()
