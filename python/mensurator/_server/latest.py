"""Which render request of each open editor page is the newest.

The page sends a render after every pause in typing; one that is still waiting for a worker
when a newer one of the same page arrives is outdated, and working on it would only delay the
newer one. Pages are told apart by the token each page load gets.
"""

from __future__ import annotations

import itertools
import threading
from collections import OrderedDict

# Pages remembered; the oldest is forgotten first (a page reloaded many times).
MAX_PAGES = 64


class LatestRequests:
    def __init__(self) -> None:
        self._tickets = itertools.count(1)
        self._latest: OrderedDict[str, int] = OrderedDict()
        self._lock = threading.Lock()

    def arrive(self, page: str) -> int:
        """Note a new request of ``page``; returns its ticket."""
        with self._lock:
            ticket = next(self._tickets)
            self._latest[page] = ticket
            self._latest.move_to_end(page)
            while len(self._latest) > MAX_PAGES:
                self._latest.popitem(last=False)
            return ticket

    def is_latest(self, page: str, ticket: int) -> bool:
        """False once a newer request of the same page has arrived."""
        with self._lock:
            return self._latest.get(page, ticket) == ticket
