"""The live editor in a real browser: the distribution's headless Chromium, driven by Selenium,
against `mensurator serve` started as a command on 127.0.0.1.

It types a document, waits for the preview, checks a result and its upright unit, types an
unknown unit and checks the marked line, the message and the hint, then fixes it and saves. A
screenshot of the marked error is kept as a test artefact. Without Chromium the test is skipped,
except in CI, where that is a failure.
"""

import contextlib
import json
import os
import queue
import re
import shutil
import subprocess
import sys
import threading
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
ARTIFACTS = Path(os.environ.get("MENSURATOR_TEST_ARTIFACTS", ROOT / "build" / "test-artifacts"))
WAIT_SECONDS = 20
START_LINE = re.compile(r"at (http://127\.0\.0\.1:\d+/)")
BEAM_MATH_LINES = 11


def required(what):
    if os.environ.get("CI"):
        pytest.fail(f"{what} is required in CI; tests/install-deps.sh installs it")
    pytest.skip(f"{what} is not installed")


@pytest.fixture(scope="module")
def browser():
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
    except ImportError:
        required("selenium")
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    driver_path = shutil.which("chromedriver")
    if chromium is None or driver_path is None:
        required("chromium and chromium-driver")
    options = webdriver.ChromeOptions()
    options.binary_location = chromium  # with both paths given, Selenium downloads nothing
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
        options.add_argument(argument)
    options.add_argument("--window-size=1400,900")
    driver = webdriver.Chrome(service=Service(executable_path=driver_path), options=options)
    yield driver
    driver.quit()


@pytest.fixture
def served(tmp_path):
    """`mensurator serve FILE --port 0` on a copy of the beam example: its URL, the file, and
    the lines it prints after the start line."""
    document = tmp_path / "beam.txt"
    # A blank first line: the engine skips it, the editor must keep it.
    document.write_text("\n" + (ROOT / "examples" / "beam.txt").read_text(), encoding="utf-8")
    process = subprocess.Popen(
        [sys.executable, "-m", "mensurator", "serve", str(document), "--port", "0"],
        stdin=subprocess.DEVNULL,
        stdout=subprocess.DEVNULL,
        stderr=subprocess.PIPE,
        text=True,
    )
    lines = queue.Queue()
    threading.Thread(
        target=lambda: [lines.put(line) for line in process.stderr], daemon=True
    ).start()
    try:
        first = lines.get(timeout=WAIT_SECONDS)
        match = START_LINE.search(first)
        assert match, first
        yield match.group(1), document, lines
    finally:
        process.terminate()
        process.wait(timeout=WAIT_SECONDS)


def text_content(driver, selector):
    return [
        element.get_attribute("textContent")
        for element in driver.find_elements("css selector", selector)
    ]


def wait_for(driver, condition, what):
    from selenium.webdriver.support.ui import WebDriverWait

    return WebDriverWait(driver, WAIT_SECONDS).until(lambda _: condition(), message=what)


def slanted_letters(driver, selector):
    """Single letters that the browser draws in italic (MathML's automatic style) there."""
    script = """
        return Array.from(document.querySelectorAll(arguments[0] + ' mi'))
            .filter(mi => mi.textContent.length === 1 && /[A-Za-z]/.test(mi.textContent))
            .filter(mi => getComputedStyle(mi).textTransform === 'math-auto')
            .map(mi => mi.textContent);
    """
    return driver.execute_script(script, selector)


def test_typing_renders_results_and_marks_an_unknown_unit(browser, served):
    from selenium.webdriver.common.keys import Keys

    url, document, printed = served
    browser.get(url)
    source = browser.find_element("id", "source")
    assert source.get_attribute("value") + "\n" == document.read_text(encoding="utf-8")
    wait_for(
        browser, lambda: len(text_content(browser, "#preview math")) == BEAM_MATH_LINES, "beam"
    )
    assert any("75.736MPa" in text.replace("\xa0", "") for text in text_content(browser, ".result"))

    source.send_keys(Keys.CONTROL, "a")
    source.send_keys(Keys.DELETE)
    source.send_keys("F = 3 kN\nA = 4 cm^2\nsigma = F / A =? MPa")
    wait_for(browser, lambda: text_content(browser, ".result") == ["7.500\xa0MPa"], "new result")
    assert slanted_letters(browser, "#preview .result") == []
    assert "F" in slanted_letters(browser, "#preview")  # names stay italic: the check can fail

    source.send_keys("\nf = 50 Hz")
    problem = browser.find_element("id", "problem")
    wait_for(browser, problem.is_displayed, "the error")
    assert problem.text == (
        "Line 4, column 8: Hz is not a variable or a valid unit\nhint: did you mean hz?"
    )
    assert text_content(browser, "#gutter .error") == ["4"]
    assert text_content(browser, "#backdrop .error") == ["f = 50 Hz"]
    assert text_content(browser, "#backdrop mark") == ["Hz"]
    assert text_content(browser, ".result") == ["7.500\xa0MPa"]  # the last good sheet stays
    assert "stale" in browser.find_element("id", "preview").get_attribute("class")
    ARTIFACTS.mkdir(parents=True, exist_ok=True)
    assert browser.save_screenshot(str(ARTIFACTS / "editor-unknown-unit.png"))

    source.send_keys(Keys.BACKSPACE * 2, "hz")
    wait_for(browser, lambda: not problem.is_displayed(), "the error to clear")
    wait_for(browser, lambda: len(text_content(browser, "#preview math")) == 4, "four lines")
    assert text_content(browser, "#gutter .error") == []

    source.send_keys(Keys.CONTROL, "s")
    status = browser.find_element("id", "status")
    wait_for(browser, lambda: status.text == "saved beam.txt", "the save")
    assert document.read_text(encoding="utf-8") == (
        "F = 3 kN\nA = 4 cm^2\nsigma = F / A =? MPa\nf = 50 hz\n"
    )
    assert not list(document.parent.glob(".*"))  # no temporary file left beside it
    # Only the start line: typing, document errors and saves print nothing.
    assert printed.empty()


def test_a_keystroke_in_a_long_document_redraws_only_its_line(browser, served):
    url, document, printed = served
    document.write_text("\n".join(f"x_{{{n}}} = {n}" for n in range(400)), encoding="utf-8")
    browser.get(url)  # the page reads FILE on every load
    wait_for(browser, lambda: len(text_content(browser, "#preview math")) == 400, "the sheet")
    browser.execute_script(
        """
        window.addedNodes = 0;
        new MutationObserver(records => {
            for (const record of records) window.addedNodes += record.addedNodes.length;
        }).observe(document.getElementById('backdrop'), {childList: true, subtree: true});
        new MutationObserver(records => {
            for (const record of records) window.addedNodes += record.addedNodes.length;
        }).observe(document.getElementById('gutter'), {childList: true, subtree: true});
        const source = document.getElementById('source');
        source.focus();
        source.setSelectionRange(source.value.length, source.value.length);
        """
    )

    def shadows():  # read in one step: the lines are replaced while the test reads them
        script = "return [...document.querySelectorAll('#backdrop > div')].map(d => d.textContent)"
        return browser.execute_script(script)

    source = browser.find_element("id", "source")
    source.send_keys("0")
    wait_for(browser, lambda: shadows()[-1] == "x_{399} = 3990", "typed")
    source.send_keys("\nHz")  # a new line, and an error on it
    problem = browser.find_element("id", "problem")
    wait_for(browser, problem.is_displayed, "the error")
    assert text_content(browser, "#gutter .error") == ["401"]
    assert shadows()[-2:] == ["x_{399} = 3990", "Hz"] and len(shadows()) == 401
    # One changed line per key, a new number and line for the line end, the marked line.
    assert browser.execute_script("return window.addedNodes") < 20


def test_every_error_and_warning_is_marked_at_its_columns(browser, served):
    from selenium.webdriver.common.keys import Keys

    url, document, printed = served
    document.write_text("L = 6 m\nq = 2 kN/m * L =?\nf = 50 Hz\ng = 2 qq + L", encoding="utf-8")
    browser.get(url)
    problem = browser.find_element("id", "problem")
    wait_for(browser, lambda: len(text_content(browser, "#problem > div")) == 3, "the problems")

    def marks():
        script = """return [...document.querySelectorAll('#backdrop mark')]
            .map(mark => [mark.className, mark.textContent])"""
        return browser.execute_script(script)

    assert marks() == [["at-warning", "L"], ["at-error", "Hz"], ["at-error", "qq"]]
    assert text_content(browser, "#gutter .warning") == ["2"]
    assert text_content(browser, "#gutter .error") == ["3", "4"]
    lines = problem.text.split("\n")
    assert lines[0] == "Line 3, column 8: Hz is not a variable or a valid unit"
    assert lines[1] == "hint: did you mean hz?"
    assert lines[2].startswith("Line 2, column 14: warning: L in the unit annotation")
    assert lines[3] == "Line 4, column 7: qq is not a variable or a valid unit"
    assert browser.find_element("id", "status").text == "2 errors: the last good sheet is shown"

    # Without the errors the sheet renders, and the warning stays listed and marked.
    source = browser.find_element("id", "source")
    source.send_keys(Keys.CONTROL, Keys.END)
    source.send_keys(Keys.SHIFT, Keys.UP, Keys.UP, Keys.END)
    source.send_keys(Keys.DELETE)
    wait_for(browser, lambda: len(text_content(browser, "#preview math")) == 2, "the sheet")
    wait_for(browser, lambda: marks() == [["at-warning", "L"]], "the warning alone")
    assert problem.is_displayed() and problem.text.startswith("Line 2, column 14: warning:")
    assert "stale" not in browser.find_element("id", "preview").get_attribute("class")
    assert text_content(browser, "#gutter .error") == []
    assert browser.find_element("id", "status").text == "rendered; 1 warning"
    assert printed.empty()


def test_a_keystroke_redraws_no_marked_line_that_it_does_not_move(browser, served):
    url, document, printed = served
    shadowing = [f"q_{{{n}}} = 2 kN/m * L" for n in range(300)]
    document.write_text("\n".join(["L = 6 m", *shadowing]), encoding="utf-8")
    browser.get(url)
    wait_for(browser, lambda: len(text_content(browser, "#gutter .warning")) == 300, "warnings")
    # A key at the end, and the nodes its input event adds at once (the render comes later).
    added = browser.execute_script(
        """
        let added = 0;
        const observer = new MutationObserver(records => {
            for (const record of records) added += record.addedNodes.length;
        });
        observer.observe(document.getElementById('backdrop'), {childList: true, subtree: true});
        const source = document.getElementById('source');
        source.value += ' ';
        source.dispatchEvent(new Event('input'));
        added += observer.takeRecords().reduce((sum, record) => sum + record.addedNodes.length, 0);
        observer.disconnect();
        return added;
        """
    )
    assert text_content(browser, "#backdrop > div:last-child") == ["q_{299} = 2 kN/m * L "]
    assert 0 < added < 20  # the changed line with its mark, not the 299 others


def test_the_text_is_highlighted_as_the_lexer_reads_it(browser, served):
    from selenium.webdriver.common.keys import Keys

    url, document, printed = served
    browser.get(url)

    def pieces(kind):
        return text_content(browser, f"#highlight span.{kind}")

    wait_for(browser, lambda: "kN" in pieces("kt"), "the highlighting")
    assert {"l", "q", "M_{max}"} <= set(pieces("nv"))  # defined names
    assert {"m", "kN", "MPa", "cm"} <= set(pieces("kt"))  # units
    assert pieces("k") == ["alias", "alias", "alias"]
    # Drawn under the text line for line: what is highlighted is what the author typed.
    source = browser.find_element("id", "source")
    script = "return [...document.querySelectorAll('#highlight > div')].map(d => d.textContent)"
    assert browser.execute_script(script) == source.get_attribute("value").split("\n")

    source.send_keys(Keys.CONTROL, Keys.END)
    source.send_keys("\nf = 50 Hz")
    wait_for(browser, lambda: "Hz" in pieces("kt"), "the new line highlighted")
    wait_for(browser, lambda: text_content(browser, "#backdrop mark") == ["Hz"], "the mark")
    assert source.value_of_css_property("color") == "rgba(0, 0, 0, 0)"  # the layer shows it
    assert printed.empty()


def save_elsewhere(document, text):
    """Another editor's save: a new file renamed over the old one."""
    replacement = document.with_name(f".{document.name}.other")
    replacement.write_text(text, encoding="utf-8")
    os.replace(replacement, document)


def test_a_change_on_disk_reloads_a_page_without_unsaved_edits(browser, served):
    url, document, printed = served
    browser.get(url)
    source = browser.find_element("id", "source")
    status = browser.find_element("id", "status")
    wait_for(browser, lambda: len(text_content(browser, "#preview math")) == BEAM_MATH_LINES, "")
    save_elsewhere(document, "x = 2 m\ny = x * 3 =?\n")
    wait_for(browser, lambda: source.get_attribute("value") == "x = 2 m\ny = x * 3 =?", "reload")
    wait_for(browser, lambda: len(text_content(browser, "#preview math")) == 2, "its sheet")
    notice = browser.find_element("id", "notice")
    assert notice.text.startswith("Reloaded beam.txt: it changed on disk.")
    notice.find_element("tag name", "button").click()
    assert not notice.is_displayed()
    assert "dirty" not in status.get_attribute("class")


def test_a_change_on_disk_next_to_unsaved_edits_loses_neither(browser, served):
    from selenium.webdriver.common.keys import Keys

    url, document, printed = served
    browser.get(url)
    source = browser.find_element("id", "source")
    notice = browser.find_element("id", "notice")
    wait_for(browser, lambda: len(text_content(browser, "#preview math")) == BEAM_MATH_LINES, "")
    source.send_keys(Keys.CONTROL, Keys.END)
    source.send_keys("\nmine = 1")
    mine = source.get_attribute("value")

    def button(label):
        return notice.find_element("xpath", f'.//button[text()="{label}"]')

    save_elsewhere(document, "theirs = 2\n")
    wait_for(browser, notice.is_displayed, "the notice")
    assert notice.text.startswith("beam.txt has changed on disk, and the text here has unsaved")
    assert source.get_attribute("value") == mine  # nothing is replaced without asking
    button("Show the file's version").click()
    assert source.get_attribute("value") == "theirs = 2"
    button("Back to my edits").click()
    assert source.get_attribute("value") == mine
    button("Keep my edits").click()
    assert not notice.is_displayed()

    # The file on disk is newer than the text's base: saving asks first.
    source.send_keys(Keys.CONTROL, "s")
    wait_for(browser, notice.is_displayed, "the question before overwriting")
    assert "has changed on disk since it was loaded" in notice.text
    assert document.read_text(encoding="utf-8") == "theirs = 2\n"
    button("Overwrite the file").click()
    # (The status may already tell of a render that the switches between versions started.)
    wait_for(browser, lambda: document.read_text(encoding="utf-8") == mine + "\n", "the save")
    wait_for(browser, lambda: not notice.is_displayed(), "the notice to close")
    # The page's own save is no change on disk to it: it stays quiet and saves plainly again.
    source.send_keys("0")
    source.send_keys(Keys.CONTROL, "s")
    wait_for(browser, lambda: document.read_text(encoding="utf-8") == mine + "0\n", "resave")
    assert not notice.is_displayed(), notice.text
    assert printed.empty()


def sheet_math(driver):
    """The text of every math line of the preview, read in one step: a render replaces them."""
    script = "return [...document.querySelectorAll('#preview math')].map(m => m.textContent)"
    return driver.execute_script(script)


def posted_renders(driver):
    script = """return performance.getEntriesByType('resource')
        .filter(entry => entry.name.endsWith('/api/render')).length"""
    return driver.execute_script(script)


@contextlib.contextmanager
def websockets_unless(driver, sockets):
    """Pages loaded inside have WebSocket only when ``sockets``: a browser or proxy without it
    must not keep the page from working."""
    if sockets:
        yield
        return
    hidden = driver.execute_cdp_cmd(
        "Page.addScriptToEvaluateOnNewDocument", {"source": "delete window.WebSocket;"}
    )
    try:
        yield
    finally:
        driver.execute_cdp_cmd(
            "Page.removeScriptToEvaluateOnNewDocument", {"identifier": hidden["identifier"]}
        )


@pytest.mark.parametrize("sockets", [True, False], ids=["socket", "without-sockets"])
def test_renders_go_over_the_socket_and_over_http_without_one(browser, served, sockets):
    url, document, printed = served
    document.write_text("\n".join(f"x_{{{n}}} = {n}" for n in range(300)), encoding="utf-8")
    with websockets_unless(browser, sockets):
        browser.get(url)
        wait_for(browser, lambda: len(sheet_math(browser)) == 300, "the sheet")
        before = posted_renders(browser)
        source = browser.find_element("id", "source")
        # Typed at the end, one render per pause: the last line changes, then a line is added.
        browser.execute_script("arguments[0].setSelectionRange(1e9, 1e9)", source)
        source.send_keys("0")
        wait_for(browser, lambda: sheet_math(browser)[-1].endswith("=2990"), "the changed line")
        source.send_keys("\ny = x_{1} * 2 =?")
        wait_for(browser, lambda: len(sheet_math(browser)) == 301, "the new line")
        assert sheet_math(browser)[-1].endswith("=2")
        # Over the socket no render is posted; without one, each pause posts one.
        posted = posted_renders(browser) - before
        assert posted == 0 if sockets else posted >= 2
        assert browser.find_element("id", "status").text == "rendered"


# Marks every element of the preview's sheet as seen, so that a later look tells the elements
# kept from those made anew.
MARK_SHEET = (
    "for (const kept of document.querySelectorAll('#preview article > *')) kept.seen = true;"
)
SEEN_LINES = """return [...document.querySelectorAll('#preview article > *')]
    .map(shown => shown.seen === true)"""
# Whether the preview is the very tree that the server's sheet for the current text parses to.
PREVIEW_IS_SHEET = """const done = arguments[arguments.length - 1];
fetch('/api/render', {method: 'POST', headers: {'Content-Type': 'application/json'},
                      body: JSON.stringify({text: document.getElementById('source').value})})
  .then(response => response.json())
  .then(answer => {
    const fresh = document.createElement('section');
    fresh.innerHTML = answer.sheet;
    done(fresh.firstChild.isEqualNode(document.querySelector('#preview').firstChild));
  });"""


def edit_text(driver, change):
    """The editor's text changed by the JavaScript expression ``change`` of its lines, as an
    author's edit: the page hears of it as of typing."""
    driver.execute_script(
        f"""const source = document.getElementById('source');
        const lines = source.value.split('\\n');
        source.value = ({change}).join('\\n');
        source.dispatchEvent(new Event('input'));"""
    )


@pytest.mark.parametrize("sockets", [True, False], ids=["socket", "without-sockets"])
def test_an_edit_replaces_only_the_changed_lines_of_the_preview(browser, served, sockets):
    url, document, printed = served
    document.write_text("\n".join(f"x_{{{n}}} = {n} m" for n in range(40)), encoding="utf-8")

    def edited(change, math_lines, what):
        browser.execute_script(MARK_SHEET)
        edit_text(browser, change)
        wait_for(browser, lambda: len(sheet_math(browser)) == math_lines, what)
        wait_for(browser, lambda: browser.find_element("id", "status").text == "rendered", what)
        assert browser.execute_async_script(PREVIEW_IS_SHEET), what
        return browser.execute_script(SEEN_LINES)

    with websockets_unless(browser, sockets):
        browser.get(url)
        wait_for(browser, lambda: len(sheet_math(browser)) == 40, "the sheet")
        seen = edited("lines.map((line, at) => at === 20 ? 'x_{20} = 7 m' : line)", 40, "one")
        assert seen == [at != 20 for at in range(40)]
        seen = edited("[...lines.slice(0, 5), ...lines.slice(8)]", 37, "three lines removed")
        assert all(seen)
        seen = edited(
            "[...lines.slice(0, 2), 'a = 1 s', 'b = a * 2 =? s', ...lines.slice(2)]", 39, "two new"
        )
        assert seen == [at not in (2, 3) for at in range(39)]
        # A failed document keeps its last good sheet; the next good one changes what differs.
        edit_text(browser, "[...lines, 'c = 1 blorp']")
        wait_for(browser, lambda: "error" in browser.find_element("id", "status").text, "fails")
        seen = edited("[...lines.slice(0, -1), 'c = 2 s']", 40, "fixed")
        assert seen == [at != 39 for at in range(40)]
        # The run between the first and the last changed line is made anew, and the preview
        # is still the server's sheet.
        seen = edited("lines.map(line => line.replace(' m', ' cm'))", 40, "every length")
        assert seen == [at == 39 for at in range(40)]
        # Headings, paragraphs and gaps between the math lines are elements of their lines too.
        blocks = json.dumps(["'''\\section*{Loads}", "The load \\(q\\) is uniform.'''"])
        edited(f"[...{blocks}, ...lines.slice(0, 3), '', ...lines.slice(3)]", 40, "text blocks")
        seen = edited("lines.map(line => line.replace('x_{1} =', 'x_{1} = 2 *'))", 40, "x_1")
        assert seen.count(False) == 1 and len(seen) > 41


def test_a_document_of_many_lines_opens_and_renders(browser, served):
    """More lines than one call takes as arguments, and too many for any step that walks the
    panes' children by index: the page opens, numbers the lines and renders."""
    url, document, printed = served
    document.write_text("a = 2 m" + "\n" * 200_000 + "b = a * 3 =? m\n", encoding="utf-8")
    browser.get(url)
    wait_for(browser, lambda: len(sheet_math(browser)) == 2, "the sheet")
    assert sheet_math(browser)[-1] == "b=a\u00d73=6\u00a0m"
