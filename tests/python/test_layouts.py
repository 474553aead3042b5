"""The one reading of the engine's body (math lines, gaps, block text) and the layouts built on
it: aligned display math, the print layout of PDFs and block text in the HTML report."""

import re

import mensurator
import mensurator_py
import pytest
from conftest import corpus
from hypothesis import given, settings
from hypothesis import strategies as st
from mensurator import _display as display
from mensurator._html import report
from mensurator._pieces import BLOCK, GAP, MATH, pieces

MATH_LINE = re.compile(r"\$([^$\n]*)\$\\\\\n")
# Texts made of the characters that the pieces are written with.
PIECE_TEXTS = st.lists(st.sampled_from(["$", "\\", "\n", "x", "=", " ", "\\leavevmode"])).map(
    "".join
)


@settings(max_examples=500, deadline=None)
@given(PIECE_TEXTS)
def test_pieces_give_the_text_back_and_never_two_blocks_in_a_row(text):
    found = list(pieces(text))
    assert "".join(piece.source for piece in found) == text
    assert all(piece.source for piece in found)
    kinds = [piece.kind for piece in found]
    assert all((a, b) != (BLOCK, BLOCK) for a, b in zip(kinds, kinds[1:]))
    for piece in found:
        if piece.kind == MATH:
            assert piece.source == f"${piece.math}$\\\\\n" and "$" not in piece.math
        elif piece.kind == GAP:
            assert piece.source in ("\\\\", "\\leavevmode\\\\")


@pytest.mark.parametrize("name, text", corpus()[:40], ids=[name for name, _ in corpus()[:40]])
def test_math_pieces_are_the_engines_math_lines(name, text):
    latex = mensurator_py.run_mensurator(text)
    math = [piece.math for piece in pieces(latex) if piece.kind == MATH]
    assert math == MATH_LINE.findall(latex)


def test_print_layout_drops_only_the_break_under_a_heading():
    text = (
        "'''\\section*{Loads}'''\nq = 2 m\n\n'''Some text'''\nx = 1\n'''\\subsection{B} '''\ny = 2"
    )
    latex = mensurator.render(text).latex
    printed = display.print_layout(latex)
    assert "\\section*{Loads}$q" in printed and "\\subsection{B} $y" in printed
    assert "Some text\\leavevmode\\\\$x" in printed
    # Nothing else changes: the two dropped breaks are all that is missing.
    assert len(latex) - len(printed) == 2 * len("\\leavevmode\\\\")
    assert display.print_layout(printed) == printed


def test_to_pdf_compiles_the_print_layout(monkeypatch, tmp_path):
    compiled = []
    monkeypatch.setattr("mensurator._pdf.write_pdf", lambda latex, path, time_limit: compiled.append(latex))
    document = mensurator.render("'''\\section{A}'''\nx = 1")
    document.to_pdf(tmp_path / "out.pdf")
    assert compiled == [display.print_layout(document.latex)]


def test_display_rows_align_on_the_first_top_level_equals_sign():
    assert display.aligned_row("x_{a=b} = 2 = 2") == "x_{a=b} &= 2 = 2"
    assert display.aligned_row("\\frac{a}{b}") == "\\frac{a}{b}"


def test_html_block_text_sets_spacing_commands_and_dashes():
    body = mensurator.render("'''Loss 4\\,\\% in 2020--2024 --- about\\ 3~m'''\nx = 1").body
    sheet = report.sheet(body).html
    assert "Loss 4&thinsp;% in 2020&ndash;2024 &mdash; about 3&nbsp;m" in sheet
    assert "\\," not in sheet and "--" not in sheet
