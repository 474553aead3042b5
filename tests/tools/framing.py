"""The length-prefixed framing between the differential driver and its engine workers.

A request is a batch: a 4-byte count, then each document as a 4-byte length and its UTF-8 bytes.
A count of 0 asks the worker to exit. The answer to a batch is one frame per document, in order:
a 1-byte tag and a 4-byte length, then the payload. All integers are little-endian.

Texts are encoded with "surrogatepass", so that a document holding a lone surrogate reaches the
engine as it is (and gets the engine's own encoding error).
"""

from __future__ import annotations

import struct
from typing import BinaryIO

COUNT = struct.Struct("<I")
ANSWER = struct.Struct("<cI")

RESULT = b"R"  # payload: the LaTeX document
ERROR = b"E"  # payload: the exception's module.class, a line feed, then str(exception)
HELLO = b"H"  # payload: the path of the module the worker loaded (sent once, at start)
LOST = b"X"  # never sent: the driver's record of a worker that died or hung on the document


def encode(text: str) -> bytes:
    return text.encode("utf-8", "surrogatepass")


def decode(data: bytes) -> str:
    return data.decode("utf-8", "surrogatepass")


def batch_bytes(documents: list[str]) -> bytes:
    parts = [COUNT.pack(len(documents))]
    for document in documents:
        data = encode(document)
        parts += [COUNT.pack(len(data)), data]
    return b"".join(parts)


def answer_bytes(tag: bytes, payload: bytes) -> bytes:
    return ANSWER.pack(tag, len(payload)) + payload


def read_exactly(stream: BinaryIO, size: int) -> bytes:
    """size bytes, or EOFError when the stream ends first."""
    data = stream.read(size)
    if len(data) != size:
        raise EOFError
    return data


def read_batch(stream: BinaryIO) -> list[str]:
    (count,) = COUNT.unpack(read_exactly(stream, COUNT.size))
    documents = []
    for _ in range(count):
        (size,) = COUNT.unpack(read_exactly(stream, COUNT.size))
        documents.append(decode(read_exactly(stream, size)))
    return documents
