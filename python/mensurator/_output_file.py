"""Writing output so that it is complete or an error, and never half a file.

A write to a descriptor may take fewer bytes than given (a full disk, a file-size limit), so
``write_fully`` loops until everything is taken and lets the error of the failing call
through. ``replace_file`` writes a temporary file beside the target and renames it over the
target in one step: a failure leaves the old file as it was.
"""

from __future__ import annotations

import contextlib
import os
import stat
import tempfile
from collections.abc import Iterable

from ._paths import PathLike


def write_fully(descriptor: int, data: bytes) -> None:
    """Write all of ``data`` to ``descriptor``; raises OSError when a write fails."""
    view = memoryview(data)
    while view:
        written = os.write(descriptor, view)
        view = view[written:]


def new_file_mode() -> int:
    """The mode a newly created file gets: read and write for everyone, less the umask."""
    umask = os.umask(0o022)
    os.umask(umask)
    return 0o666 & ~umask


def replace_file(path: PathLike, data: bytes) -> None:
    """Make the file at ``path`` hold exactly ``data``, or raise OSError and leave it alone.

    A symbolic link is followed, so its target is updated; an existing file keeps its mode.
    Something other than a regular file (``/dev/null``, a named pipe) cannot be replaced and
    is written as it is."""
    target = os.path.realpath(os.fspath(path))
    try:
        existing: os.stat_result | None = os.stat(target)
    except FileNotFoundError:
        existing = None
    if existing is not None and not stat.S_ISREG(existing.st_mode):
        with open(target, "wb") as output:
            write_fully(output.fileno(), data)
        return
    directory, name = os.path.split(target)
    handle, temporary = tempfile.mkstemp(dir=directory or ".", prefix=f".{name}.", suffix=".tmp")
    try:
        with os.fdopen(handle, "wb") as output:
            write_fully(output.fileno(), data)
            output.flush()
            os.fsync(output.fileno())
        mode = new_file_mode() if existing is None else stat.S_IMODE(existing.st_mode)
        os.chmod(temporary, mode)
        os.replace(temporary, target)
    except BaseException:
        with contextlib.suppress(OSError):
            os.unlink(temporary)
        raise


def _identity(status: os.stat_result) -> tuple[int, int] | None:
    return (status.st_dev, status.st_ino) if stat.S_ISREG(status.st_mode) else None


def input_written_to(output: str, inputs: Iterable[str], stdin_name: str) -> str | None:
    """The first of ``inputs`` that is the same regular file as ``output`` (by device and
    inode, so a hard link or a symbolic link counts too), or None. ``stdin_name`` stands for
    standard input, which is compared through its descriptor."""
    found = first_input_written([output], inputs, stdin_name)
    return None if found is None else found[1]


def first_input_written(
    outputs: Iterable[str], inputs: Iterable[str], stdin_name: str
) -> tuple[str, str] | None:
    """The first of ``outputs`` that is one of ``inputs`` (see ``input_written_to``), and that
    input; None if none is. Each file is looked at once, however many there are."""
    written: list[tuple[str, tuple[int, int]]] = []
    for output in outputs:
        try:
            identity = _identity(os.stat(output))
        except OSError:
            continue  # a file that does not exist yet is no input
        if identity is not None:
            written.append((output, identity))
    if not written:
        return None
    names: dict[tuple[int, int], str] = {}
    for name in inputs:
        try:
            status = os.fstat(0) if name == stdin_name else os.stat(name)
        except OSError:
            continue
        identity = _identity(status)
        if identity is not None:
            names.setdefault(identity, name)
    for output, identity in written:
        if identity in names:
            return output, names[identity]
    return None
