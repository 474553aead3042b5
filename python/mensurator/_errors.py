"""Reading the engine's error messages: where a document failed, how, and what to try instead.

The engine reports a failure as one message text: a parse error names a line and a column, a
statement error starts with the statement's line. ``DocumentError`` holds those parts as
fields. It derives from the engine's own class, so ``except MensuratorException`` catches it
too, and unlike that class it pickles, so a process pool or a cluster map can carry a failure
back to the caller.
"""

from __future__ import annotations

import re
from typing import TYPE_CHECKING, Literal

import mensurator_py


def engine_exception_class() -> type[Exception]:
    """The class the engine raises for a failed document.

    The module creates it on the first failure and does not export it, so an empty document,
    which always fails, provokes it once."""
    try:
        mensurator_py.run_mensurator("")
    except Exception as error:
        return type(error)
    raise RuntimeError("the engine accepted an empty document; it must reject it")


MensuratorException = engine_exception_class()

if TYPE_CHECKING:
    from .results import Problem

ErrorKind = Literal["parse error", "statement error"]
PARSE_ERROR: ErrorKind = "parse error"
STATEMENT_ERROR: ErrorKind = "statement error"

PARSE_AT_POSITION = re.compile(r"Parsing Error near line (\d+) column (\d+)\n?\Z")
PARSE_IN_SPAN = re.compile(
    r"Parsing Error near span from line (\d+), column (\d+) to line \d+ column \d+\n?\Z"
)
STATEMENT = re.compile(r"Line (\d+): (.*)\Z", re.DOTALL)


class DocumentError(MensuratorException):  # type: ignore[misc,valid-type]
    """A failed document: its message, line, column (parse errors only), kind and hints, and
    every problem of the document (``problems``, the first of them this error)."""

    def __init__(
        self,
        message: str,
        line: int,
        column: int | None = None,
        kind: ErrorKind = STATEMENT_ERROR,
        hints: tuple[str, ...] = (),
        problems: tuple[Problem, ...] = (),
    ) -> None:
        # Every field is an argument, so that the default pickling of exceptions rebuilds it.
        super().__init__(message, line, column, kind, hints, problems)
        self.message = message
        self.line = line
        self.column = column
        self.kind = kind
        self.hints = hints
        self.problems = problems

    def __str__(self) -> str:
        return self.message

    @classmethod
    def from_exception(cls, error: BaseException, source: str | None = None) -> DocumentError:
        """The view of a failure raised by ``run_mensurator`` (a DocumentError is returned as
        it is). With the document's ``source``, the hints also cover the statement's syntax
        and the document's variables. Raises ``ValueError`` for an exception whose message is
        not one of the engine's document errors."""
        if isinstance(error, DocumentError):
            return error
        return cls.from_message(str(error), source)

    @classmethod
    def from_message(cls, text: str, source: str | None = None) -> DocumentError:
        """Read an engine message text; see ``from_exception``."""
        # Imported here: hints ask the engine, which is not needed to read a message.
        from ._hints import hints_for
        from ._syntax_hints import defines_before, syntax_hints

        message = text.rstrip("\n")
        position = PARSE_AT_POSITION.match(text) or PARSE_IN_SPAN.match(text)
        if position:
            line, column = int(position.group(1)), int(position.group(2))
            hints = syntax_hints(source, line) if source is not None else ()
            return cls(message, line, column, PARSE_ERROR, hints)
        statement = STATEMENT.match(message)
        if statement:
            line = int(statement.group(1))
            if source is None:
                return cls(message, line, None, STATEMENT_ERROR, hints_for(statement.group(2)))
            document = source

            def defined(name: str) -> bool:
                return defines_before(document, line, name)

            hints = hints_for(statement.group(2), defined) + syntax_hints(source, line)
            return cls(message, line, None, STATEMENT_ERROR, hints)
        raise ValueError(f"not a document error of the engine: {text!r}")
