"""The page's render socket against /api/render: the same answers, sent as changes of what the
socket sent before, for texts sent whole or as changes of their lines; and what it refuses."""

import json
import os

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

try:
    from starlette.testclient import TestClient
    from starlette.websockets import WebSocketDisconnect
except (ImportError, RuntimeError) as missing:  # RuntimeError: the client's HTTP package
    if os.environ.get("CI"):
        raise
    pytest.skip(f"the editor's packages are not installed: {missing}", allow_module_level=True)

import mensurator._server.app as app_module  # noqa: E402
from mensurator._server.app import create_app  # noqa: E402
from mensurator._server.changes import change_between  # noqa: E402
from mensurator._server.guard import allowed_hosts  # noqa: E402

PORT = 8765
BASE = f"http://127.0.0.1:{PORT}"
LIMIT = 1 << 16
LINES = st.sampled_from(
    [
        "l = 6 m",
        "q = 12 kN/m",
        "M = q * l^2 / 8 =? kN*m",
        "x = 2 kHz",
        "y = l + q",
        "",
        "'''\\section*{A}",
        "b'''",
        "!digits 1",
        "z = 3 * (",
        "alias l \\ell",
        "check l < 7 m",
    ]
)
TEXTS = st.lists(st.lists(LINES, max_size=8).map("\n".join), min_size=1, max_size=6)


class Page:
    """The page's side: the lists it keeps, changed by every answer in turn."""

    def __init__(self, socket):
        self.socket = socket
        self.sent = None
        self.highlight = []
        self.sheet = []
        self.requests = 0

    def render(self, text, whole=False):
        self.requests += 1
        message = {"page": "p", "request": self.requests}
        lines = text.split("\n")
        if whole or self.sent is None:
            message["text"] = text
        else:
            message["lines"] = change_between(self.sent, lines)
        self.sent = lines
        self.socket.send_text(json.dumps(message))
        return self.answer()

    def answer(self):
        answer = json.loads(self.socket.receive_text())
        if "highlight" in answer:
            start, removed, inserted = answer["highlight"]
            self.highlight[start : start + removed] = inserted
            answer["highlight"] = list(self.highlight)
        if "sheet" in answer:
            start, removed, inserted = answer["sheet"]
            self.sheet[start : start + removed] = inserted
            answer["sheet"] = "\n".join(self.sheet)
        return answer


@pytest.fixture(scope="module")
def client(tmp_path_factory):
    app = create_app(None, allowed_hosts("127.0.0.1", PORT), LIMIT, lambda message: None)
    return TestClient(app, base_url=BASE, headers={"Origin": BASE})


def live(client, origin=BASE):
    headers = {"origin": origin} if origin is not None else {}
    return client.websocket_connect(f"ws://127.0.0.1:{PORT}/api/live", headers=headers)


@pytest.mark.parametrize("inline", [True, False], ids=["inline", "worker"])
@settings(
    max_examples=40, deadline=None, suppress_health_check=[HealthCheck.function_scoped_fixture]
)
@given(texts=TEXTS, whole=st.lists(st.booleans(), min_size=6, max_size=6))
def test_socket_answers_are_the_render_routes_answers(client, monkeypatch, inline, texts, whole):
    monkeypatch.setattr(app_module, "INLINE_RENDER_CHARS", 1 << 20 if inline else 0)
    with live(client) as socket:
        page = Page(socket)
        shown_sheet = None
        for text, send_whole in zip(texts, whole):
            answer = page.render(text, send_whole)
            expected = client.post("/api/render", json={"text": text}).json()
            assert answer.pop("request") == page.requests
            if expected["ok"]:
                shown_sheet = expected["sheet"]
            else:
                # A failed text changes nothing of the sheet: the last good one stays.
                assert page.sheet == (shown_sheet.split("\n") if shown_sheet is not None else [])
            assert {**answer, "sheet": None} == {**expected, "sheet": None}
            assert answer.get("sheet") == expected.get("sheet")


def test_a_keystroke_sends_only_what_changed(client):
    text = "\n".join(f"x_{{{n}}} = {n + 1} m" for n in range(200))
    with live(client) as socket:
        page = Page(socket)
        page.render(text)
        page.socket.send_text(
            json.dumps({"page": "p", "request": 2, "lines": [7, 1, ["x_{7} = 9 m"]]})
        )
        raw = page.socket.receive_text()
        assert len(raw) < 2000
        answer = json.loads(raw)
        assert answer["highlight"][:2] == [7, 1] and len(answer["highlight"][2]) == 1
        assert answer["sheet"][1] == 1 and len(answer["sheet"][2]) == 1 and "<mn>9</mn>" in raw


TOO_LARGE = "x = 1 m\n" * (LIMIT // 8 + 1)


@pytest.mark.parametrize(
    "message, says",
    [
        ("{", "not JSON"),
        ('["text"]', "JSON object"),
        ('{"lines": [0, 5, []]}', "does not fit"),
        ('{"lines": [0, 0, [1]]}', "does not fit"),
        ('{"lines": [-1, 0, []]}', "does not fit"),
        ('{"lines": "x"}', '"text" or "lines"'),
        ('{"text": "\\ud800"}', "unpaired surrogate"),
        (json.dumps({"text": TOO_LARGE}), "up to 65536 bytes"),
    ],
    ids=["json", "array", "past-end", "not-text", "negative", "no-list", "surrogate", "large"],
)
def test_bad_messages_are_refused_and_the_socket_goes_on(client, message, says):
    with live(client) as socket:
        page = Page(socket)
        page.render("a = 1 m")
        socket.send_text(message)
        refused = json.loads(socket.receive_text())
        assert refused["ok"] is False and says in refused["refused"]
        # A refused text still stands for the next change, as the page counts it sent; a
        # change that does not fit leaves the lines as they were.
        if message.startswith('{"text"'):
            page.sent = json.loads(message)["text"].split("\n")
        assert page.render("a = 2 m")["ok"]
        assert "<mn>2</mn>" in "".join(page.sheet)


def test_a_binary_message_is_refused_and_the_socket_goes_on(client):
    with live(client) as socket:
        page = Page(socket)
        socket.send_bytes(b'{"text": "a = 1 m"}')
        assert "text messages" in json.loads(socket.receive_text())["refused"]
        assert page.render("a = 2 m")["ok"]


@pytest.mark.parametrize("origin", [None, "http://evil.example", "null"])
def test_sockets_from_another_origin_are_refused_before_a_message(client, origin):
    bare = TestClient(client.app, base_url=BASE)  # no Origin unless the socket names one
    with pytest.raises(WebSocketDisconnect) as refused:
        with live(bare, origin):
            pass
    assert refused.value.code == 1008
