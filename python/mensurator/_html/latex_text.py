"""The text of LaTeX blocks as HTML: headings, emphasis, inline math, and the rest as written.

Only the handful of commands that calculation sheets use for their prose are interpreted. Every
other command stays in the text as its source, so nothing the author wrote disappears from the
page; layout commands that mean nothing outside a LaTeX page are left out.
"""

from __future__ import annotations

import html
import re
from dataclasses import dataclass
from typing import Callable, Optional

HEADINGS = {"section": "h2", "subsection": "h3", "subsubsection": "h4"}
EMPHASIS = {"emph": "em", "textit": "em", "textbf": "strong"}
# Commands without visible content of their own in an HTML page.
LAYOUT_COMMANDS = frozenset({"leavevmode", "noindent", "centering", "par"})
LAYOUT_ENVIRONMENTS = frozenset({"center", "flushleft", "flushright"})

# Groups inside groups beyond this depth stay as written: the conversion recurses per group.
MAX_NESTING = 32

TOKEN = re.compile(
    r"\\(?P<command>[A-Za-z]+)(?P<star>\*?)"
    r"|\\(?P<character>[%&$_#{}])"
    r"|\$(?P<math>[^$]+)\$"
    r"|(?P<paragraph>\n[ \t]*\n\s*)"
    r"|(?P<tilde>~)"
    r"|\\(?P<space>[,;:> !])"
    r"|(?P<dash>---?)"
)
# Spacing commands and dashes, as the characters LaTeX sets for them.
SPACES = {",": "&thinsp;", ";": "&#8197;", ":": "&#8197;", ">": "&#8197;", " ": " ", "!": ""}
DASHES = {"--": "&ndash;", "---": "&mdash;"}


@dataclass(frozen=True)
class TextItem:
    """One piece of block text: a heading (``level`` 2 to 4) or a run of inline HTML."""

    html: str
    level: int = 0
    paragraph_break: bool = False


# Renders inline LaTeX math to HTML; returns None when it cannot.
InlineMath = Callable[[str], Optional[str]]


# A backslash with the character after it (so \{ is no brace), or a brace.
BRACE_TOKEN = re.compile(r"\\.|[{}]", re.DOTALL)


def matching_braces(text: str) -> dict[int, int]:
    """The position of the closing brace of every opening brace that has one, in one pass:
    looking for each command's argument afresh would read to the end of the text for every
    unclosed one."""
    closing: dict[int, int] = {}
    opened: list[int] = []
    for token in BRACE_TOKEN.finditer(text):
        brace = token.group()
        if brace == "{":
            opened.append(token.start())
        elif brace == "}" and opened:
            closing[opened.pop()] = token.start()
    return closing


def braced_argument(text: str, start: int, closing: dict[int, int]) -> tuple[str, int] | None:
    """The ``{...}`` group at ``start`` (after blanks) and the position after it, if there;
    ``closing`` is ``matching_braces(text)``."""
    position = start
    while position < len(text) and text[position] in " \t":
        position += 1
    end = closing.get(position)
    if end is None:
        return None
    return text[position + 1 : end], end + 1


class BlockText:
    """Converts the text of LaTeX blocks, collecting the math it had to show as source."""

    def __init__(self, inline_math: InlineMath) -> None:
        self.inline_math = inline_math
        self.unconverted: list[str] = []
        self.depth = 0

    def items(self, text: str) -> list[TextItem]:
        items: list[TextItem] = []
        run: list[str] = []

        def flush(paragraph_break: bool = False) -> None:
            if run or paragraph_break:
                items.append(TextItem("".join(run), paragraph_break=paragraph_break))
                run.clear()

        position = 0
        closing = matching_braces(text)
        for match in TOKEN.finditer(text):
            if match.start() < position:
                continue  # inside an argument already consumed
            run.append(html.escape(text[position : match.start()], quote=False))
            position = match.end()
            command = match.group("command")
            if command is not None:
                heading, position = self._command(
                    command, match.group("star"), text, position, closing, run
                )
                if heading is not None:
                    flush()
                    items.append(heading)
            elif match.group("character") is not None:
                run.append(html.escape(match.group("character"), quote=False))
            elif match.group("math") is not None:
                run.append(self._math(match.group("math")))
            elif match.group("paragraph") is not None:
                flush(paragraph_break=True)
            elif match.group("space") is not None:
                run.append(SPACES[match.group("space")])
            elif match.group("dash") is not None:
                run.append(DASHES[match.group("dash")])
            else:
                run.append("&nbsp;")
        run.append(html.escape(text[position:], quote=False))
        flush()
        return [item for item in items if item.html.strip() or item.paragraph_break]

    def inline(self, text: str) -> str:
        """Block text where only inline content is expected, such as a heading's title."""
        if self.depth >= MAX_NESTING:
            return html.escape(text, quote=False)
        self.depth += 1
        try:
            return " ".join(item.html for item in self.items(text))
        finally:
            self.depth -= 1

    def _math(self, latex: str) -> str:
        mathml = self.inline_math(latex)
        if mathml is not None:
            return mathml
        self.unconverted.append(f"${latex}$")
        return f'<code class="latex">{html.escape(f"${latex}$", quote=False)}</code>'

    def _command(
        self,
        name: str,
        star: str,
        text: str,
        position: int,
        closing: dict[int, int],
        run: list[str],
    ) -> tuple[TextItem | None, int]:
        source = f"\\{name}{star}"
        if name in LAYOUT_COMMANDS:
            return None, position
        if name in HEADINGS or name in EMPHASIS or name in ("begin", "end"):
            argument = braced_argument(text, position, closing)
            if argument is None:
                run.append(html.escape(source, quote=False))
                return None, position
            content, after = argument
            if name in HEADINGS:
                level = int(HEADINGS[name][1])
                return TextItem(self.inline(content), level=level), after
            if name in EMPHASIS:
                tag = EMPHASIS[name]
                run.append(f"<{tag}>{self.inline(content)}</{tag}>")
                return None, after
            if content in LAYOUT_ENVIRONMENTS:
                return None, after
            run.append(html.escape(f"{source}{{{content}}}", quote=False))
            return None, after
        run.append(html.escape(source, quote=False))
        return None, position
