"""The one file the live editor may read and write.

The path is fixed when the server starts; no request names a path. The editor works on the text
as a browser's text field holds it (LF line ends, no final line end), and a save writes it back
in the file's own line-end style with the final line end a text file has.
"""

from __future__ import annotations

import contextlib
import os
import tempfile
from pathlib import Path

from ..engine import strip_final_line_end

CRLF = "\r\n"
LF = "\n"
NEW_FILE_MODE = 0o644


class SourceFileError(Exception):
    """The file cannot be read or written; the message says which and why."""


class SourceFile:
    """A document file, resolved once (so a save through a symbolic link updates its target)."""

    def __init__(self, path: Path) -> None:
        self.path = path.resolve()
        self.display_name = path.name
        self.line_end = LF

    def read(self) -> str:
        """The file's text for the editor; a file that does not exist yet reads as empty."""
        try:
            raw = self.path.read_bytes()
        except FileNotFoundError:
            return ""
        except OSError as error:
            raise SourceFileError(f"cannot read {self.path}: {error.strerror}") from None
        try:
            text = raw.decode("utf-8")
        except UnicodeDecodeError as error:
            raise SourceFileError(
                f"{self.path} is not UTF-8 text (byte {error.start} cannot be decoded)"
            ) from None
        if CRLF in text:
            self.line_end = CRLF
        return strip_final_line_end(text).replace(CRLF, LF)

    def save(self, text: str) -> None:
        """Write the editor's text to the file, replacing it in one step.

        The new text goes to a temporary file beside it, which then takes the file's place, so
        a failed write (a full disk) leaves the old file whole.
        """
        content = (text.replace(CRLF, LF) + LF).replace(LF, self.line_end).encode("utf-8")
        mode = self._mode()
        try:
            handle, temporary = tempfile.mkstemp(
                dir=self.path.parent, prefix=f".{self.path.name}.", suffix=".saving"
            )
        except OSError as error:
            raise SourceFileError(f"cannot write {self.path}: {error.strerror}") from None
        try:
            with os.fdopen(handle, "wb") as output:
                output.write(content)
                output.flush()
                os.fsync(output.fileno())
            os.chmod(temporary, NEW_FILE_MODE if mode is None else mode)
            os.replace(temporary, self.path)
        except OSError as error:
            with contextlib.suppress(OSError):
                os.unlink(temporary)
            raise SourceFileError(f"cannot write {self.path}: {error.strerror}") from None

    def _mode(self) -> int | None:
        try:
            return self.path.stat().st_mode & 0o7777
        except FileNotFoundError:
            return None
        except OSError as error:
            raise SourceFileError(f"cannot write {self.path}: {error.strerror}") from None
