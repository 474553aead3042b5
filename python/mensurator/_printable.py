"""Text from a document or a request made safe to print on a terminal or into a log.

Control characters (escape sequences, carriage returns, line ends) could move the cursor,
clear the screen or forge further log lines; format characters such as bidirectional
overrides could reorder what is shown. Each is written as a Python escape instead.
"""

from __future__ import annotations

import unicodedata

# Control, format, surrogate, private and unassigned characters, and the line and paragraph
# separators.
UNSAFE_CATEGORIES = frozenset({"Cc", "Cf", "Cs", "Co", "Cn", "Zl", "Zp"})


def _escape(character: str) -> str:
    code = ord(character)
    if code <= 0xFF:
        return f"\\x{code:02x}"
    return f"\\u{code:04x}" if code <= 0xFFFF else f"\\U{code:08x}"


def printable(text: str, keep: str = "") -> str:
    """``text`` with every unsafe character not in ``keep`` written as an escape such as
    ``\\x1b``; everything else, backslashes included, stays as it is."""
    if text.isprintable():
        return text
    return "".join(
        _escape(character)
        if character not in keep and unicodedata.category(character) in UNSAFE_CATEGORIES
        else character
        for character in text
    )
