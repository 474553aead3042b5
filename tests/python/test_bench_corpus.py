"""The benchmark's document generator: deterministic, exact in size, and valid in the language."""

from __future__ import annotations

import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "bench"))

import corpus
from corpus import BinOp, Call, Num, Qty, Ref, Var, to_document, to_pint


def count_statements(text: str) -> int:
    """Count statements the way a reader of the document would: one per line, except that a
    LaTeX block opened alone on a line runs to the line that closes it."""
    count = 0
    in_block = False
    for line in text.split("\n")[:-1]:
        if in_block:
            in_block = line != "'''"
            continue
        count += 1
        in_block = line == "'''"
    assert not in_block, "unclosed LaTeX block"
    return count


def var(name: str, short: str | None = None) -> Var:
    return Var(
        name,
        short,
        name.replace("\\", "").replace("{", "").replace("}", ""),
        (1, 0, 0, 0, 0, 0),
        "length",
        True,
    )


A, B, C = var("a_1"), var("b_2"), var("c_3")


def test_same_seed_gives_the_same_document_and_peer_steps():
    first, second = corpus.generate(500, seed=3), corpus.generate(500, seed=3)
    assert first.text == second.text
    assert first.steps == second.steps
    assert corpus.generate(500, seed=4).text != first.text


@pytest.mark.parametrize("size", [1, 2, 3, 7, 200, 1001])
def test_document_has_exactly_the_requested_statements(size):
    doc = corpus.generate(size, seed=size)
    assert doc.statements == size
    assert count_statements(doc.text) == size


def test_generation_rejects_an_empty_document():
    with pytest.raises(ValueError):
        corpus.generate(0)


@pytest.mark.parametrize(
    "fragment",
    ["'''\\subsection*", "'''\n\\begin{itemize}", "\n\n", "\nalias ", "\n!digits ", "\n!scientific\n",
     " =?\n", " =? km", "sqrt(", "max(", "\\pi * ", "_{"],
)  # fmt: skip
def test_large_document_holds_every_kind_of_statement(fragment):
    assert fragment in corpus.generate(3000).text


@pytest.mark.parametrize(
    "node, document, pint",
    [
        # A unit annotation followed by *, / or ^ would swallow what follows as units.
        (BinOp("*", Qty("3", "kN"), Ref(A, False)), "(3 kN) * a_1", "((3 kN) * a_1)"),
        (BinOp("*", BinOp("*", Ref(A, False), Qty("2", "m")), Ref(B, False)),
         "(a_1 * 2 m) * b_2", "((a_1 * (2 m)) * b_2)"),
        (BinOp("^", Qty("2", "m"), Num("2")), "(2 m) ^ 2", "((2 m) ** 2)"),
        (BinOp("*", Qty("3", "m"), Num("1")), "(3 m) * 1", "((3 m) * 1)"),
        (BinOp("/", Qty("3", "m"), Call("sqrt", (Ref(A, False),))), "(3 m) / sqrt(a_1)",
         "((3 m) / _f0)"),
        (BinOp("^", Ref(A, False), Qty("2", "m")), "a_1 ^ (2 m)", "(a_1 ** (2 m))"),
        # Before a number, after an operator or in a sum an annotation needs no parentheses;
        # pint always does, as it reads 3 m / 2 s as 3 m / 2 * s.
        (BinOp("*", Qty("3", "m"), Num("12.5")), "3 m * 12.5", "((3 m) * 12.5)"),
        (BinOp("/", Qty("3", "m"), Qty("2", "s")), "3 m / 2 s", "((3 m) / (2 s))"),
        (BinOp("+", Qty("3", "m"), Ref(A, False)), "3 m + a_1", "((3 m) + a_1)"),
        (Qty("2", "km/hour"), "2 km/hour", "(2 km/hour)"),
        (Qty("5", "hz"), "5 hz", "(5 Hz)"),
        # Grouping follows precedence and left associativity.
        (BinOp("*", BinOp("+", Ref(A, False), Ref(B, False)), Ref(C, False)),
         "(a_1 + b_2) * c_3", "((a_1 + b_2) * c_3)"),
        (BinOp("-", Ref(A, False), BinOp("-", Ref(B, False), Ref(C, False))),
         "a_1 - (b_2 - c_3)", "(a_1 - (b_2 - c_3))"),
        (BinOp("-", BinOp("-", Ref(A, False), Ref(B, False)), Ref(C, False)),
         "a_1 - b_2 - c_3", "((a_1 - b_2) - c_3)"),
        (BinOp("+", Ref(A, False), BinOp("*", Ref(B, False), Ref(C, False))),
         "a_1 + b_2 * c_3", "(a_1 + (b_2 * c_3))"),
        (BinOp("^", BinOp("*", Ref(A, False), Ref(B, False)), Num("2")),
         "(a_1 * b_2) ^ 2", "((a_1 * b_2) ** 2)"),
    ],
)  # fmt: skip
def test_rendering_keeps_the_meaning_of_the_tree(node, document, pint):
    assert to_document(node)[0] == document
    assert to_pint(node, set(), []) == pint


def test_alias_short_names_and_calls_render_on_both_sides():
    aliased = var("\\sigma_{4}", short="sig_4")
    node = Call("max", (Ref(aliased, True), Ref(aliased, False), Qty("2", "m")))
    assert to_document(node)[0] == "max(sig_4, \\sigma_{4}, 2 m)"
    refs, calls = set(), []
    assert to_pint(node, refs, calls) == "_f0"
    assert refs == set()
    assert calls == [
        corpus.PintCall("_f0", "max", (("sigma_4", ("sigma_4",)),) * 2 + (("(2 m)", ()),))
    ]


def test_pint_peer_prints_every_printed_value():
    pytest.importorskip("pint")
    import pint_peer

    doc = corpus.generate(400, seed=11)
    shown = pint_peer.PintPeer().run(doc.steps)
    assert len(shown) == doc.printed > 0
    assert all("\\mathrm" in text or text[0].isdigit() or text[0] == "-" for text in shown)


@pytest.mark.parametrize("seed", [1, 2, 3])
def test_generated_document_renders_every_statement(seed):
    mensurator_py = pytest.importorskip("mensurator_py")
    doc = corpus.generate(200, seed=seed)
    output = mensurator_py.run_mensurator(doc.text)
    assert output.endswith("\\end{document}")
    # One math line, closed by "$\\" and a line feed, per definition or printed value: a
    # statement the engine did not take (a line it reads only partly silently ends the
    # document) would leave lines missing.
    assert output.count("$\\\\\n") == len(doc.steps)


def test_readme_example_renders_its_three_math_lines():
    mensurator_py = pytest.importorskip("mensurator_py")
    assert corpus.README_EXAMPLE.count("\n") == 4
    output = mensurator_py.run_mensurator(corpus.README_EXAMPLE)
    assert output.count("$\\\\\n") == 3
