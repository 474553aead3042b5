"""Deterministic generator of calculation documents for the benchmark.

`generate(n, seed)` writes a document of n statements in the mix a design tool produces:
definitions of quantities with prefixed units, derived quantities, printed results with and
without unit hints, definitions printed at once, built-in functions, aliases, format
directives, LaTeX blocks and blank lines. Every document is valid: variables are defined
before use, sums and unit hints only combine matching dimensions, divisors and logarithm
arguments are positive, and variable names never coincide with unit names.

Alongside the text the generator records, for the pint peer, the same computation as a list of
steps: one step per statement that evaluates a quantity expression, written in pint's
expression syntax, with the unit hint and number format of the printed statements.
"""

from __future__ import annotations

import math
import random
import re
from collections import deque
from dataclasses import dataclass

from unit_vocabulary import (
    DIMENSIONLESS,
    Dim,
    dim_div,
    dim_mul,
    dim_pow,
    hints_by_dimension,
    parse_unit,
)

# The four-line example of the project's README, used as the small-document case.
README_EXAMPLE = "v = 3 m / 2 s\nv =? km/hour\n!digits 2\na = 2 * v =?\n"

DEFAULT_SEED = 20240611

# Largest absolute exponent of any base quantity in a generated dimension.
MAX_EXPONENT = 4

# How many of the most recently defined variables later statements draw their operands from,
# like the local references of one member or load case in a design calculation.
WINDOW = 48


@dataclass(frozen=True)
class Kind:
    """A kind of primary quantity: its variable name stems, the units it is written in and the
    range of its numbers."""

    name: str
    stems: tuple[str, ...]
    units: tuple[str, ...]
    low: float
    high: float


KINDS = (
    Kind(
        "length", ("len", "span", "width", "depth", "dia", "h"), ("mm", "cm", "m", "km"), 0.5, 900
    ),
    Kind("force", ("load", "force", "shear", "axial"), ("N", "kN", "MN"), 1, 800),
    Kind("pressure", ("press", "stress", "p"), ("Pa", "kPa", "MPa", "GPa"), 1, 500),
    Kind("time", ("dur", "t"), ("s", "ms", "min", "hour", "day"), 1, 120),
    Kind("mass", ("mass", "w"), ("kg", "g", "mg"), 0.5, 900),
    Kind("current", ("cur", "i"), ("A", "mA"), 0.1, 400),
    Kind("voltage", ("volt", "u"), ("V", "kV", "mV"), 1, 400),
    Kind("resistance", ("res", "r"), ("ohm", "kohm"), 1, 470),
    Kind("power", ("pwr",), ("W", "kW", "MW"), 1, 900),
    Kind("energy", ("energy", "en"), ("J", "kJ", "MJ"), 1, 900),
    Kind("frequency", ("freq", "f"), ("hz", "khz", "Mhz"), 1, 900),
    Kind("volume", ("vol",), ("L", "mL"), 1, 900),
    Kind("angle", ("ang", "theta"), ("deg",), 5, 85),
    Kind("temperature", ("temp",), ("K",), 250, 400),
    Kind("amount", ("amt", "n"), ("mol", "mmol"), 0.5, 90),
    Kind("capacitance", ("cap",), ("nF", "pF"), 1, 470),
    Kind("velocity", ("vel",), ("m/s", "km/hour"), 0.5, 120),
    Kind("area", ("area",), ("mm^2", "cm^2", "m^2"), 1, 900),
    Kind("density", ("rho",), ("kg/m^3",), 500, 8000),
)

GREEK = ("sigma", "tau", "alpha", "beta", "lambda", "omega", "eta", "phi", "rho", "mu")

SECTION_TITLES = ("Member", "Beam", "Column", "Load case", "Connection", "Circuit", "Pump")

HINTS = hints_by_dimension()

LITERAL_UNITS: dict[Dim, list[str]] = {}
for _kind in KINDS:
    for _unit in _kind.units:
        LITERAL_UNITS.setdefault(parse_unit(_unit)[1], []).append(_unit)


@dataclass
class Var:
    name: str  # the name the value is stored under
    short: str | None  # the aliased name it may also be written as in printed statements
    key: str  # the name of the value on the pint side
    dim: Dim
    kind: str | None
    positive: bool


# Expression tree, rendered once in the document language and once in pint's syntax.
@dataclass(frozen=True)
class Num:
    text: str


@dataclass(frozen=True)
class Qty:
    text: str
    unit: str


@dataclass(frozen=True)
class Ref:
    var: Var
    short: bool


@dataclass(frozen=True)
class Pi:
    pass


@dataclass(frozen=True)
class BinOp:
    op: str
    left: object
    right: object


@dataclass(frozen=True)
class Call:
    function: str
    args: tuple


@dataclass(frozen=True)
class Expr:
    node: object
    dim: Dim
    positive: bool


PRECEDENCE = {"+": 1, "-": 1, "*": 2, "/": 2, "^": 3}


def to_document(node) -> tuple[str, bool]:
    """Render a tree in the document language. The flag tells whether the text ends with a unit
    annotation: the unit expression would go on over a following * or / with a name, a
    parenthesis or a lone 1 (3 kN * x reads x as a unit) and over ^ (3 m ^ 2 is 3 m^2), so such
    an operand is put in parentheses there."""
    if isinstance(node, Num):
        return node.text, False
    if isinstance(node, Qty):
        return f"{node.text} {node.unit}", True
    if isinstance(node, Ref):
        var = node.var
        return (var.short if node.short and var.short else var.name), False
    if isinstance(node, Pi):
        return "\\pi", False
    if isinstance(node, Call):
        return f"{node.function}({', '.join(to_document(arg)[0] for arg in node.args)})", False
    left, left_ends_with_unit = _document_operand(node.left, node.op, is_left=True)
    right, ends_with_unit = _document_operand(node.right, node.op, is_left=False)
    if left_ends_with_unit and (node.op == "^" or (node.op in "*/" and _continues_unit(right))):
        left = f"({left})"
    return f"{left} {node.op} {right}", ends_with_unit


def _continues_unit(text: str) -> bool:
    """Whether text, written after a unit annotation and * or /, would be read as more units."""
    return not text[0].isdigit() or re.match(r"1(?![0-9.])", text) is not None


def _document_operand(node, parent_op: str, is_left: bool) -> tuple[str, bool]:
    text, ends_with_unit = to_document(node)
    if isinstance(node, BinOp):
        inner, outer = PRECEDENCE[node.op], PRECEDENCE[parent_op]
        wrap = inner < outer or (inner == outer and not is_left) or parent_op == "^"
    else:
        wrap = parent_op == "^" and not is_left and isinstance(node, Qty)
    return (f"({text})", False) if wrap else (text, ends_with_unit)


@dataclass(frozen=True)
class PintCall:
    """A function call evaluated before its step: each argument is parsed with pint, the
    function applied in Python, and the result handed to the step's expression as `name`."""

    name: str
    function: str
    args: tuple[tuple[str, tuple[str, ...]], ...]  # (expression, names of the values it uses)


@dataclass(frozen=True)
class PintStep:
    expression: str
    refs: tuple[str, ...]
    calls: tuple[PintCall, ...] = ()
    store: str | None = None  # name the value is kept under for later steps
    show: bool = False  # whether the value is printed
    hint: str | None = None  # unit to convert a printed value to
    format_spec: str = ".3f~L"


def to_pint(node, refs: set[str], calls: list[PintCall]) -> str:
    """Render a tree in pint's expression syntax, fully parenthesised since pint gives implicit
    multiplication the precedence of * and / (3 m / 2 s would be 3 m / 2 * s)."""
    if isinstance(node, Num):
        return node.text
    if isinstance(node, Qty):
        return f"({node.text} {parse_unit(node.unit)[0]})"
    if isinstance(node, Ref):
        refs.add(node.var.key)
        return node.var.key
    if isinstance(node, Pi):
        return repr(math.pi)
    if isinstance(node, Call):
        args = []
        for arg in node.args:
            arg_refs: set[str] = set()
            args.append((to_pint(arg, arg_refs, calls), tuple(sorted(arg_refs))))
        name = f"_f{len(calls)}"
        calls.append(PintCall(name, node.function, tuple(args)))
        return name
    op = "**" if node.op == "^" else node.op
    return f"({to_pint(node.left, refs, calls)} {op} {to_pint(node.right, refs, calls)})"


@dataclass(frozen=True)
class Corpus:
    text: str
    statements: int
    printed: int
    steps: tuple[PintStep, ...]

    @property
    def size_bytes(self) -> int:
        return len(self.text.encode("utf-8"))


def _fits(d: Dim) -> bool:
    return max(abs(x) for x in d) <= MAX_EXPONENT


class _Generator:
    def __init__(self, seed: int) -> None:
        self.rng = random.Random(seed)
        self.lines: list[str] = []
        self.steps: list[PintStep] = []
        self.statements = 0
        self.printed = 0
        self.counter = 0
        self.sections = 0
        self.recent: deque[Var] = deque(maxlen=WINDOW)
        self.digits = 3
        self.scientific = False

    # -- operands ---------------------------------------------------------------------------
    def number(self, low: float, high: float) -> str:
        decimals = self.rng.choice((0, 0, 1, 1, 2))
        text = f"{self.rng.uniform(low, high):.{decimals}f}"
        return text if float(text) != 0 else "1"

    def literal(self, kind: Kind, unit: str | None = None) -> Qty:
        return Qty(self.number(kind.low, kind.high), unit or self.rng.choice(kind.units))

    def literal_of(self, d: Dim) -> Qty | None:
        units = LITERAL_UNITS.get(d)
        return Qty(self.number(1, 500), self.rng.choice(units)) if units else None

    def pick(self, predicate=lambda var: True) -> Var | None:
        candidates = [var for var in self.recent if predicate(var)]
        return self.rng.choice(candidates) if candidates else None

    def partner(self, a: Var, combine, predicate=lambda var: True) -> Var | None:
        """A second operand for a, preferring one whose combination gives a dimension that
        calculations print in (a force times a length, not a force times a frequency)."""
        candidates = [var for var in self.recent if predicate(var)]
        if not candidates:
            return None
        meaningful = [var for var in candidates if combine(a.dim, var.dim) in HINTS]
        return self.rng.choice(meaningful if meaningful and self.rng.random() < 0.8 else candidates)

    def ref(self, var: Var, printing: bool) -> Ref:
        # Printed statements see aliases, so they may use an aliased variable's short name;
        # plain definitions do not, so they always write the name the value is stored under.
        return Ref(var, printing and var.short is not None and self.rng.random() < 0.5)

    def new_name(self, stem: str) -> tuple[str, str]:
        self.counter += 1
        key = f"{stem}_{self.counter}"
        name = f"{stem}_{{{self.counter}}}" if self.rng.random() < 0.25 else key
        return name, key

    # -- expressions ------------------------------------------------------------------------
    def derived(self, printing: bool) -> Expr | None:
        """An expression over recently defined variables."""
        rng = self.rng
        a = self.pick()
        if a is None:
            return None
        ra = self.ref(a, printing)
        pattern = rng.choices(
            ("mul", "div", "scale", "sum", "diff", "qty", "triple", "paren", "square", "circle"),
            weights=(16, 14, 12, 12, 5, 10, 8, 6, 4, 3),
        )[0]
        if pattern == "mul":
            b = self.partner(a, dim_mul)
            return Expr(
                BinOp("*", ra, self.ref(b, printing)),
                dim_mul(a.dim, b.dim),
                a.positive and b.positive,
            )
        if pattern == "div":
            b = self.partner(a, dim_div, lambda var: var.positive and var is not a)
            if b is None:
                return None
            return Expr(BinOp("/", ra, self.ref(b, printing)), dim_div(a.dim, b.dim), a.positive)
        if pattern == "scale":
            k = Num(self.number(0.1, 20))
            op = rng.choice(("*", "/", "left"))
            node = BinOp("*", k, ra) if op == "left" else BinOp(op, ra, k)
            return Expr(node, a.dim, a.positive)
        if pattern in ("sum", "diff"):
            b = self.pick(lambda var: var.dim == a.dim and var is not a)
            other = self.ref(b, printing) if b is not None else self.literal_of(a.dim)
            if other is None:
                return None
            if pattern == "sum":
                positive = a.positive and (b is None or b.positive)
                return Expr(BinOp("+", ra, other), a.dim, positive)
            return Expr(BinOp("-", ra, other), a.dim, False)
        if pattern == "qty":
            kind = rng.choice(
                [k for k in KINDS if dim_mul(a.dim, parse_unit(k.units[0])[1]) in HINTS] or KINDS
            )
            q = self.literal(kind)
            qdim = parse_unit(q.unit)[1]
            op = rng.choice(("*", "/"))
            node = BinOp(op, ra, q) if rng.random() < 0.6 else BinOp(op, q, ra)
            d = dim_mul(a.dim, qdim) if op == "*" else dim_div(a.dim, qdim)
            if op == "/" and node.left is q:
                d = dim_div(qdim, a.dim)
                if not a.positive:
                    return None
            return Expr(node, d, a.positive)
        if pattern == "triple":
            b = self.pick()
            c = self.partner(
                b,
                lambda x, y: dim_div(dim_mul(a.dim, x), y),
                lambda var: var.positive and var is not b and var is not a,
            )
            if c is None:
                return None
            node = BinOp("/", BinOp("*", ra, self.ref(b, printing)), self.ref(c, printing))
            return Expr(node, dim_div(dim_mul(a.dim, b.dim), c.dim), a.positive and b.positive)
        if pattern == "paren":
            b = self.pick(lambda var: var.dim == a.dim and var is not a)
            c = self.pick()
            if b is None:
                return None
            node = BinOp("*", BinOp("+", ra, self.ref(b, printing)), self.ref(c, printing))
            return Expr(node, dim_mul(a.dim, c.dim), a.positive and b.positive and c.positive)
        if pattern == "square":
            return Expr(BinOp("^", ra, Num("2")), dim_pow(a.dim, 2), a.positive)
        d = self.pick(lambda var: var.kind == "length")
        if d is None:
            return None
        node = BinOp("/", BinOp("*", Pi(), BinOp("^", self.ref(d, printing), Num("2"))), Num("4"))
        return Expr(node, dim_pow(d.dim, 2), True)

    def function(self, printing: bool) -> Expr | None:
        """An expression built around one of the built-in functions."""
        rng = self.rng
        pattern = rng.choices(
            ("sqrt", "trig", "extreme", "abs", "log", "atan"), weights=(5, 4, 5, 2, 2, 1)
        )[0]
        a = self.pick(lambda var: var.positive)
        if a is None:
            return None
        ra = self.ref(a, printing)
        same = self.pick(lambda var: var.dim == a.dim and var.positive and var is not a)
        if pattern in ("sqrt", "log", "atan") and same is not None:
            ratio = BinOp("/", ra, self.ref(same, printing))
            name = {"sqrt": "sqrt", "atan": "atan", "log": rng.choice(("ln", "log10"))}[pattern]
            call = Call(name, (ratio,))
            c = self.pick()
            if name == "sqrt" and c is not None and rng.random() < 0.5:
                return Expr(BinOp("*", call, self.ref(c, printing)), c.dim, c.positive)
            return Expr(call, DIMENSIONLESS, name != "ln" and name != "log10")
        if pattern == "trig":
            angle = self.pick(lambda var: var.kind == "angle")
            if angle is None:
                return None
            call = Call(rng.choice(("sin", "cos", "tan")), (self.ref(angle, printing),))
            return Expr(BinOp("*", ra, call), a.dim, a.positive)
        if pattern == "extreme":
            args = [ra]
            other = same if same is not None else None
            literal = self.literal_of(a.dim)
            if other is not None:
                args.append(self.ref(other, printing))
            if literal is not None and (other is None or rng.random() < 0.4):
                args.append(literal)
            if len(args) < 2:
                return None
            return Expr(Call(rng.choice(("max", "min")), tuple(args)), a.dim, True)
        if pattern == "abs" and same is not None:
            return Expr(Call("abs", (BinOp("-", ra, self.ref(same, printing)),)), a.dim, False)
        return None

    def expression(self, printing: bool, with_function: bool) -> Expr | None:
        for _ in range(8):
            expr = self.function(printing) if with_function else self.derived(printing)
            if expr is not None and _fits(expr.dim):
                return expr
        return None

    # -- statements -------------------------------------------------------------------------
    def emit(self, line: str, step: PintStep | None = None) -> None:
        self.lines.append(line)
        self.statements += 1
        if step is not None:
            self.steps.append(step)
            self.printed += step.show

    def format_spec(self) -> str:
        return f".{self.digits}{'e' if self.scientific else 'f'}~L"

    def step(
        self, expr_node, store: Var | None = None, show: bool = False, hint: str | None = None
    ) -> PintStep:
        refs: set[str] = set()
        calls: list[PintCall] = []
        text = to_pint(expr_node, refs, calls)
        return PintStep(
            text,
            tuple(sorted(refs)),
            tuple(calls),
            store.key if store else None,
            show,
            parse_unit(hint)[0] if hint else None,
            self.format_spec(),
        )

    def choose_hint(self, d: Dim, kind: str | None, probability: float) -> str | None:
        if self.rng.random() >= probability:
            return None
        if kind == "angle":
            return self.rng.choice(("deg", "rad"))
        hints = HINTS.get(d)
        return self.rng.choice(hints)[0] if hints else None

    def define_literal(
        self, name: str | None = None, key: str | None = None, short: str | None = None
    ) -> None:
        kind = self.rng.choice(KINDS)
        if name is None:
            name, key = self.new_name(self.rng.choice(kind.stems))
        node = self.literal(kind)
        if self.rng.random() < 0.15 and len(kind.units) > 1:
            node = BinOp("+", node, self.literal(kind))
        var = Var(name, short, key, parse_unit(kind.units[0])[1], kind.name, True)
        self.emit(f"{short or name} = {to_document(node)[0]}", self.step(node, store=var))
        self.recent.append(var)

    def define_derived(
        self, with_function: bool, printed: bool, name=None, key=None, short=None
    ) -> bool:
        expr = self.expression(printing=printed, with_function=with_function)
        if expr is None:
            return False
        if name is None:
            name, key = self.new_name(self.rng.choice(("x", "y", "q", "val", "k", "z", "c")))
        var = Var(name, short, key, expr.dim, None, expr.positive)
        text = f"{short or name} = {to_document(expr.node)[0]}"
        hint = None
        if printed:
            hint = self.choose_hint(expr.dim, None, 0.5)
            text += f" =? {hint}" if hint else " =?"
        self.emit(text, self.step(expr.node, store=var, show=printed, hint=hint))
        self.recent.append(var)
        return True

    def print_var(self) -> bool:
        var = self.pick()
        if var is None:
            return False
        hint = self.choose_hint(var.dim, var.kind, 0.75)
        node = self.ref(var, printing=True)
        text = f"{to_document(node)[0]} =?" + (f" {hint}" if hint else "")
        self.emit(text, self.step(node, show=True, hint=hint))
        return True

    def print_expr(self) -> bool:
        expr = self.expression(printing=True, with_function=self.rng.random() < 0.2)
        if expr is None:
            return False
        hint = self.choose_hint(expr.dim, None, 0.6)
        text = f"{to_document(expr.node)[0]} =?" + (f" {hint}" if hint else "")
        self.emit(text, self.step(expr.node, show=True, hint=hint))
        return True

    def alias(self) -> bool:
        greek = self.rng.choice(GREEK)
        self.counter += 1
        short = f"{greek[:3]}_{self.counter}"
        stored = f"\\{greek}_{{{self.counter}}}"
        key = f"{greek}_{self.counter}"
        self.emit(f"alias {short} {stored}")
        # The aliased variable is defined right away under its short name.
        printed = self.rng.random() < 0.4
        if not self.define_derived(self.rng.random() < 0.2, printed, stored, key, short):
            self.define_literal(stored, key, short)
        return True

    def latex(self) -> None:
        self.sections += 1
        title = f"{self.rng.choice(SECTION_TITLES)} {self.sections}"
        if self.rng.random() < 0.7:
            self.emit(f"'''\\subsection*{{{title}}}'''")
            return
        body = [
            "'''",
            "\\begin{itemize}",
            f"\\item {title}: checked against the design loads.",
            "\\end{itemize}",
            "'''",
        ]
        self.emit("\n".join(body))

    def directive(self) -> None:
        if self.rng.random() < 0.7:
            self.digits = self.rng.randint(2, 5)
            self.emit(f"!digits {self.digits}")
        else:
            self.scientific = not self.scientific
            self.emit("!scientific")

    def statement(self, remaining: int) -> None:
        choice = self.rng.choices(
            (
                "literal",
                "derived",
                "function",
                "print",
                "print_expr",
                "dec_print",
                "alias",
                "directive",
                "latex",
                "blank",
            ),
            weights=(28, 18, 5, 12, 5, 9, 2, 1.5, 4, 8),
        )[0]
        done = True
        if choice == "literal" or len(self.recent) < 4:
            self.define_literal()
        elif choice == "derived":
            done = self.define_derived(with_function=False, printed=False)
        elif choice == "function":
            done = self.define_derived(with_function=True, printed=self.rng.random() < 0.4)
        elif choice == "print":
            done = self.print_var()
        elif choice == "print_expr":
            done = self.print_expr()
        elif choice == "dec_print":
            done = self.define_derived(with_function=self.rng.random() < 0.15, printed=True)
        elif choice == "alias" and remaining >= 2:
            done = self.alias()
        elif choice == "directive":
            self.directive()
        elif choice == "latex":
            self.latex()
        elif choice == "blank":
            self.emit("")
        else:
            done = False
        if not done:
            self.define_literal()


def generate(statements: int, seed: int = DEFAULT_SEED) -> Corpus:
    """Generate a document of exactly `statements` statements (a multi-line LaTeX block counts
    as one statement) together with its pint steps."""
    if statements < 1:
        raise ValueError("a document needs at least one statement")
    gen = _Generator(seed)
    while gen.statements < statements:
        gen.statement(statements - gen.statements)
    return Corpus("\n".join(gen.lines) + "\n", gen.statements, gen.printed, tuple(gen.steps))
