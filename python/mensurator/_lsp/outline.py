"""A document's shape as an editor needs it, read from its tokens: each token's place, the
names defined and where, the aliases in force on each line, the directive lines and the
sections of its LaTeX blocks.

Lines and columns here count from 0, in characters, as the editor's lines (split at LF, CR LF
and CR); the language server converts columns to the client's encoding.
"""

from __future__ import annotations

import re
from bisect import bisect_right
from dataclasses import dataclass, field
from functools import cached_property
from typing import NamedTuple

from pygments.token import _TokenType

from .._lexer import DEFINED_NAME, LATEX, MensuratorLexer

LINE_BREAK = re.compile(r"\r\n|\r|\n")
SECTION = re.compile(r"\\section\*?\{([^{}]*)\}")
# Directive lines that change which names are units; hovering and completing read under them.
UNIT_DIRECTIVE = re.compile(r"[ \t]*![ \t]*units\b[^\n]*")
# The aliases every document starts with.
BUILT_IN_ALIASES = {"pi": "\\pi"}
BUILT_IN_NAMES = ("\\pi", "e")


class Token(NamedTuple):
    line: int
    column: int
    kind: _TokenType
    text: str

    @property
    def end_column(self) -> int:
        return self.column + len(self.text)


@dataclass(frozen=True)
class Definition:
    """A name defined by a line (or introduced by an alias), stored under ``stored``."""

    written: str
    stored: str
    line: int
    column: int
    alias: bool = False


@dataclass(frozen=True)
class Section:
    title: str
    line: int
    definitions: list[Definition] = field(default_factory=list)


class Outline:
    def __init__(self, text: str) -> None:
        self.lines = LINE_BREAK.split(text)
        self.text = "\n".join(self.lines)
        self.tokens = list(self._tokens())
        self._token_starts = [(token.line, token.column) for token in self.tokens]

    def _tokens(self) -> list[Token]:
        lexer = MensuratorLexer(stripnl=False, ensurenl=False)
        starts = [0]
        for line in self.lines:
            starts.append(starts[-1] + len(line) + 1)
        found = []
        for offset, kind, value in lexer.get_tokens_unprocessed(self.text):
            # A LaTeX block spans lines: each of its lines is a token of its own.
            line = bisect_right(starts, offset) - 1
            column = offset - starts[line]
            for number, piece in enumerate(value.split("\n")):
                # Blanks are kept out: no request concerns them.
                if piece.strip():
                    found.append(Token(line + number, column if number == 0 else 0, kind, piece))
        return found

    def token_at(self, line: int, column: int) -> Token | None:
        """The token under the cursor, or the one that ends right at it (a word just typed)."""
        index = bisect_right(self._token_starts, (line, column)) - 1
        for candidate in (index, index - 1):
            if 0 <= candidate < len(self.tokens):
                token = self.tokens[candidate]
                if token.line == line and token.column <= column <= token.end_column:
                    return token
        return None

    def tokens_on(self, line: int) -> list[Token]:
        start = bisect_right(self._token_starts, (line, -1))
        end = bisect_right(self._token_starts, (line, len(self.lines[line]) + 1))
        return self.tokens[start:end]

    @cached_property
    def definitions(self) -> list[Definition]:
        """Every definition and alias, in document order, with the name it is stored under."""
        aliases = dict(BUILT_IN_ALIASES)
        found = []
        for line in range(len(self.lines)):
            tokens = self.tokens_on(line)
            if not tokens:
                continue
            first = tokens[0]
            if first.kind is DEFINED_NAME:
                stored = aliases.get(first.text, first.text)
                found.append(Definition(first.text, stored, line, first.column))
            elif first.text == "alias" and len(tokens) == 3 and tokens[2].kind is DEFINED_NAME:
                old, new = tokens[1], tokens[2]
                aliases[old.text] = new.text
                found.append(Definition(old.text, new.text, line, old.column, alias=True))
        return found

    def stored_name(self, written: str, line: int) -> str:
        """The name a written name stands for on a line, after the aliases above it."""
        aliases = dict(BUILT_IN_ALIASES)
        for definition in self.definitions:
            if definition.line >= line:
                break
            if definition.alias:
                aliases[definition.written] = definition.stored
        return aliases.get(written, written)

    def definition_of(self, stored: str, line: int) -> Definition | None:
        """The last definition of a stored name on or above a line."""
        last = None
        for definition in self.definitions:
            if definition.line > line:
                break
            if definition.stored == stored:
                last = definition
        return last

    def defined_above(self, line: int) -> list[Definition]:
        """The definitions before a line, the last of each name only."""
        latest: dict[str, Definition] = {}
        for definition in self.definitions:
            if definition.line >= line:
                break
            latest[definition.written] = definition
        return list(latest.values())

    def directives_above(self, line: int) -> tuple[str, ...]:
        """The ``!units`` lines before a line, which decide the unit names it may use."""
        return tuple(
            self.lines[number].strip()
            for number in range(min(line, len(self.lines)))
            if UNIT_DIRECTIVE.fullmatch(self.lines[number])
        )

    @cached_property
    def sections(self) -> list[Section]:
        """The ``\\section`` headings of the LaTeX blocks, each with the definitions after it;
        the definitions before the first heading are in a section without a title."""
        sections = [Section("", -1)]
        headings = [
            (token.line, match.group(1).strip())
            for token in self.tokens
            if token.kind is LATEX
            for match in SECTION.finditer(token.text)
        ]
        definitions = iter(self.definitions)
        pending = next(definitions, None)
        for heading_line, title in [*headings, (len(self.lines), "")]:
            while pending is not None and pending.line < heading_line:
                sections[-1].definitions.append(pending)
                pending = next(definitions, None)
            sections.append(Section(title, heading_line))
        return sections[:-1]
