"""The live editor's keystroke round trip against the render it waits for, as one ratio.

A real ``mensurator serve`` process is started on a free port, and a 50-line document is sent
to ``/api/render`` over one kept-open connection, as the editor's page does after a pause in
typing; each keystroke changes one line. The same renders are timed in this process (the
engine and the HTML sheet, what the server does for a render), interleaved with the requests,
so that load on the machine falls on both alike. The medians count: a round trip that waits
for a network timer shows in every request, not only in the worst.
"""

from __future__ import annotations

import http.client
import json
import re
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path
from typing import Callable

LINES = 50
STARTED = re.compile(r"at http://127\.0\.0\.1:(\d+)/")


def document(keystroke: int) -> str:
    """A 50-line document, the line the author is typing in changed at every keystroke."""
    lines = [f"x_{{{n}}} = {n + 1} m" for n in range(LINES - 2)]
    lines[keystroke % len(lines)] = f"x_{{{keystroke % len(lines)}}} = {keystroke + 0.5} m"
    lines += ["A = x_{1} * x_{2} =? m^2", "V = A * x_{3} =? cm^3"]
    return "\n".join(lines)


def start_server(directory: str) -> tuple[subprocess.Popen[str], int]:
    path = Path(directory, "sheet.txt")
    path.write_text(document(0) + "\n", encoding="utf-8")
    command = [sys.executable, "-m", "mensurator", "serve", str(path), "--port", "0"]
    process = subprocess.Popen(command, stderr=subprocess.PIPE, text=True)
    assert process.stderr is not None
    for line in process.stderr:
        started = STARTED.search(line)
        if started:
            return process, int(started.group(1))
    process.wait()
    raise RuntimeError(f"mensurator serve did not start (exit status {process.returncode})")


def renderer() -> Callable[[str], None]:
    from mensurator._html import report
    from mensurator._server.app import render_source

    def render(text: str) -> None:
        report.sheet(render_source(text).body)

    return render


def measure_round_trip(keystrokes: int = 200) -> dict:
    render = renderer()
    with tempfile.TemporaryDirectory(prefix="mensurator-bench-") as directory:
        process, port = start_server(directory)
        try:
            connection = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
            origin = f"http://127.0.0.1:{port}"
            headers = {"Content-Type": "application/json", "Origin": origin}

            def request(text: str) -> None:
                body = json.dumps({"text": text, "page": "bench"})
                connection.request("POST", "/api/render", body=body, headers=headers)
                response = connection.getresponse()
                if response.status != 200 or not json.loads(response.read())["ok"]:
                    raise RuntimeError(f"render failed with status {response.status}")

            request(document(0))  # the first render fills the caches of both processes
            render(document(0))
            trips, renders = [], []
            for keystroke in range(1, keystrokes + 1):
                text = document(keystroke)
                start = time.perf_counter()
                request(text)
                trips.append(time.perf_counter() - start)
                start = time.perf_counter()
                render(text)
                renders.append(time.perf_counter() - start)
            connection.close()
        finally:
            process.terminate()
            process.wait(timeout=30)
    trip, rendered = statistics.median(trips), statistics.median(renders)
    return {
        "lines": LINES,
        "keystrokes": keystrokes,
        "round_trip_s": trip,
        "render_s": rendered,
        "ratio": trip / rendered,
    }


if __name__ == "__main__":
    print(json.dumps(measure_round_trip(), indent=2))
