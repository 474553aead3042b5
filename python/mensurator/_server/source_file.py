"""The one file the live editor may read and write.

The path is fixed when the server starts; no request names a path. The editor works on the text
as a browser's text field holds it (LF line ends, no final line end), and a save writes it back
in the file's own line-end style with the final line end a text file has.
"""

from __future__ import annotations

import contextlib
import errno
import hashlib
import os
import stat
import tempfile
from pathlib import Path

from .._rendering import strip_final_line_end

CRLF = "\r\n"
LF = "\n"
BYTE_ORDER_MARK = "\ufeff"
NEW_FILE_MODE = 0o644
# The version of a file that does not exist (yet).
ABSENT = "absent"
WRITE_BITS = stat.S_IWUSR | stat.S_IWGRP | stat.S_IWOTH


class SourceFileError(Exception):
    """The file cannot be read or written; the message says which and why."""


class ReadOnlyFile(SourceFileError):
    """The file is read-only: the author protected it, so it is not saved."""


class ChangedOnDisk(SourceFileError):
    """The file is no longer the version the text to save was based on: something else wrote
    it since, and saving would overwrite that."""


def version_of(raw: bytes | None) -> str:
    """A file content's version: equal versions, equal bytes."""
    return ABSENT if raw is None else hashlib.sha256(raw).hexdigest()


class SourceFile:
    """A document file, resolved once (so a save through a symbolic link updates its target)."""

    def __init__(self, path: Path) -> None:
        self.path = path.resolve()
        self.display_name = path.name
        self.line_end = LF
        self.byte_order_mark = ""

    def read(self) -> str:
        """The file's text for the editor; a file that does not exist yet reads as empty."""
        return self.read_versioned()[0]

    def read_versioned(self) -> tuple[str, str]:
        """The file's text for the editor and the version it was read from."""
        raw = self._raw()
        return ("" if raw is None else self._text(raw)), version_of(raw)

    def version(self) -> str:
        """The version of the file as it is on disk now."""
        return version_of(self._raw())

    def _raw(self) -> bytes | None:
        try:
            return self.path.read_bytes()
        except FileNotFoundError:
            return None
        except OSError as error:
            raise SourceFileError(f"cannot read {self.path}: {error.strerror}") from None

    def _text(self, raw: bytes) -> str:
        try:
            text = raw.decode("utf-8")
        except UnicodeDecodeError as error:
            raise SourceFileError(
                f"{self.path} is not UTF-8 text (byte {error.start} cannot be decoded)"
            ) from None
        # Saves keep the style of the file as last read, which another editor may change.
        self.line_end = CRLF if CRLF in text else LF
        # A leading byte-order mark is no part of the document, but is written back on save.
        self.byte_order_mark = BYTE_ORDER_MARK if text.startswith(BYTE_ORDER_MARK) else ""
        text = text.removeprefix(BYTE_ORDER_MARK)
        return strip_final_line_end(text).replace(CRLF, LF)

    def save(self, text: str, based_on: str | None = None) -> str:
        """Write the editor's text to the file, keeping its owner, mode and links; returns the
        version written. With ``based_on``, the version the text was edited from, a file that
        has changed since is not overwritten: ChangedOnDisk.

        Normally the new text goes to a temporary file beside it, which then takes the file's
        place, so a failed write (a full disk) leaves the old file whole. Where that would
        change the file (other hard links to it, an owner the temporary file cannot be given)
        or cannot be done (a directory that is not writable), the file is written in place,
        after a copy of its old text has been made and checked, which puts it back if the
        write fails. A read-only file is not saved at all.
        """
        if based_on is not None and self.version() != based_on:
            raise ChangedOnDisk(f"{self.display_name} has changed on disk since it was loaded")
        body = (text.replace(CRLF, LF) + LF).replace(LF, self.line_end)
        content = (self.byte_order_mark + body).encode("utf-8")
        self._write(content)
        return version_of(content)

    def _write(self, content: bytes) -> None:
        existing = self._status()
        if existing is None:
            self._replace(content, None)
            return
        if not stat.S_ISREG(existing.st_mode):
            raise SourceFileError(f"cannot write {self.path}: it is not a regular file")
        if not existing.st_mode & WRITE_BITS or not os.access(self.path, os.W_OK):
            raise ReadOnlyFile(f"{self.path} is read-only: not saved (make it writable first)")
        if existing.st_nlink > 1 or not can_give_owner(existing):
            self._write_in_place(content)
            return
        try:
            self._replace(content, existing)
        except PermissionError:  # the directory is not writable, the file is
            self._write_in_place(content)

    def _replace(self, content: bytes, existing: os.stat_result | None) -> None:
        try:
            handle, temporary = tempfile.mkstemp(
                dir=self.path.parent, prefix=f".{self.path.name}.", suffix=".saving"
            )
        except OSError as error:
            if existing is not None and isinstance(error, PermissionError):
                raise  # the caller writes the existing file in place instead
            raise SourceFileError(f"cannot write {self.path}: {error.strerror}") from None
        try:
            with os.fdopen(handle, "wb") as output:
                output.write(content)
                output.flush()
                os.fsync(output.fileno())
            if existing is None:
                os.chmod(temporary, NEW_FILE_MODE)
            else:
                os.chmod(temporary, stat.S_IMODE(existing.st_mode))
                mine = os.stat(temporary)
                if (mine.st_uid, mine.st_gid) != (existing.st_uid, existing.st_gid):
                    os.chown(temporary, existing.st_uid, existing.st_gid)
            os.replace(temporary, self.path)
        except OSError as error:
            with contextlib.suppress(OSError):
                os.unlink(temporary)
            raise SourceFileError(f"cannot write {self.path}: {error.strerror}") from None

    def _write_in_place(self, content: bytes) -> None:
        try:
            original = self.path.read_bytes()
            backup = keep_copy(original, self.path.name)
        except OSError as error:
            raise SourceFileError(
                f"cannot write {self.path}: no copy of its text could be made to write it in "
                f"place ({error.strerror})"
            ) from None
        try:
            overwrite(self.path, content)
        except OSError as error:
            try:
                overwrite(self.path, original)
            except OSError:
                raise SourceFileError(
                    f"cannot write {self.path}: {error.strerror}; its previous text is kept in "
                    f"{backup}"
                ) from None
            os.unlink(backup)
            raise SourceFileError(
                f"cannot write {self.path}: {error.strerror} (the file is unchanged)"
            ) from None
        os.unlink(backup)

    def _status(self) -> os.stat_result | None:
        try:
            return self.path.stat()
        except FileNotFoundError:
            return None
        except OSError as error:
            raise SourceFileError(f"cannot write {self.path}: {error.strerror}") from None


def can_give_owner(existing: os.stat_result) -> bool:
    """Whether a new file of this process can be given the owner and group of ``existing``."""
    if os.geteuid() == 0:
        return True
    return existing.st_uid == os.geteuid() and (
        existing.st_gid == os.getegid() or existing.st_gid in os.getgroups()
    )


def overwrite(path: Path, content: bytes) -> None:
    """Write ``content`` into the existing file itself and check it; raises OSError."""
    with open(path, "r+b") as output:
        output.write(content)
        output.truncate()
        output.flush()
        os.fsync(output.fileno())
    if path.read_bytes() != content:
        raise OSError(errno.EIO, "the written text does not read back the same")


def keep_copy(content: bytes, name: str) -> str:
    """A private temporary copy of ``content``, read back to check it; returns its path."""
    handle, backup = tempfile.mkstemp(prefix=f"mensurator-{name}.", suffix=".previous")
    try:
        with os.fdopen(handle, "wb") as copy:
            copy.write(content)
            copy.flush()
            os.fsync(copy.fileno())
        if Path(backup).read_bytes() != content:
            raise OSError(errno.EIO, "the copy does not read back the same")
    except OSError:
        with contextlib.suppress(OSError):
            os.unlink(backup)
        raise
    return backup
