"""Generated requests against the editor's routes: whatever the body, the answer is never a
server error, and FILE changes only by a save that the server confirmed, to exactly its text."""

import json
import os

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

try:
    from starlette.testclient import TestClient
except (ImportError, RuntimeError) as missing:
    if os.environ.get("CI"):
        raise
    pytest.skip(f"the editor's packages are not installed: {missing}", allow_module_level=True)

from mensurator._server.app import create_app  # noqa: E402
from mensurator._server.guard import allowed_hosts  # noqa: E402
from mensurator._server.source_file import SourceFile  # noqa: E402

PORT = 8765
BASE = f"http://127.0.0.1:{PORT}"
LIMIT = 8192
ROUTES = ["/api/render", "/api/save", "/api/export/tex", "/api/export/html", "/api/export/x"]

# Document-like text: statements, LaTeX blocks, odd characters and surrogates.
PIECES = st.sampled_from(
    ["x = 1 m", "x =?", "'''", "\\emph{", "\\section{", "}", "$", "\n", "\r", "\x00", "\ud800"]
)
TEXTS = st.lists(st.one_of(PIECES, st.text(max_size=20)), max_size=30).map("".join)
JSON_VALUES = st.recursive(
    st.none() | st.booleans() | st.integers() | st.floats(allow_nan=False) | st.text(max_size=10),
    lambda inner: st.lists(inner, max_size=4) | st.dictionaries(st.text(max_size=5), inner),
    max_leaves=20,
)
BODIES = st.one_of(
    st.binary(max_size=200),
    TEXTS.map(lambda text: json.dumps({"text": text}).encode()),
    st.builds(lambda text, page: {"text": text, "page": page}, TEXTS, JSON_VALUES).map(
        lambda payload: json.dumps(payload).encode()
    ),
    JSON_VALUES.map(lambda value: json.dumps(value).encode()),
    st.integers(1, 4000).map(lambda depth: b"[" * depth + b"]" * depth),
    st.integers(4000, 6000).map(lambda digits: b'{"text": "", "n": ' + b"9" * digits + b"}"),
    st.integers(LIMIT - 2, LIMIT + 2).map(lambda n: json.dumps({"text": "\n" * n}).encode()),
)


@settings(
    max_examples=150, deadline=None, suppress_health_check=[HealthCheck.function_scoped_fixture]
)
@given(requests=st.lists(st.tuples(st.sampled_from(ROUTES), BODIES), min_size=1, max_size=6))
def test_routes_never_fail_and_change_the_file_only_by_a_save(tmp_path, requests):
    path = tmp_path / "sheet.txt"
    path.write_bytes(b"x = 1 m\n")
    app = create_app(SourceFile(path), allowed_hosts("127.0.0.1", PORT), LIMIT, lambda m: None)
    client = TestClient(app, base_url=BASE, headers={"Origin": BASE})
    expected = path.read_bytes()
    for route, body in requests:
        response = client.post(route, content=body)
        assert response.status_code < 500, (route, body[:200], response.text[:200])
        if route == "/api/save" and response.status_code == 200:
            text = json.loads(body)["text"]
            expected = (text.replace("\r\n", "\n") + "\n").encode("utf-8")
        assert path.read_bytes() == expected
