"""The HTML report: one MathML element per math line, a page that parses, makes no request and
shows every piece of the document, also where the converter cannot help."""

import html.parser
import re
import subprocess
import sys

import mensurator
import pytest
from conftest import corpus
from mensurator._html import report as html_report
from mensurator._pieces import MATH, pieces

VOID_ELEMENTS = {"meta", "link", "br", "hr", "img", "input"}
# Attributes through which a page can fetch or navigate to something.
FETCHING_ATTRIBUTES = {"src", "href", "srcset", "action", "formaction", "poster", "data", "xmlns"}


class PageStructure(html.parser.HTMLParser):
    """Checks that every element is closed in order and records elements and attributes."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.open = []
        self.elements = []
        self.errors = []
        self.texts = []

    def handle_starttag(self, tag, attrs):
        self.elements.append((tag, dict(attrs), list(self.open)))
        if tag not in VOID_ELEMENTS:
            self.open.append(tag)

    def handle_startendtag(self, tag, attrs):
        self.elements.append((tag, dict(attrs), list(self.open)))

    def handle_endtag(self, tag):
        if not self.open or self.open[-1] != tag:
            self.errors.append(f"</{tag}> closes {self.open[-1:] or 'nothing'}")
        else:
            self.open.pop()

    def handle_data(self, data):
        self.texts.append(data)


def parse(page):
    structure = PageStructure()
    structure.feed(page)
    structure.close()
    assert structure.errors == [] and structure.open == []
    return structure


def result_groups(page):
    return re.findall(r'<mrow class="result">(.*?)</mrow></mrow></math>', page)


@pytest.mark.parametrize("name, text", corpus(), ids=[name for name, _ in corpus()])
def test_every_math_line_becomes_one_math_element_in_a_self_contained_page(name, text):
    document = mensurator.render(text)
    rendering = html_report.page(document.body, name)
    structure = parse(rendering.html)

    assert rendering.unconverted == ()
    maths = [element for element in structure.elements if element[0] == "math"]
    assert len(maths) == len([p for p in pieces(document.body) if p.kind == MATH]) > 0
    assert all(attributes == {"display": "block"} for _, attributes, _ in maths)
    assert not [e for e in structure.elements if FETCHING_ATTRIBUTES & set(e[1])]
    assert "://" not in rendering.html and "url(" not in rendering.html
    assert "default-src 'none'" in rendering.html
    # Values are printed with their units upright, as LaTeX sets \mathrm (inf and NaN aside).
    for group in result_groups(rendering.html):
        if "<mi>i</mi><mi>n</mi>" not in group and "<mi>N</mi>" not in group:
            assert re.findall(r"<mi>[A-Za-z]+</mi>", group) == [], group


def test_results_of_printing_statements_are_marked_and_definitions_are_not():
    body = mensurator.render("l = 6 m\nq = 2 kN/m\nM = q * l^2 / 8 =? kN*m").body
    sheet = html_report.sheet(body).html
    assert len(re.findall('class="calc"', sheet)) == 3
    (result,) = result_groups(sheet + "</math>")  # the last line's closing tags
    assert "<mn>9</mn>" in result and 'mathvariant="normal">k</mi>' in result


HOSTILE_BLOCKS = [
    ("'''<script>alert(1)</script>'''", "&lt;script&gt;alert(1)&lt;/script&gt;"),
    ("'''\\section{<img src=x onerror=alert(1)>}'''", "&lt;img src=x onerror=alert(1)&gt;"),
    ("'''Link $\\href{http://example.org}{y}$'''", None),
    ("'''Amp $a & b$ and $\\text{<b>}$'''", None),
    ("'''$\\unicode{x}$'''", None),
]


@pytest.mark.parametrize("block, escaped", HOSTILE_BLOCKS)
def test_block_text_and_math_never_inject_markup_or_links(block, escaped):
    rendering = html_report.page(mensurator.render(block + "\nx = 1").body, "t")
    structure = parse(rendering.html)
    tags = {tag for tag, _, _ in structure.elements}
    assert not tags & {"script", "img", "a", "b", "iframe"}
    assert not [e for e in structure.elements if FETCHING_ATTRIBUTES & set(e[1])]
    assert "://" not in rendering.html.replace("http://example.org}", "")
    if escaped is not None:
        assert escaped in rendering.html


@pytest.mark.parametrize(
    "document, unconverted",
    [
        ("\\foo = 3 =?", ["\\foo = 3 = 3"]),  # a command unknown to the converter
        ("x_{ = 2", ["x_{ = 2"]),  # the converter would drop what follows the open group
        ("x_{a}} = 2", ["x_{a}} = 2"]),  # ... or show the stray brace as a symbol
        ("'''Let $x^{$ be'''\nx = 1", ["$x^{$"]),
    ],
)
def test_what_the_converter_cannot_handle_is_shown_as_source_and_reported(document, unconverted):
    rendering = html_report.sheet(mensurator.render(document).body)
    assert list(rendering.unconverted) == unconverted
    for latex in unconverted:
        source = latex if latex.startswith("$") else f"${latex}$"
        assert f">{source}</code>" in rendering.html


@pytest.mark.parametrize(
    "block, expected",
    [
        ("\\section*{Loads}", "<h2>Loads</h2>"),
        ("\\subsection{Steel $f_y$}", "<h3>Steel <math"),
        ("\\subsubsection*{Note}", "<h4>Note</h4>"),
        ("a \\emph{b} \\textbf{c}", "<p>a <em>b</em> <strong>c</strong></p>"),
        ("100\\% of \\$5 \\& more~now", "<p>100% of $5 &amp; more&nbsp;now</p>"),
        ("\\begin{center}centred\\end{center}", "<p>centred</p>"),
        ("\\begin{itemize}\\item one\\end{itemize}", "\\begin{itemize}\\item one\\end{itemize}"),
        ("\\section{unclosed", "<p>\\section{unclosed</p>"),
        ("\\textbf{\\{braced\\}}", "<strong>{braced}</strong>"),
        ("one\n\ntwo", "<p>one</p>\n<p>two</p>"),
        ("\\emph{" * 400 + "deep" + "}" * 400, "\\emph{deep}}"),  # too deep: kept as written
    ],
)
def test_block_text_keeps_what_it_does_not_interpret(block, expected):
    body = mensurator.render(f"'''{block}'''").body
    assert expected in html_report.sheet(body).html


def test_line_gaps_become_spacing_and_end_text_lines():
    body = mensurator.render("x = 1\n\n\n'''Note'''\ny = 2").body
    sheet = html_report.sheet(body).html
    assert re.findall(r'class="(calc|gap)"|<p>Note</p>', sheet) == [
        "calc",
        "gap",
        "gap",
        "",
        "calc",
    ]


def test_command_writes_the_page_and_names_unconverted_statements(tmp_path):
    source = tmp_path / "sheet.txt"
    source.write_text("x = 2 m\n\\foo = 3 =?\n", encoding="utf-8")
    output = tmp_path / "sheet.html"
    completed = subprocess.run(
        [sys.executable, "-m", "mensurator", "--html", output, source],
        capture_output=True,
        text=True,
        timeout=60,
        check=False,
    )
    assert completed.returncode == 0 and completed.stdout == ""
    assert completed.stderr.count("warning:") == 1 and "\\foo = 3 = 3" in completed.stderr
    page = output.read_text(encoding="utf-8")
    assert "<title>sheet.txt</title>" in page and page.count("<math") == 1
    assert page == mensurator.render_file(source).to_html("sheet.txt")
