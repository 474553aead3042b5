"""The live editor's server in-process (Starlette's test client, nothing leaves the process):
its routes, the Host and Origin refusals, the body limit, and saves that touch only FILE. The
command's own start-up failures run as subprocesses on 127.0.0.1."""

import os
import shutil
import socket
import subprocess
import sys

import pytest

try:
    from starlette.testclient import TestClient
except (ImportError, RuntimeError) as missing:  # RuntimeError: the client's HTTP package
    if os.environ.get("CI"):
        raise
    pytest.skip(f"the editor's packages are not installed: {missing}", allow_module_level=True)

from mensurator._server.app import create_app  # noqa: E402
from mensurator._server.guard import allowed_hosts, json_body_limit  # noqa: E402
from mensurator._server.source_file import SourceFile  # noqa: E402
from mensurator_py import run_mensurator  # noqa: E402

PORT = 8765
BASE = f"http://127.0.0.1:{PORT}"
LIMIT = 4096  # the largest document, in UTF-8 bytes
BODY_LIMIT = json_body_limit(LIMIT)  # the largest request body, which carries it as JSON
DOCUMENT = "'''\\section*{Beam <1>}'''\nl = 6 m\nq = 12 kN/m\nM = q * l^2 / 8 =? kN*m"


@pytest.fixture
def workspace(tmp_path):
    path = tmp_path / "beam.txt"
    path.write_bytes(DOCUMENT.replace("\n", "\r\n").encode() + b"\r\n")
    return path


@pytest.fixture
def server(workspace):
    log = []
    app = create_app(SourceFile(workspace), allowed_hosts("127.0.0.1", PORT), LIMIT, log.append)
    client = TestClient(app, base_url=BASE, headers={"Origin": BASE})
    client.log = log
    return client


def post(client, path, text, **headers):
    return client.post(path, json={"text": text}, headers=headers)


def test_page_holds_the_file_text_escaped_and_forbids_foreign_content(server):
    response = server.get("/", headers={"Origin": ""})
    assert response.status_code == 200
    assert "Beam &lt;1&gt;" in response.text and "Beam <1>" not in response.text
    assert "l = 6 m\nq = 12 kN/m" in response.text  # CR LF shown as the text field holds it
    policy = response.headers["content-security-policy"]
    assert "default-src 'none'" in policy and "script-src 'self'" in policy
    assert "http" not in response.text.replace(BASE, "")


@pytest.mark.parametrize(
    "path, status, media",
    [
        ("/static/editor.js", 200, "text/javascript"),
        ("/static/editor.css", 200, "text/css"),
        ("/static/report.css", 200, "text/css"),
        ("/static/editor.html", 404, "text/plain"),
        ("/static/..%2F..%2Fapp.py", 404, "text/plain"),
        ("/static/%2e%2e/source_file.py", 404, "text/plain"),
    ],
)
def test_static_files_come_from_a_fixed_list(server, path, status, media):
    response = server.get(path)
    assert response.status_code == status
    assert response.headers["content-type"].startswith(media)


def test_render_returns_the_sheet_or_the_error_with_line_column_and_hints(server):
    good = post(server, "/api/render", DOCUMENT).json()
    assert good["ok"] and good["sheet"].count("<math") == 3 and good["unconverted"] == []
    assert 'class="result"' in good["sheet"] and "<h2>Beam &lt;1&gt;</h2>" in good["sheet"]

    unit = post(server, "/api/render", "x = 1\nf = 50 Hz").json()
    assert unit["ok"] is False and unit["error"] == {
        "line": 2,
        "column": None,
        "kind": "statement error",
        "message": "Line 2: Hz is not a variable or a valid unit",
        "reason": "Hz is not a variable or a valid unit",
        "hints": ["did you mean hz?"],
    }
    empty = {"ok": True, "sheet": "", "unconverted": [], "problems": []}
    blank = post(server, "/api/render", " \n").json()
    assert blank.pop("highlight") == [[["", " "]], []] and blank == empty
    parse = post(server, "/api/render", "x = 1\ny = 5 6").json()["error"]
    assert (parse["kind"], parse["line"], parse["column"]) == ("parse error", 2, 7)
    assert server.log == []  # document errors are the author's, not the server's


def test_render_lists_every_problem_at_its_column(server):
    failed = post(server, "/api/render", "x = 1\nf = 50 Hz\ng = 3 qq + x").json()
    assert failed["ok"] is False and failed["error"]["line"] == 2
    assert [(p["severity"], p["code"], p["line"], p["column"], p["end_column"])
            for p in failed["problems"]] == [
        ("error", "unknown-unit", 2, 8, 10),
        ("error", "unknown-unit", 3, 7, 9),
    ]
    first = failed["problems"][0]
    assert first["message"] == failed["error"]["message"]
    assert first["reason"] == "Hz is not a variable or a valid unit"
    assert first["hints"] == ["did you mean hz?"]

    # A warning leaves the document accepted; the sheet comes with it.
    warned = post(server, "/api/render", "L = 6 m\nq = 2 kN/m * L =?").json()
    assert warned["ok"] is True and warned["sheet"].count("<math") == 2
    [warning] = warned["problems"]
    assert (warning["severity"], warning["code"], warning["line"]) == (
        "warning", "unit-shadows-variable", 2,
    )
    assert warning["column"] == 14 and warning["end_column"] == 15
    assert warning["reason"] == warning["message"] and "(2 kN/m) * L" in warning["message"]
    assert post(server, "/api/render", DOCUMENT).json()["problems"] == []

    # A parse error comes first, wherever it stands; the statement errors follow by line.
    mixed = post(server, "/api/render", "f = 50 Hz\ny = 5 6").json()["problems"]
    assert [(p["code"], p["line"], p["column"]) for p in mixed] == [
        ("parse-error", 2, 7),
        ("unknown-unit", 1, 8),
    ]


@pytest.mark.parametrize(
    "method, path, headers, reason",
    [
        ("GET", "/", {"Host": "attacker.example:8765"}, "host"),
        ("GET", "/", {"Host": "127.0.0.1:9999"}, "host"),
        ("GET", "/", {"Host": "127.0.0.1"}, "host"),
        ("POST", "/api/render", {"Host": "attacker.example:8765"}, "host"),
        ("POST", "/api/render", {"Origin": ""}, "needs Origin"),
        ("POST", "/api/save", {"Origin": "http://attacker.example"}, "origin"),
        ("POST", "/api/render", {"Origin": "http://127.0.0.1:9999"}, "origin"),
        ("POST", "/api/export/tex", {"Origin": "null"}, "origin"),
        ("GET", "/", {"Origin": "http://attacker.example"}, "origin"),
    ],
)
def test_requests_for_another_host_or_from_another_origin_are_refused(
    server, workspace, method, path, headers, reason
):
    before = workspace.read_bytes()
    response = server.request(method, path, json={"text": "x = 1"}, headers=headers)
    assert response.status_code == 403 and reason in response.text
    assert workspace.read_bytes() == before
    assert len(server.log) == 1 and reason in server.log[0]


def test_localhost_names_the_same_loopback_server(server):
    local = "http://localhost:8765"
    response = post(server, "/api/render", "x = 1", Host="localhost:8765", Origin=local)
    assert response.status_code == 200 and response.json()["ok"]


@pytest.mark.parametrize("size, status", [(BODY_LIMIT, 400), (BODY_LIMIT + 1, 413)])
@pytest.mark.parametrize("announced", [True, False], ids=["content-length", "chunked"])
def test_bodies_over_the_limit_get_413_whether_announced_or_not(server, size, status, announced):
    body = b"x" * size  # not JSON: a body within the limit reaches the route, which refuses it
    content = body if announced else iter([body[: size // 2], body[size // 2 :]])
    response = server.post("/api/render", content=content)
    assert response.status_code == status


@pytest.mark.parametrize(
    "body",
    [b'{"text": 5}', b"[]", b'{"txt": "x"}', b"\xff", b'{"text": "\\ud800"}'],
)
def test_malformed_requests_get_400(server, body):
    response = server.post("/api/render", content=body)
    assert response.status_code == 400 and response.json()["message"]


def test_save_writes_only_the_file_in_its_own_line_ends(server, workspace):
    neighbours = {path.name: path.read_bytes() for path in workspace.parent.iterdir()}
    workspace.chmod(0o640)
    response = post(server, "/api/save", "x = 1\ny = 2")
    assert response.status_code == 200 and response.json()["saved"] == "beam.txt"
    assert workspace.read_bytes() == b"x = 1\r\ny = 2\r\n"
    assert workspace.stat().st_mode & 0o777 == 0o640
    after = {path.name: path.read_bytes() for path in workspace.parent.iterdir()}
    assert after == {**neighbours, "beam.txt": b"x = 1\r\ny = 2\r\n"}
    assert ">\nx = 1\ny = 2</textarea>" in server.get("/").text  # a reload shows what was saved


def test_save_through_a_link_updates_its_target(tmp_path):
    target = tmp_path / "real.txt"
    target.write_text("x = 1\n", encoding="utf-8")
    link = tmp_path / "link.txt"
    link.symlink_to(target)
    app = create_app(SourceFile(link), allowed_hosts("127.0.0.1", PORT), LIMIT, print)
    client = TestClient(app, base_url=BASE, headers={"Origin": BASE})
    assert post(client, "/api/save", "x = 2").status_code == 200
    assert link.is_symlink() and target.read_text(encoding="utf-8") == "x = 2\n"


def test_without_a_file_nothing_is_saved(tmp_path):
    app = create_app(None, allowed_hosts("127.0.0.1", PORT), LIMIT, print)
    client = TestClient(app, base_url=BASE, headers={"Origin": BASE})
    assert 'data-save-reason="no file' in client.get("/").text
    assert post(client, "/api/save", "x = 1").status_code == 409
    assert list(tmp_path.iterdir()) == []


def test_a_failed_save_is_reported_and_logged(tmp_path):
    log = []
    missing = SourceFile(tmp_path / "removed" / "x.txt")  # its folder no longer exists
    app = create_app(missing, allowed_hosts("127.0.0.1", PORT), LIMIT, log.append)
    client = TestClient(app, base_url=BASE, headers={"Origin": BASE})
    response = post(client, "/api/save", "x = 1")
    assert response.status_code == 500 and "cannot write" in response.json()["message"]
    assert len(log) == 1 and log[0].startswith("save failed")


def test_exports_are_downloads_of_the_current_text(server):
    tex = post(server, "/api/export/tex", DOCUMENT)
    assert tex.status_code == 200 and tex.text == run_mensurator(DOCUMENT)
    assert tex.headers["content-disposition"] == 'attachment; filename="beam.tex"'
    page = post(server, "/api/export/html", DOCUMENT)
    assert page.text.startswith("<!DOCTYPE html>") and page.text.count("<math") == 3
    failed = post(server, "/api/export/tex", "x = 1 Hz\ny = 2 Qq")
    assert failed.status_code == 422 and failed.json()["error"]["hints"] == ["did you mean hz?"]
    # Every error of the document, not only the first, so the page can mark them all.
    assert [p["line"] for p in failed.json()["problems"]] == [1, 2]
    assert post(server, "/api/export/odt", DOCUMENT).status_code == 404


def test_pdf_export_compiles_with_pdflatex(server):
    if shutil.which("pdflatex") is None:
        if os.environ.get("CI"):
            pytest.fail("pdflatex is required in CI; tests/install-deps.sh installs it")
        pytest.skip("pdflatex is not installed")
    response = post(server, "/api/export/pdf", DOCUMENT)
    assert response.status_code == 200 and response.content.startswith(b"%PDF")
    assert 'data-pdf-reason=""' in server.get("/").text


def test_docx_export_is_a_word_document_or_says_why_not(server, monkeypatch, tmp_path):
    import zipfile
    from io import BytesIO

    from mensurator import _docx as docx

    try:
        docx.pandoc_program()
    except docx.DocxError:
        if os.environ.get("CI"):
            pytest.fail("pandoc is required in CI; tests/install-deps.sh installs its wheel")
        pytest.skip("pandoc is not installed")
    response = post(server, "/api/export/docx", DOCUMENT)
    assert response.status_code == 200
    assert response.headers["content-disposition"] == 'attachment; filename="beam.docx"'
    with zipfile.ZipFile(BytesIO(response.content)) as archive:
        assert archive.read("word/document.xml").count(b"<m:oMath>") == 3
    assert 'data-docx-reason=""' in server.get("/").text

    def missing() -> str:
        raise docx.DocxError("pandoc is not installed; install the docx extra")

    monkeypatch.setattr(docx, "pandoc_program", missing)
    assert 'data-docx-reason="pandoc is not installed"' in server.get("/").text
    failed = post(server, "/api/export/docx", DOCUMENT)
    assert failed.status_code == 500 and "docx extra" in failed.json()["message"]


def test_without_pdflatex_the_pdf_button_says_why_and_the_export_fails_cleanly(
    server, monkeypatch, tmp_path
):
    monkeypatch.setenv("PATH", str(tmp_path))
    assert 'data-pdf-reason="pdflatex is not installed"' in server.get("/").text
    response = post(server, "/api/export/pdf", DOCUMENT)
    assert response.status_code == 500 and "pdflatex is not installed" in response.json()["message"]
    assert len(server.log) == 1 and server.log[0].startswith("PDF failed")


def run_serve(*args):
    return subprocess.run(
        [sys.executable, "-m", "mensurator", "serve", *map(str, args)],
        capture_output=True,
        text=True,
        timeout=60,
        check=False,
    )


@pytest.mark.parametrize(
    "args, status, message",
    [
        (["--host", "0.0.0.0"], 2, "give the one address"),
        (["--host", "example.org"], 2, "not an IP address"),
        (["--port", "70000"], 2, "not a port number"),
        (["{tmp}"], 1, "is a directory"),
        (["{tmp}/latin1.txt", "--port", "0"], 1, "not UTF-8 text"),
    ],
)
def test_serve_refuses_bad_arguments_without_a_traceback(tmp_path, args, status, message):
    (tmp_path / "latin1.txt").write_bytes(b"x = 1 \xb5m\n")
    completed = run_serve(*(arg.format(tmp=tmp_path) for arg in args))
    assert completed.returncode == status and message in completed.stderr
    assert "Traceback" not in completed.stderr


def test_serve_reports_a_port_in_use(tmp_path):
    with socket.socket() as taken:
        taken.bind(("127.0.0.1", 0))
        taken.listen(1)
        completed = run_serve(tmp_path / "x.txt", "--port", taken.getsockname()[1])
    assert completed.returncode == 1 and "cannot listen on 127.0.0.1:" in completed.stderr
    assert "Traceback" not in completed.stderr


def test_serve_without_the_server_packages_says_how_to_install_them():
    blocked = "import sys; sys.modules['uvicorn'] = None; from mensurator._cli import main; "
    completed = subprocess.run(
        [sys.executable, "-c", blocked + "sys.exit(main(['serve', '--port', '0']))"],
        capture_output=True,
        text=True,
        timeout=60,
        check=False,
    )
    assert completed.returncode == 1 and "pip install starlette uvicorn" in completed.stderr
    assert "Traceback" not in completed.stderr


def test_a_first_error_the_diagnosis_misses_is_still_listed(server, monkeypatch):
    import mensurator._rendering

    monkeypatch.setattr(mensurator._rendering, "diagnose", lambda text, *opt_ins: ())
    [only] = post(server, "/api/render", "x = 1\ny = 5 6").json()["problems"]
    assert only == {
        "line": 2,
        "column": 7,
        "end_column": None,
        "severity": "error",
        "code": "parse-error",
        "message": "Parsing Error near line 2 column 7",
        "reason": "Parsing Error near line 2 column 7",
        "hints": [],
    }
