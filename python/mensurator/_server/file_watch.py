"""Waiting for the edited file to change on disk: another editor's save, a ``git checkout``.

The file's directory is watched rather than the file, as many editors save by writing a new
file and renaming it over the old one. Every wake-up, a change or the periodic tick that also
covers a change made before the watch began, compares the file's version with the one the page
knows, so a change is reported once it is there, whatever the events said.
"""

from __future__ import annotations

from collections.abc import Awaitable
from pathlib import Path
from typing import Callable

import anyio
from watchfiles import Change, awatch

# The watcher wakes this often without events (milliseconds), and waits this long after an
# event for the rest of a save (milliseconds).
TICK_MS = 1000
DEBOUNCE_MS = 50


async def changed_version(
    path: Path,
    known: str,
    read: Callable[[], Awaitable[tuple[str, str]]],
    timeout: float,
    stopping: Callable[[], bool],
) -> tuple[str, str] | None:
    """The file's text and version as soon as its version is not ``known``; None when it has
    not changed within ``timeout`` seconds or the server is ``stopping``. ``read`` returns
    (text, version)."""

    def concerns_file(change: Change, changed: str) -> bool:
        return Path(changed) == path

    stop = anyio.Event()
    try:
        with anyio.move_on_after(timeout):
            text, version = await read()
            if version != known:
                return text, version
            async for _ in awatch(
                path.parent,
                watch_filter=concerns_file,
                recursive=False,
                debounce=DEBOUNCE_MS,
                rust_timeout=TICK_MS,
                yield_on_timeout=True,
                stop_event=stop,
            ):
                if stopping():
                    break  # a page's wait does not hold up the end of the server
                text, version = await read()
                if version != known:
                    return text, version
        return None
    finally:
        stop.set()
