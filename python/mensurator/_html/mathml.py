"""LaTeX math to MathML that a browser shows natively, checked before it goes into a page.

The converter is a general-purpose one and does not promise well-formed or harmless output for
every input: it passes some characters through unescaped, turns ``\\href`` into a link and
writes an unknown command as its own name. Its output is therefore parsed and written out again
from a list of presentation elements and attributes; anything outside that list, anything that
does not parse and any command it left unconverted makes the conversion fail, and the caller
shows the LaTeX source instead.
"""

from __future__ import annotations

import functools
import html
import re
import xml.etree.ElementTree as ElementTree

from latex2mathml.converter import convert

NAMESPACE = "{http://www.w3.org/1998/Math/MathML}"

ELEMENTS = frozenset(
    "math mrow mi mn mo mtext ms mspace mfrac msqrt mroot msub msup msubsup munder mover "
    "munderover mstyle mpadded mphantom menclose mtable mtr mtd".split()
)

ATTRIBUTES = frozenset(
    "display mathvariant stretchy fence separator form lspace rspace minsize maxsize symmetric "
    "largeop movablelimits accent accentunder linethickness width height depth displaystyle "
    "scriptlevel notation columnalign rowalign columnspacing rowspacing columnlines rowlines "
    "frame".split()
)

# Token elements whose text a reader sees; a backslash there is a command the converter did not
# know and copied through.
TOKENS = frozenset("mi mn mo mtext ms".split())

EQUALS = "="

# The converter drops the upright style of \mathrm around a single letter (``\mathrm{V}``
# comes out as an italic V); a group inside the argument keeps it and means the same in LaTeX.
SINGLE_LETTER_ROMAN = re.compile(r"\\mathrm\{([A-Za-z])\}")
# A brace that opens or closes a group (an escaped one, \{, is a character).
BRACE = re.compile(r"(?<!\\)[{}]")


class UnconvertibleMath(ValueError):
    """The converter cannot produce a faithful MathML rendering of this LaTeX."""


def _local_name(tag: str) -> str:
    if not tag.startswith(NAMESPACE):
        raise UnconvertibleMath(f"element {tag} outside MathML")
    name = tag[len(NAMESPACE) :]
    if name not in ELEMENTS:
        raise UnconvertibleMath(f"element {name} is not a presentation element")
    return name


def _mark_result(row: ElementTree.Element) -> None:
    """Group what follows the last of two or more top-level equals signs as the result.

    A printing statement is written ``name = expression = value`` (or ``expression = value``);
    with two equals signs the last part is certainly the computed value.
    """
    children = list(row)
    equals = [
        index
        for index, child in enumerate(children)
        if child.tag == NAMESPACE + "mo" and (child.text or "").strip() == EQUALS
    ]
    if len(equals) < 2:
        return
    result = ElementTree.Element(NAMESPACE + "mrow", {"class": "result"})
    for child in children[equals[-1] + 1 :]:
        row.remove(child)
        result.append(child)
    row.append(result)


def _serialise(root: ElementTree.Element) -> str:
    out: list[str] = []

    def write(element: ElementTree.Element) -> None:
        name = _local_name(element.tag)
        # The result group is the one element of our own; its class is the only one allowed.
        extra = ' class="result"' if element.get("class") == "result" else ""
        text = element.text or ""
        if name in TOKENS and text.lstrip().startswith("\\"):
            raise UnconvertibleMath(f"unknown command {text.strip()}")
        attributes = "".join(
            f' {key}="{html.escape(value)}"'
            for key, value in element.attrib.items()
            if key in ATTRIBUTES
        )
        out.append(f"<{name}{attributes}{extra}>{html.escape(text, quote=False)}")
        for child in element:
            write(child)
            out.append(html.escape(child.tail or "", quote=False))
        out.append(f"</{name}>")

    write(root)
    return "".join(out)


def balanced_braces(latex: str) -> bool:
    """Whether every group is closed: the converter accepts ``x_{ = 2`` and drops the rest."""
    depth = 0
    for match in BRACE.finditer(latex):
        depth += 1 if match.group() == "{" else -1
        if depth < 0:
            return False
    return depth == 0


@functools.lru_cache(maxsize=4096)
def to_mathml(latex: str, display: bool = True, mark_result: bool = False) -> str | None:
    """MathML for a LaTeX math text, or None when it cannot be converted faithfully.

    Results are cached: while an author types, almost every line of the document is the same
    as in the previous rendering.
    """
    if not balanced_braces(latex):
        return None
    try:
        upright = SINGLE_LETTER_ROMAN.sub(r"\\mathrm{{\1}}", latex)
        converted = convert(upright, display="block" if display else "inline")
        root = ElementTree.fromstring(converted)
        rows = list(root)
        if mark_result and len(rows) == 1 and rows[0].tag == NAMESPACE + "mrow":
            _mark_result(rows[0])
        return _serialise(root)
    except Exception:  # the converter raises many unrelated types; every one means "cannot"
        return None
