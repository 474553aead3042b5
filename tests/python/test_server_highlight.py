"""The editor's highlighting, lexed segment by segment with a cache, against the lexer run over
the whole text at once."""

from __future__ import annotations

from hypothesis import given, settings
from hypothesis import strategies as st
from mensurator._server.highlight import MAX_EXTENSIONS, highlighted_lines, lexed_lines

# Pieces of lines, LaTeX block marks among them, so that blocks open and close across lines,
# stay open to the end, or sit inside expressions where the marks are plain text.
PIECES = st.sampled_from(
    ["x = 3 m", "'''", "''' a ", "b '''", "alias a \\alpha", "!digits 2", "=? kN", "check",
     "y = x * 2 =?", " ", "\t", "q", "(", "1 / s", "\\sum", "''", "'", "!units extended"]
)
TEXTS = st.lists(st.lists(PIECES, max_size=4).map("".join), max_size=12).map("\n".join)


def whole(text: str) -> list[tuple[tuple[str, str], ...]]:
    return list(lexed_lines(text)[0])


@settings(max_examples=600, deadline=None)
@given(TEXTS, TEXTS)
def test_segments_read_as_the_whole_text_does(first, second):
    # The second text reuses the segments the first left in the cache, as a keystroke does.
    assert highlighted_lines(first) == whole(first)
    assert highlighted_lines(second) == whole(second)
    assert highlighted_lines(first + "\n" + second) == whole(first + "\n" + second)


def test_blocks_that_run_on_and_chains_of_open_blocks():
    texts = [
        "x = 1\n'''\\section*{A}\nline two\n''' y = 2 m\nz = y =?",
        "''' never closed\nx = 1 m\n",
        "x = '''\n'''\nq = 2",
        "".join(f"''' {n}\n''' '''\n" for n in range(MAX_EXTENSIONS + 3)) + "x = 1",
    ]
    for text in texts:
        for variant in (text, text + "\n", "\n" + text):
            assert highlighted_lines(variant) == whole(variant)
    # A line that opens a block reads as text where nothing closes it, and as the block's start
    # where a later line does: the reading of the first document must not be kept for the second.
    assert whole("'''a\nb'''") != whole("'''a\n")[:-1] + whole("b'''")
    highlighted_lines("'''a\nx = 1")
    assert highlighted_lines("'''a\nb'''") == whole("'''a\nb'''")
