"""The live editor under requests an attacker or an unlucky author would send: malformed and
oversized bodies, log lines with escape sequences, saves of protected or linked files, heavy
renders and looping PDFs that must not hold up anything else, and port 80. The connection
limits run against a real server in a subprocess."""

import logging
import os
import re
import shutil
import socket
import subprocess
import sys
import threading
import time

import anyio
import pytest

try:
    from starlette.testclient import TestClient
except (ImportError, RuntimeError) as missing:
    if os.environ.get("CI"):
        raise
    pytest.skip(f"the editor's packages are not installed: {missing}", allow_module_level=True)

import mensurator._server.app as app_module  # noqa: E402
from mensurator._document import Document  # noqa: E402
from mensurator._server.app import create_app  # noqa: E402
from mensurator._server.guard import RequestGuard, allowed_hosts  # noqa: E402
from mensurator._server.source_file import SourceFile, SourceFileError  # noqa: E402
from mensurator_py import run_mensurator  # noqa: E402

PORT = 8765
BASE = f"http://127.0.0.1:{PORT}"
LIMIT = 4096
ORIGINAL = b"x = 1 m\n"


@pytest.fixture
def workspace(tmp_path):
    path = tmp_path / "sheet.txt"
    path.write_bytes(ORIGINAL)
    return path


def client_for(path, log=None, max_document=LIMIT, **options):
    app = create_app(
        SourceFile(path) if path is not None else None,
        allowed_hosts("127.0.0.1", PORT),
        max_document,
        (log if log is not None else []).append,
        **options,
    )
    return TestClient(app, base_url=BASE, headers={"Origin": BASE})


def post(client, path, text, **fields):
    return client.post(path, json={"text": text, **fields})


ROUTES = ["/api/render", "/api/save", "/api/export/tex"]


@pytest.mark.parametrize("route", ROUTES)
@pytest.mark.parametrize(
    "body",
    [b"[" * 100_000 + b"]" * 100_000, b'{"text": "x = 1", "n": ' + b"7" * 5000 + b"}"],
    ids=["nested", "long number"],
)
def test_malformed_json_gets_400_before_any_work(workspace, route, body):
    client = client_for(workspace, max_document=1024 * 1024)
    response = client.post(route, content=body)
    assert response.status_code == 400 and response.json()["message"].startswith("the body")
    assert workspace.read_bytes() == ORIGINAL


def test_refusals_are_logged_without_control_characters(workspace):
    log = []
    client = client_for(workspace, log)
    response = client.get("/%1b%5b2J%0d%0aforged%20line%e2%80%ae", headers={"Host": "evil:1"})
    assert response.status_code == 403
    assert len(log) == 1
    assert log[0] == (
        "refused GET /\\x1b[2J\\x0d\\x0aforged line\\u202e: requests for host 'evil:1' are not "
        "served (403)"
    )


def test_the_limit_counts_the_document_not_its_json(workspace):
    client = client_for(workspace)
    newlines = "\n" * LIMIT  # twice as long as JSON
    assert post(client, "/api/save", newlines).status_code == 200
    assert workspace.read_bytes() == newlines.encode() + b"\n"
    too_long = post(client, "/api/save", "\x01" * (LIMIT + 1))
    assert too_long.status_code == 413
    assert too_long.json()["message"] == (
        f"the document is {LIMIT + 1} bytes; the editor handles documents of up to {LIMIT} bytes"
    )
    assert post(client, "/api/render", "é" * (LIMIT // 2 + 1)).status_code == 413


def test_a_file_over_the_limit_is_refused_when_opened(workspace):
    workspace.write_bytes(b"x = 1\n" * LIMIT)
    with pytest.raises(SourceFileError, match=f"up to {LIMIT} bytes"):
        client_for(workspace)
    workspace.write_bytes(ORIGINAL)
    client = client_for(workspace)
    workspace.write_bytes(b"x = 1\n" * LIMIT)  # grown since the start
    page = client.get("/")
    assert page.status_code == 500 and f"up to {LIMIT} bytes" in page.text


def test_serve_refuses_a_file_over_the_limit(tmp_path):
    big = tmp_path / "big.txt"
    big.write_bytes(b"x\n" * 600_000)
    completed = subprocess.run(
        [sys.executable, "-m", "mensurator", "serve", big, "--port", "0"],
        capture_output=True,
        text=True,
        timeout=60,
        check=False,
    )
    assert completed.returncode == 1 and "up to 1048576 bytes" in completed.stderr


def test_a_read_only_file_is_not_saved(workspace):
    workspace.chmod(0o444)
    response = post(client_for(workspace), "/api/save", "x = 2")
    assert response.status_code == 409 and "read-only" in response.json()["message"]
    assert workspace.read_bytes() == ORIGINAL and workspace.stat().st_mode & 0o777 == 0o444


def test_a_save_keeps_hard_links_mode_and_owner(workspace, tmp_path):
    other_name = tmp_path / "other-name.txt"
    os.link(workspace, other_name)
    workspace.chmod(0o620)
    if os.geteuid() == 0:
        os.chown(workspace, 65534, 65534)
    before = workspace.stat()
    assert post(client_for(workspace), "/api/save", "x = 2").status_code == 200
    after = workspace.stat()
    assert other_name.read_bytes() == b"x = 2\n" and after.st_nlink == 2
    kept = (before.st_ino, before.st_uid, before.st_gid)
    assert (after.st_ino, after.st_uid, after.st_gid) == kept
    assert after.st_mode & 0o777 == 0o620


@pytest.mark.skipif(os.geteuid() != 0, reason="only root can give a file to another owner")
def test_a_save_keeps_the_owner_of_a_file_that_is_replaced(workspace):
    os.chown(workspace, 65534, 65534)
    assert post(client_for(workspace), "/api/save", "x = 2").status_code == 200
    assert (workspace.stat().st_uid, workspace.stat().st_gid) == (65534, 65534)
    assert workspace.read_bytes() == b"x = 2\n"


@pytest.fixture
def locked_directory(workspace):
    """The workspace's folder, made so that no file can be created in it."""
    folder = workspace.parent
    if os.geteuid() == 0:
        if shutil.which("chattr") is None:
            pytest.skip("root ignores permissions and chattr is missing")
        locked = subprocess.run(["chattr", "+i", folder], capture_output=True, check=False)
        if locked.returncode != 0:
            pytest.skip("this file system has no immutable directories")
        yield folder
        subprocess.run(["chattr", "-i", folder], check=True)
    else:
        folder.chmod(0o555)
        yield folder
        folder.chmod(0o755)


def test_a_writable_file_in_a_locked_directory_is_saved_in_place(
    workspace, locked_directory, tmp_path_factory, monkeypatch
):
    spare = tmp_path_factory.mktemp("spare")
    monkeypatch.setattr("tempfile.tempdir", str(spare))
    before = workspace.stat().st_ino
    response = post(client_for(workspace), "/api/save", "x = 2")
    assert response.status_code == 200
    assert workspace.read_bytes() == b"x = 2\n" and workspace.stat().st_ino == before
    assert list(spare.iterdir()) == []  # the checked copy of the old text is gone


class Gate:
    """A stand-in for the engine call that holds chosen texts until released."""

    def __init__(self, held):
        self.held = set(held)
        self.entered = threading.Semaphore(0)
        self.release = threading.Event()
        self.rendered = []

    def __call__(self, text):
        # The editor renders its text as a file, with a final line end; the texts are held
        # and recorded as the page sent them.
        text = text.removesuffix("\n")
        self.rendered.append(text)
        if text in self.held:
            self.entered.release()
            assert self.release.wait(30)
        return Document(run_mensurator(text))

    def wait_entered(self, count):
        for _ in range(count):
            assert self.entered.acquire(timeout=10)


def in_thread(function, *args, **options):
    result = {}
    thread = threading.Thread(target=lambda: result.setdefault("value", function(*args, **options)))
    thread.start()
    return thread, result


@pytest.fixture
def one_loop_client(workspace):
    """A client whose requests share one event loop, as a real server's do (otherwise each
    request would get an event loop of its own)."""
    with client_for(workspace) as client:
        yield client


def test_page_load_and_save_never_wait_for_renders(monkeypatch, one_loop_client):
    gate = Gate({"a = 1", "b = 1"})
    monkeypatch.setattr(app_module, "render", gate)
    client = one_loop_client
    renders = [in_thread(post, client, "/api/render", text) for text in ("a = 1", "b = 1")]
    gate.wait_entered(2)  # both render workers are busy
    try:
        page, page_result = in_thread(client.get, "/")
        save, save_result = in_thread(post, client, "/api/save", "x = 3")
        page.join(10)
        save.join(10)
        assert not page.is_alive() and not save.is_alive()
        assert page_result["value"].status_code == 200
        assert save_result["value"].status_code == 200
    finally:
        gate.release.set()
    for thread, result in renders:
        thread.join(30)
        assert result["value"].json()["ok"]


def test_a_newer_render_of_the_same_page_supersedes_older_ones(workspace, monkeypatch):
    arrived = threading.Semaphore(0)

    class Counted(app_module.LatestRequests):
        def arrive(self, page):
            ticket = super().arrive(page)
            arrived.release()
            return ticket

    monkeypatch.setattr(app_module, "LatestRequests", Counted)
    gate = Gate({"a = 1", "other = 1"})
    monkeypatch.setattr(app_module, "render", gate)
    with client_for(workspace) as client:
        answers = supersede_in_order(client, gate, arrived)
    superseded = {"ok": False, "superseded": True}
    assert answers["first"] == superseded and answers["queued"] == superseded
    assert answers["other"]["ok"] and answers["newest"]["ok"]
    assert "queued = 1" not in gate.rendered  # dropped before any work


def supersede_in_order(client, gate, arrived):
    first = in_thread(post, client, "/api/render", "a = 1", page="p")
    other = in_thread(post, client, "/api/render", "other = 1", page="q")
    gate.wait_entered(2)  # both workers hold a render; the next ones queue
    queued = in_thread(post, client, "/api/render", "queued = 1", page="p")
    for _ in range(3):
        assert arrived.acquire(timeout=10)
    newest = in_thread(post, client, "/api/render", "newest = 1", page="p")
    assert arrived.acquire(timeout=10)
    gate.release.set()
    answers = {}
    requests = {"first": first, "other": other, "queued": queued, "newest": newest}
    for name, (thread, result) in requests.items():
        thread.join(30)
        answers[name] = result["value"].json()
    return answers


def test_a_looping_pdf_blocks_nothing_else(workspace):
    if shutil.which("pdflatex") is None:
        pytest.skip("pdflatex is not installed")
    with client_for(workspace, pdf_time_limit=4) as client:
        pdf_beside_the_rest(client)


def pdf_beside_the_rest(client):
    looping = "'''\\loop\\iftrue\\repeat'''\nx = 1"
    first = in_thread(post, client, "/api/export/pdf", looping)
    time.sleep(0.5)  # let it start; a second PDF is then refused at once
    second = post(client, "/api/export/pdf", looping)
    assert second.status_code == 503 and "a PDF is being made" in second.json()["message"]
    assert client.get("/").status_code == 200
    assert post(client, "/api/render", "y = 2").json()["ok"]
    assert post(client, "/api/save", "y = 2").status_code == 200
    assert first[0].is_alive()  # all of that happened while pdflatex was still looping
    first[0].join(30)
    failed = first[1]["value"]
    assert failed.status_code == 500 and "did not finish within 4 seconds" in failed.text


def test_on_port_80_the_bare_host_is_served():
    hosts = allowed_hosts("127.0.0.1", 80)
    assert {"127.0.0.1", "localhost", "127.0.0.1:80"} <= hosts
    app = create_app(None, hosts, LIMIT, print)
    client = TestClient(app, base_url="http://127.0.0.1", headers={"Origin": "http://127.0.0.1"})
    assert post(client, "/api/render", "x = 1").json()["ok"]
    assert "127.0.0.1" not in allowed_hosts("127.0.0.1", 8080)


def test_a_body_that_trickles_in_gets_408():
    sent = []

    async def app(scope, receive, send):
        raise AssertionError("the route must not be reached")

    async def receive():
        if not sent:
            sent.append(True)
            return {"type": "http.request", "body": b"{", "more_body": True}
        await anyio.sleep(60)
        raise AssertionError("the guard must stop waiting")

    messages = []

    async def send(message):
        messages.append(message)

    guard = RequestGuard(app, {"h:1"}, log=lambda message: None, body_seconds=0.2)
    scope = {
        "type": "http",
        "method": "POST",
        "path": "/api/render",
        "headers": [(b"host", b"h:1"), (b"origin", b"http://h:1")],
    }
    started = time.monotonic()
    anyio.run(guard, scope, receive, send)
    assert messages[0]["status"] == 408 and time.monotonic() - started < 10


SERVE = """
import sys
from pathlib import Path
from mensurator._server.connections import ConnectionLimits
from mensurator._server.run import serve
serve(Path(sys.argv[1]), "127.0.0.1", 0, limits=ConnectionLimits(1, 1, 4))
"""


@pytest.fixture
def running_server(workspace):
    process = subprocess.Popen(
        [sys.executable, "-c", SERVE, str(workspace)],
        stderr=subprocess.PIPE,
        text=True,
    )
    seen = []
    for line in process.stderr:
        seen.append(line)
        started = re.search(r"at http://127\.0\.0\.1:(\d+)/", line)
        if started:
            break
    assert started, seen
    port = int(started.group(1))
    yield process, port
    process.terminate()
    process.wait(timeout=30)


def closed_within(connection, seconds):
    """True when the server closes ``connection`` within ``seconds``."""
    connection.settimeout(seconds)
    try:
        return connection.recv(1024) == b""
    except socket.timeout:
        return False
    except ConnectionResetError:
        return True


def get(port):
    with socket.create_connection(("127.0.0.1", port), timeout=10) as connection:
        host = f"127.0.0.1:{port}"
        connection.sendall(f"GET / HTTP/1.1\r\nHost: {host}\r\nConnection: close\r\n\r\n".encode())
        return connection.recv(64)


def test_idle_slow_and_surplus_connections_are_closed(running_server):
    process, port = running_server
    idle = socket.create_connection(("127.0.0.1", port))
    assert closed_within(idle, 10)
    slow = socket.create_connection(("127.0.0.1", port))
    started = time.monotonic()
    with pytest.raises(OSError):  # a byte at a time gains no time: the server closes it
        for byte in b"GET / HTTP/1.1\r\nHost: x\r\n":
            slow.send(bytes([byte]))
            time.sleep(0.2)
            if time.monotonic() - started > 10:
                break
    assert time.monotonic() - started < 10
    crowd = [socket.create_connection(("127.0.0.1", port)) for _ in range(10)]
    time.sleep(0.3)
    refused = sum(closed_within(connection, 0.5) for connection in crowd)
    assert refused >= 6  # over the limit of 4 are closed at once
    time.sleep(1.5)  # the others time out
    assert get(port).startswith(b"HTTP/1.1 200")
    for connection in [idle, slow, *crowd]:
        connection.close()
    process.terminate()
    _, stderr = process.communicate(timeout=30)
    assert stderr.count("connections are open: closing new ones") == 1
    assert "Traceback" not in stderr


def test_accepted_connections_send_without_waiting_for_acks():
    # A response goes out in two writes, head and body; with Nagle's algorithm on, the body
    # waits for the client's delayed ACK of the head, about 40 ms on every render.
    import asyncio

    from mensurator._server.run import bind

    async def accepted_nodelay():
        accepted = asyncio.get_running_loop().create_future()

        class Probe(asyncio.Protocol):
            def connection_made(self, transport):
                option = transport.get_extra_info("socket").getsockopt(
                    socket.IPPROTO_TCP, socket.TCP_NODELAY
                )
                accepted.set_result(option)
                transport.close()

        listener = bind("127.0.0.1", 0)
        server = await asyncio.get_running_loop().create_server(Probe, sock=listener)
        async with server:
            port = listener.getsockname()[1]
            _, writer = await asyncio.open_connection("127.0.0.1", port)
            option = await asyncio.wait_for(accepted, 10)
            writer.close()
        return option

    assert asyncio.run(accepted_nodelay()) != 0


def test_a_render_after_a_one_line_change_converts_at_most_that_line(workspace, monkeypatch):
    import mensurator._html.report as report

    converted = []
    convert = report.to_mathml

    def counting(latex, **options):
        converted.append(latex)
        return convert(latex, **options)

    monkeypatch.setattr(report, "to_mathml", counting)
    client = client_for(workspace, max_document=1024 * 1024)
    lines = [f"x_{{{n}}} = {n} m" for n in range(300)]
    assert post(client, "/api/render", "\n".join(lines)).json()["ok"]
    assert converted == []  # the engine writes the MathML of its own LaTeX
    # An alias to a command the engine does not know leaves its lines to the converter.
    lines = ["alias v \\vec{v}"] + [f"v = {n} m" for n in range(300)]
    assert post(client, "/api/render", "\n".join(lines)).json()["ok"]
    before = len(converted)
    assert before == 300
    lines[150] = "v = 1000 m"
    assert post(client, "/api/render", "\n".join(lines)).json()["ok"]
    assert len(converted) - before == 1


def test_failed_accepts_are_reported_once_without_tracebacks():
    from mensurator._server.connections import AcceptFailuresOnce

    printed = []
    accepts = AcceptFailuresOnce(printed.append)
    failure = "socket.accept() out of system resource\nsocket: %r"
    records = [logging.LogRecord("asyncio", logging.ERROR, "", 0, failure, (1,), None)] * 50
    other = logging.LogRecord("asyncio", logging.ERROR, "", 0, "Task exception", (), None)
    assert [accepts.filter(record) for record in records] == [False] * 50
    assert accepts.filter(other)
    assert printed == ["no file descriptors left to accept connections; new ones wait"]


def test_a_failed_write_in_place_puts_the_old_text_back(workspace, tmp_path, monkeypatch):
    import mensurator._server.source_file as source_file

    os.link(workspace, tmp_path / "other-name.txt")  # so the save writes in place
    spare = tmp_path / "spare"
    spare.mkdir()
    monkeypatch.setattr("tempfile.tempdir", str(spare))
    real_overwrite = source_file.overwrite
    calls = []

    def failing_first(path, content):
        calls.append(content)
        if len(calls) == 1:
            path.write_bytes(content[:3])  # cut short, as a full disk would
            raise OSError(28, "No space left on device")
        real_overwrite(path, content)

    monkeypatch.setattr(source_file, "overwrite", failing_first)
    log = []
    response = post(client_for(workspace, log), "/api/save", "x = 2")
    assert response.status_code == 500
    assert response.json()["message"].endswith("No space left on device (the file is unchanged)")
    assert workspace.read_bytes() == ORIGINAL and list(spare.iterdir()) == []
