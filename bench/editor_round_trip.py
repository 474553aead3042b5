"""The live editor's keystroke round trip against the render it waits for, as one ratio.

A real ``mensurator serve`` process is started on a free port, and a 50-line document is sent
over the page's render socket (``/api/live``), as the editor's page does after a pause in
typing, the first time whole and then as the change of its lines; each keystroke changes one
line, and the answers' changes are applied as the page applies them. The same renders are
timed in this process (the server's own answer: engine, HTML sheet, problems and
highlighting), interleaved with the requests, so that load on the machine falls on both alike.
The medians count: a round trip that waits for a network timer shows in every request, not
only in the worst. The same keystrokes posted to ``/api/render`` over one kept-open HTTP
connection, the page's way without a socket, are reported beside it.
"""

from __future__ import annotations

import http.client
import json
import re
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path
from typing import Callable

from websockets.client import ClientProtocol
from websockets.frames import Frame, Opcode
from websockets.http11 import Response
from websockets.typing import Origin
from websockets.uri import parse_uri

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
            # What the server says later is passed on, so that it never waits for a full pipe.
            passed_on = threading.Thread(
                target=sys.stderr.writelines, args=(process.stderr,), daemon=True
            )
            passed_on.start()
            return process, int(started.group(1))
    process.wait()
    raise RuntimeError(f"mensurator serve did not start (exit status {process.returncode})")


def renderer() -> Callable[[str], None]:
    from mensurator._server.app import render_answer

    def render(text: str) -> None:
        render_answer(text)

    return render


class RenderSocket:
    """The page's side of the render socket: one text message out, one back, per render; the
    answers' changes are applied to the lists they change, as the page does."""

    def __init__(self, port: int) -> None:
        self.stream = socket.create_connection(("127.0.0.1", port))
        self.stream.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        uri = parse_uri(f"ws://127.0.0.1:{port}/api/live")
        origin = Origin(f"http://127.0.0.1:{port}")
        self.protocol = ClientProtocol(uri, origin=origin, max_size=None)
        self.protocol.send_request(self.protocol.connect())
        self.flush()
        response = self.next_event()
        if not isinstance(response, Response) or response.status_code != 101:
            raise RuntimeError("the server refused the render socket")
        self.lines: list = []
        self.sheet: list = []
        self.sent: list[str] | None = None  # the text's lines as last sent

    def flush(self) -> None:
        for data in self.protocol.data_to_send():
            self.stream.sendall(data)

    def next_event(self) -> object:
        while True:
            for event in self.protocol.events_received():
                return event
            data = self.stream.recv(1 << 20)
            if not data:
                raise RuntimeError("the server closed the render socket")
            self.protocol.receive_data(data)

    def render(self, text: str, number: int) -> dict:
        from mensurator._server.changes import change_between

        lines = text.split("\n")
        message: dict = {"page": "bench", "request": number}
        if self.sent is None:
            message["text"] = text
        else:
            message["lines"] = change_between(self.sent, lines)
        self.sent = lines
        self.protocol.send_text(json.dumps(message).encode())
        self.flush()
        while True:
            event = self.next_event()
            if isinstance(event, Frame) and event.opcode is Opcode.TEXT:
                answer = json.loads(event.data)
                start, removed, inserted = answer["highlight"]
                self.lines[start : start + removed] = inserted
                if "sheet" in answer:
                    start, removed, inserted = answer["sheet"]
                    self.sheet[start : start + removed] = inserted
                return answer

    def close(self) -> None:
        self.stream.close()


def measure_round_trip(keystrokes: int = 200) -> dict:
    render = renderer()
    with tempfile.TemporaryDirectory(prefix="mensurator-bench-") as directory:
        process, port = start_server(directory)
        try:
            connection = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
            origin = f"http://127.0.0.1:{port}"
            headers = {"Content-Type": "application/json", "Origin": origin}
            live = RenderSocket(port)

            def post(text: str) -> None:
                body = json.dumps({"text": text, "page": "bench"})
                connection.request("POST", "/api/render", body=body, headers=headers)
                response = connection.getresponse()
                if response.status != 200 or not json.loads(response.read())["ok"]:
                    raise RuntimeError(f"render failed with status {response.status}")

            def over_socket(text: str, number: int) -> None:
                answer = live.render(text, number)
                if not answer["ok"] or answer["request"] != number:
                    raise RuntimeError(f"render failed: {answer}")

            # The first renders fill the caches of both processes.
            post(document(0))
            over_socket(document(0), 0)
            render(document(0))
            trips, posts, renders = [], [], []
            for keystroke in range(1, keystrokes + 1):
                text = document(keystroke)
                start = time.perf_counter()
                over_socket(text, keystroke)
                trips.append(time.perf_counter() - start)
                start = time.perf_counter()
                render(text)
                renders.append(time.perf_counter() - start)
                start = time.perf_counter()
                post(text)
                posts.append(time.perf_counter() - start)
            live.close()
            connection.close()
        finally:
            process.terminate()
            process.wait(timeout=30)
    trip, rendered = statistics.median(trips), statistics.median(renders)
    posted = statistics.median(posts)
    return {
        "lines": LINES,
        "keystrokes": keystrokes,
        "round_trip_s": trip,
        "render_s": rendered,
        "ratio": trip / rendered,
        "http_round_trip_s": posted,
        "http_ratio": posted / rendered,
    }


if __name__ == "__main__":
    print(json.dumps(measure_round_trip(), indent=2))
