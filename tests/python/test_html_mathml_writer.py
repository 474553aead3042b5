"""The MathML the engine writes for its own math lines, against the converter it replaces on
the report's hot path: the same markup wherever the engine writes any, on every example, on
generated documents and on random LaTeX made of the pieces the engine writes."""

import sys
from pathlib import Path

from conftest import corpus
from hypothesis import given, settings
from hypothesis import strategies as st
from mensurator import _engine
from mensurator._html.mathml import to_mathml
from mensurator._pieces import MATH, pieces
from mensurator_py import run_mensurator

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tools"))

import documents  # noqa: E402

GENERATED, SEED = 1_000, 25


def converted(latex):
    return to_mathml(latex, display=True, mark_result=True)


def math_lines(texts):
    for text in texts:
        try:
            body = run_mensurator(text)
        except Exception:  # a document with an error has no math lines to show
            continue
        yield from (piece.math for piece in pieces(body) if piece.kind == MATH)


def test_written_markup_is_the_converters_on_examples_and_generated_documents():
    texts = [text for _, text in corpus()]
    texts += [text for _, text in documents.documents(GENERATED, SEED)]
    lines = list(math_lines(texts))
    written = {latex: _engine.display_mathml(latex) for latex in lines}
    differing = [
        latex
        for latex, mathml in written.items()
        if mathml is not None and mathml != converted(latex)
    ]
    assert differing == []
    # What the engine leaves to the converter is rare: aliases to unknown commands, mutations.
    left = [latex for latex in lines if written[latex] is None]
    assert len(lines) > 3_000 and len(left) < len(lines) // 100, left[:5]


PIECES = (
    "x", "V", "q", "1", "23", "4.5", "=", " = ", "+", "-", ",", "/", "(", ")", "{", "}", "^",
    "_", "\\ ", "\\,", "\\mathrm{", "\\mathrm{m}", "\\mathrm", "\\frac", "\\frac{", "\\times",
    "\\cdot", "\\pi", "\\Delta", "\\ell", "\\omega", "\\pia", "\\", " ", "\t", ".", "'", "0",
)  # fmt: skip


@settings(max_examples=3_000, deadline=None)
@given(st.lists(st.sampled_from(PIECES), min_size=1, max_size=16).map("".join))
def test_random_latex_is_written_as_the_converter_would_or_left_to_it(latex):
    mathml = _engine.display_mathml(latex)
    assert mathml is None or mathml == converted(latex)


def test_nesting_and_length_stay_bounded():
    deep = "{" * 10_000 + "x" + "}" * 10_000
    assert _engine.display_mathml(deep) is None  # left to the converter, without a crash
    long_sum = "x = " + "+".join(["1"] * 200_000) + " = 200000"
    assert _engine.display_mathml(long_sum).endswith(
        '<mrow class="result"><mn>200000</mn></mrow></mrow></math>'
    )
