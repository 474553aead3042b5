"""What the live editor's page spends showing a new sheet after an edit of one line, in a real
browser (headless Chromium, driven by Selenium): the preview patched in place, as the page
does, against the preview's whole HTML replaced, as it did before. Each update is timed with
the layout it forces, since the author sees the sheet only once it is laid out.

A real ``mensurator serve`` process serves the page and renders both sheets; the page's own
``showSheet`` patches. Without Chromium, chromedriver or Selenium the measurement is skipped.
"""

from __future__ import annotations

import json
import shutil
import sys
import tempfile
from pathlib import Path
from typing import Any

import editor_round_trip

SIZES = (50, 500, 2000)
UPDATES = 20

# In the page: the sheets of the document and of the document with its middle line changed,
# from the server; then the median milliseconds of one update, each way, the two sheets taking
# turns.
TIMED_UPDATES = """
const done = arguments[arguments.length - 1];
const updates = arguments[0];
const text = document.getElementById("source").value;
const lines = text.split("\\n");
const middle = lines.length >> 1;
const edited = [...lines.slice(0, middle), "q_{0} = 7.5 m", ...lines.slice(middle + 1)];
const sheetOf = (text) => fetch("/api/render", {
  method: "POST", headers: {"Content-Type": "application/json"}, body: JSON.stringify({text}),
}).then((response) => response.json()).then((answer) => answer.sheet);
Promise.all([sheetOf(text), sheetOf(edited.join("\\n"))]).then(([one, other]) => {
  const sheets = [one, other];
  const median = (times) => times.sort((a, b) => a - b)[times.length >> 1];
  const timed = (show) => {
    const times = [];
    for (let update = 0; update < updates; update++) {
      const start = performance.now();
      show(sheets[update % 2]);
      preview.offsetHeight; // the layout the update forces
      times.push(performance.now() - start);
    }
    return median(times);
  };
  const whole = timed((sheet) => { preview.innerHTML = sheet; });
  showSheet(one.split("\\n"));
  const patched = timed((sheet) => showSheet(sheet.split("\\n")));
  done({whole, patched});
});
"""


def browser() -> Any:
    """A headless Chromium, or None where it cannot be driven here."""
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
    except ImportError:
        return None
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    driver_path = shutil.which("chromedriver")
    if chromium is None or driver_path is None:
        return None
    options = webdriver.ChromeOptions()
    options.binary_location = chromium
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
        options.add_argument(argument)
    options.add_argument("--window-size=1400,900")
    return webdriver.Chrome(service=Service(executable_path=driver_path), options=options)


def document(lines: int) -> str:
    return (
        "\n".join(f"x_{{{n}}} = {n + 1} m" for n in range(lines - 1)) + "\nA = x_{1} * x_{2} =? m^2"
    )


def shown(driver: Any) -> int:
    count: int = driver.execute_script("return document.querySelectorAll('#preview math').length")
    return count


def measure_preview(sizes: tuple[int, ...] = SIZES, updates: int = UPDATES) -> dict | None:
    """Milliseconds per update, whole and patched, by document size; None without a browser."""
    driver = browser()
    if driver is None:
        return None
    from selenium.webdriver.support.ui import WebDriverWait

    driver.set_script_timeout(120)
    results = {}
    try:
        for size in sizes:
            with tempfile.TemporaryDirectory(prefix="mensurator-bench-") as directory:
                path = Path(directory, "sheet.txt")
                process, port = editor_round_trip.start_server(directory)
                try:
                    path.write_text(document(size) + "\n", encoding="utf-8")
                    driver.get(f"http://127.0.0.1:{port}/")
                    WebDriverWait(driver, 60).until(lambda _, lines=size: shown(driver) == lines)
                    timed = driver.execute_async_script(TIMED_UPDATES, updates)
                finally:
                    process.terminate()
                    process.wait(timeout=30)
            results[size] = {"whole_ms": timed["whole"], "patched_ms": timed["patched"]}
    finally:
        driver.quit()
    return {"updates": updates, "sizes": results}


def summary(measured: dict | None) -> str:
    if measured is None:
        return "editor preview: skipped (no Chromium, chromedriver or Selenium)"
    rows = ", ".join(
        f"{size} lines {row['patched_ms']:.2f} ms (whole: {row['whole_ms']:.2f} ms)"
        for size, row in measured["sizes"].items()
    )
    return f"editor preview, one line edited, median update with its layout: {rows}"


if __name__ == "__main__":
    measured = measure_preview()
    print(json.dumps(measured, indent=2) if measured else summary(measured))
    sys.exit(0)
