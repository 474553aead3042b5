"""Deterministic documents for the differential driver.

`documents(count, seed)` yields every file of the fuzz corpus and regressions, then generated
documents: the language's own generator below (every statement kind, units with prefixes and
powers, hints, functions, aliases, directives, LaTeX blocks, gaps, CR and CRLF line ends,
deep nesting and deliberate errors), fragments of the benchmark's documents, and mutations of
all three (bit flips, deletions, insertions of the fuzzer's dictionary tokens, line swaps).
Document i depends only on (seed, i), so any one can be made again on its own.
"""

from __future__ import annotations

import random
import re
import sys
from collections.abc import Iterator
from functools import cache
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
FUZZ = REPO / "tests" / "fuzz"
sys.path.insert(0, str(REPO / "bench"))

import corpus as bench_corpus

Dim = tuple[int, ...]  # exponents of m, g, s, A, K, mol, cd
NONE: Dim = (0,) * 7

BASE_NAMES = (
    ("m", "meter", "meters"),
    ("g", "gram", "gm"),
    ("s", "second", "min", "hour", "day", "year"),
    ("A", "amp", "ampere"),
    ("K", "kelvin"),
    ("mol", "mole", "mols"),
    ("candela",),
)
DERIVED_NAMES: dict[Dim, tuple[str, ...]] = {
    (1, 1, -2, 0, 0, 0, 0): ("N", "newton"),
    (2, 1, -2, 0, 0, 0, 0): ("J", "joule"),
    (2, 1, -3, 0, 0, 0, 0): ("W", "watt"),
    (-1, 1, -2, 0, 0, 0, 0): ("Pa", "pascal"),
    (0, 0, -1, 0, 0, 0, 0): ("hz", "Bq"),
    (2, 1, -3, -1, 0, 0, 0): ("V", "volt"),
    (2, 1, -3, -2, 0, 0, 0): ("ohm", "ohms"),
    (0, 0, 1, 1, 0, 0, 0): ("C", "coulomb"),
    (3, 0, 0, 0, 0, 0, 0): ("L", "liter"),
    (-3, 0, 0, 0, 0, 1, 0): ("M",),
}
ANGLES = ("rad", "deg", "degrees", "rev")
SYMBOL_PREFIXES = ("k", "m", "c", "d", "M", "G", "n", "p", "da", "h", "T", "f", "Y", "y")
WORD_PREFIXES = ("kilo", "milli", "micro", "centi", "mega", "nano", "giga", "deca", "yotta")
FUNCTIONS_ANY = ("abs", "ceil", "floor", "round")
FUNCTIONS_PLAIN = (
    "sqrt", "cbrt", "exp", "ln", "log2", "log10", "sin", "cos", "tan", "asin", "acos", "atan",
    "sinh", "cosh", "tanh", "asinh", "acosh", "atanh",
)  # fmt: skip
NAMES = ("x", "y", "v_0", "v_{max}", "t_1", "\\alpha", "\\omega_{0}", "F", "E_k", "q2", "alias")
BLANKS = ("", " ", " ", "  ", "\t")
SPECIAL_NUMBERS = ("0", "1", "-1", "0.0", "1000000000000", "0.000000001", "9" * 320)

# Statements that fail in the run, each on its own: a document that holds one stops there.
FAILING = (
    "hello world", "x = 5 6", "x==?", "f() =?", "y = 3 Hz", "y = 3 m + 2 s", "z = nosuch(2)",
    "z = sqrt(2, 3)", "z = sin(3 m)", "max(1 m, 2 s) =?", "!digits 1001", "!digits -1",
    "w = 2 m^128", "w = (2 m^100)^2 =?", "undefined_1 =?", "3 m =? s", "3 m =? 1/s",
    "k = 3 kg m", "'''unterminated", "atan2(1) =?", "= 3", "x = ", "x = 3 m^", "x = (3",
    "x = 3 ** 2", "x = 1.", "x = .5", "x = -y", "x = 3 m/(s", "!nothing",
)  # fmt: skip


def _dim_scale(d: Dim, k: int) -> Dim:
    return tuple(x * k for x in d)


def _dim_add(a: Dim, b: Dim) -> Dim:
    return tuple(x + y for x, y in zip(a, b))


def _dim_sub(a: Dim, b: Dim) -> Dim:
    return tuple(x - y for x, y in zip(a, b))


class _Writer:
    """Writes one document of the language, mostly correct so that the evaluator and the
    renderer run, with an occasional deliberate error."""

    def __init__(self, rng: random.Random) -> None:
        self.rng = rng
        self.variables: list[tuple[str, Dim]] = [("pi", NONE), ("e", NONE)]
        self.lines: list[str] = []
        self.counter = 0

    # -- pieces ------------------------------------------------------------------------------
    def blank(self) -> str:
        return self.rng.choice(BLANKS)

    def number(self) -> str:
        rng = self.rng
        roll = rng.random()
        if roll < 0.05:
            return rng.choice(SPECIAL_NUMBERS)
        if roll < 0.5:
            return str(rng.randint(-50 if rng.random() < 0.1 else 1, 2000))
        return f"{rng.uniform(0.001, 999):.{rng.randint(1, 4)}f}"

    def base_name(self, index: int) -> str:
        rng = self.rng
        name = rng.choice(BASE_NAMES[index])
        if index == 1 and rng.random() < 0.4:
            return "kg"
        if rng.random() < 0.3:
            if len(name) <= 3:
                return rng.choice(SYMBOL_PREFIXES) + name
            return rng.choice(WORD_PREFIXES) + name
        return name

    def unit(self, d: Dim) -> str:
        """A unit expression of dimension d."""
        rng = self.rng
        if d in DERIVED_NAMES and rng.random() < 0.6:
            name = rng.choice(DERIVED_NAMES[d])
            return (rng.choice(SYMBOL_PREFIXES) if rng.random() < 0.3 else "") + name
        if d == NONE:
            return rng.choice(ANGLES)
        up = [self.power(i, x) for i, x in enumerate(d) if x > 0]
        down = [self.power(i, -x) for i, x in enumerate(d) if x < 0]
        if not up:
            return "*".join(self.power(i, x) for i, x in enumerate(d) if x)
        text = "*".join(up)
        if len(down) > 1 and rng.random() < 0.5:
            return f"{text}/({'*'.join(down)})"
        return "".join([text, *(f"/{part}" for part in down)])

    def power(self, index: int, exponent: int) -> str:
        name = self.base_name(index)
        return name if exponent == 1 else f"{name}^{exponent}"

    def small_dim(self) -> Dim:
        d = [0] * 7
        if self.rng.random() < 0.7:
            d[self.rng.choice((0, 0, 1, 1, 2, 2, 3, 4, 5, 6))] = self.rng.choice((1, 1, -1, 2))
        return tuple(d)

    # -- expressions ---------------------------------------------------------------------------
    def leaf(self, d: Dim) -> str:
        rng = self.rng
        known = [name for name, dim in self.variables if dim == d]
        if known and rng.random() < 0.45:
            return rng.choice(known)
        if d == NONE:
            return self.number() if rng.random() < 0.8 else f"{self.number()} {rng.choice(ANGLES)}"
        return f"{self.number()} {self.unit(d)}"

    def operand(self, d: Dim, depth: int) -> str:
        """An expression safe to stand beside * / ^: parenthesised unless it is a plain name
        or number, since a unit annotation would go on over a following unit name."""
        text = self.expression(d, depth)
        if re.fullmatch(r"-?[0-9.]+|[A-Za-z\\][A-Za-z0-9_{}]*", text) or self.rng.random() < 0.05:
            return text
        return f"({text})"

    def expression(self, d: Dim, depth: int) -> str:
        rng = self.rng
        if depth <= 0 or rng.random() < 0.3:
            return self.leaf(d)
        b1, b2 = self.blank(), self.blank()
        kind = rng.choice(("sum", "sum", "mul", "mul", "div", "pow", "root", "paren", "call"))
        if kind == "sum":
            op = rng.choice("+-")
            return f"{self.expression(d, depth - 1)}{b1}{op}{b2}{self.operand(d, depth - 1)}"
        if kind == "mul":
            left = self.small_dim()
            right = _dim_sub(d, left)
            return f"{self.operand(left, depth - 1)}{b1}*{b2}{self.operand(right, depth - 1)}"
        if kind == "div":
            below = self.small_dim()
            above = _dim_add(d, below)
            return f"{self.operand(above, depth - 1)}{b1}/{b2}{self.operand(below, depth - 1)}"
        if kind == "pow":
            n = rng.choice((2, 3, -1))
            if all(x % n == 0 for x in d):
                base = tuple(x // n for x in d)
                return f"{self.operand(base, depth - 1)}{b1}^{b2}{n}"
            return self.leaf(d)
        if kind == "root":
            return f"{self.operand(_dim_scale(d, 2), depth - 1)}^0.5"
        if kind == "paren":
            return f"({b1}{self.expression(d, depth - 1)}{b2})"
        return self.call(d, depth)

    def call(self, d: Dim, depth: int) -> str:
        rng = self.rng
        if rng.random() < 0.4:
            count = rng.randint(1, 3)
            args = [self.expression(d, depth - 1) for _ in range(count)]
            return f"{rng.choice(('min', 'max'))}({', '.join(args)})"
        if d != NONE or rng.random() < 0.3:
            return f"{rng.choice(FUNCTIONS_ANY)}({self.expression(d, depth - 1)})"
        if rng.random() < 0.1:
            return f"atan2({self.expression(NONE, 1)},{self.blank()}{self.expression(NONE, 1)})"
        return f"{rng.choice(FUNCTIONS_PLAIN)}({self.expression(NONE, depth - 1)})"

    def nested(self) -> str:
        """Brackets around the nesting limit of 64 levels: groups, calls and unit groups."""
        rng = self.rng
        levels = rng.choice((30, 63, 64, 65, 66, 100))
        inner = self.leaf(NONE)
        if rng.random() < 0.5:
            return "(" * levels + inner + ")" * levels
        return "abs(" * levels + inner + ")" * levels

    # -- statements ----------------------------------------------------------------------------
    def name(self) -> str:
        self.counter += 1
        rng = self.rng
        if rng.random() < 0.2:
            return rng.choice(NAMES)
        stem = rng.choice(("x", "v", "F", "\\sigma", "\\Delta", "r", "load"))
        return f"{stem}_{{{self.counter}}}" if rng.random() < 0.3 else f"{stem}_{self.counter}"

    def hint(self, d: Dim) -> str:
        roll = self.rng.random()
        if roll < 0.4:
            return ""
        if roll < 0.97:
            return f" {self.unit(d)}"
        return f" {self.unit(self.small_dim())}"  # most often the wrong dimension

    def define(self, printing: bool) -> None:
        d = self.small_dim() if self.rng.random() < 0.8 else NONE
        name = self.name()
        text = f"{name}{self.blank()}={self.blank()}{self.expression(d, self.rng.randint(0, 4))}"
        if printing:
            text += f"{self.blank()}{self.rng.choice(('=?', '= ?', '=?'))}{self.hint(d)}"
        self.lines.append(text + self.rng.choice(("", "", "", " ", "\t")))
        self.variables.append((name, d))

    def print_expression(self) -> None:
        d = self.small_dim()
        expression = self.expression(d, self.rng.randint(0, 4))
        self.lines.append(f"{expression}{self.blank()}=?{self.hint(d)}")

    def alias(self) -> None:
        self.counter += 1
        short = f"a{self.counter}"
        shown = self.rng.choice(("\\theta", "\\lambda_{", "r_")) + str(self.counter)
        if shown.endswith(str(self.counter)) and "{" in shown:
            shown += "}"
        self.lines.append(f"alias {short} {shown}")
        d = self.small_dim()
        self.lines.append(f"{short} = {self.expression(d, 2)}")
        self.variables.append((short, d))

    def directive(self) -> None:
        rng = self.rng
        if rng.random() < 0.3:
            self.lines.append("!scientific")
            return
        form = rng.choice(("!digits {}", "!digits{}", "! digits {}", "!digits  {}"))
        self.lines.append(form.format(rng.choice((0, 1, 2, 3, 4, 6, 10, 17, 40))))

    def latex(self) -> None:
        rng = self.rng
        body = rng.choice(("\\section*{Load}", "$x$ and \\{y\\}", "a ' b '' c", "", "\\\\"))
        if rng.random() < 0.3:
            body = "\n".join((body, "\\begin{itemize}", "\\item one", "\\end{itemize}"))
        self.lines.append(f"'''{body}'''")

    def statement(self) -> None:
        rng = self.rng
        kind = rng.choices(
            ("define", "define_print", "print", "alias", "directive", "latex", "gap", "nested"),
            weights=(30, 14, 16, 4, 5, 5, 8, 1),
        )[0]
        if kind == "define":
            self.define(printing=False)
        elif kind == "define_print":
            self.define(printing=True)
        elif kind == "print":
            self.print_expression()
        elif kind == "alias":
            self.alias()
        elif kind == "directive":
            self.directive()
        elif kind == "latex":
            self.latex()
        elif kind == "gap":
            self.lines.append(rng.choice(("", "", "  ", "\t", " \t ")))
        else:
            self.lines.append(f"n = {self.nested()} =?")

    def document(self) -> str:
        rng = self.rng
        for _ in range(rng.choice((1, 2, 3, 5, 8, 12, 20))):
            self.statement()
        if rng.random() < 0.25:
            self.lines.insert(rng.randint(0, len(self.lines)), rng.choice(FAILING))
        if rng.random() < 0.1:
            self.lines[0:0] = [""] * rng.randint(1, 3)
        return join_lines(rng, self.lines)


def join_lines(rng: random.Random, lines: list[str]) -> str:
    """Lines joined with LF, CRLF, CR or a mix, with or without a final line end."""
    mode = rng.choices(("\n", "\r\n", "\r", "mixed"), weights=(70, 12, 6, 12))[0]
    ends = [rng.choice(("\n", "\r\n", "\r")) if mode == "mixed" else mode for _ in lines]
    text = "".join(line + end for line, end in zip(lines, ends))
    return text if rng.random() < 0.7 else text[: -len(ends[-1])]


# -- mutations ---------------------------------------------------------------------------------
@cache
def dictionary_tokens() -> tuple[str, ...]:
    """The fuzzer's dictionary: one quoted token a line, with C-style escapes."""
    tokens = []
    for line in (FUZZ / "mensurator.dict").read_text(encoding="utf-8").splitlines():
        match = re.fullmatch(r'\s*"(.*)"\s*', line)
        if match:
            tokens.append(match.group(1).encode("latin-1").decode("unicode_escape"))
    return tuple(tokens)


def mutate(rng: random.Random, text: str) -> str:
    for _ in range(rng.choice((1, 1, 2, 3, 4))):
        operation = rng.choice(("flip", "delete", "insert", "insert", "swap"))
        at = rng.randint(0, len(text))
        if operation == "flip" and text:
            at = min(at, len(text) - 1)
            text = text[:at] + chr(ord(text[at]) ^ (1 << rng.randrange(8))) + text[at + 1 :]
        elif operation == "delete":
            text = text[:at] + text[at + rng.randint(1, 8) :]
        elif operation == "insert":
            text = text[:at] + rng.choice(dictionary_tokens()) + text[at:]
        else:
            lines = text.split("\n")
            i, j = rng.randrange(len(lines)), rng.randrange(len(lines))
            lines[i], lines[j] = lines[j], lines[i]
            text = "\n".join(lines)
    return text


# -- sources -----------------------------------------------------------------------------------
@cache
def fuzz_files() -> tuple[tuple[str, str], ...]:
    """(name, text) of every file of the fuzz corpus and regressions; bytes that are not UTF-8
    become U+FFFD, as a str must hold the document."""
    files = sorted(
        path for folder in ("corpus", "regressions") for path in (FUZZ / folder).iterdir()
    )
    return tuple(
        (str(path.relative_to(REPO)), path.read_bytes().decode("utf-8", "replace"))
        for path in files
        if path.is_file()
    )


def bench_fragment(rng: random.Random) -> str:
    """A short document of the benchmark's mix: valid, long names, realistic units."""
    return bench_corpus.generate(rng.randint(1, 16), seed=rng.randrange(2**32)).text


def generated(seed: int, index: int) -> str:
    """Generated document number index (beyond the files)."""
    rng = random.Random(f"{seed}:{index}")
    source = rng.choices(("own", "bench", "mutated"), weights=(55, 10, 35))[0]
    if source == "own":
        return _Writer(rng).document()
    if source == "bench":
        return bench_fragment(rng)
    base = rng.choices(("own", "bench", "file"), weights=(60, 20, 20))[0]
    if base == "own":
        text = _Writer(rng).document()
    elif base == "bench":
        text = bench_fragment(rng)
    else:
        text = rng.choice(fuzz_files())[1]
    return mutate(rng, text)


def documents(count: int, seed: int) -> Iterator[tuple[str, str]]:
    """(label, text) of count documents: the fuzz files first, then generated ones."""
    files = fuzz_files()
    yield from files[:count]
    for index in range(count - len(files)):
        yield f"generated #{index}", generated(seed, index)
