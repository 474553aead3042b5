"""Engine workers as child processes, driven in batches (framing.py).

A worker that dies or hangs on a batch is restarted and the batch is run again one document at
a time, so that the document responsible gets the outcome LOST with the reason, and the others
their real outcomes.
"""

from __future__ import annotations

import os
import select
import subprocess
import tempfile
from pathlib import Path

import framing

WORKER = Path(__file__).resolve().parent / "engine_worker.py"

Outcome = tuple[bytes, bytes]  # (tag, payload)


class WorkerError(Exception):
    """A worker that cannot start; the message holds its standard error."""


class Worker:
    def __init__(self, command: list[str], timeout: float = 60.0) -> None:
        self.command = command
        self.timeout = timeout  # seconds one document may take
        self.process: subprocess.Popen[bytes] | None = None
        self.module = ""
        self.start()

    def start(self) -> None:
        self.stderr = tempfile.TemporaryFile()
        self.process = subprocess.Popen(
            self.command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self.stderr
        )
        hello = self._read_answers(1, self.timeout)
        if len(hello) != 1 or hello[0][0] != framing.HELLO:
            raise WorkerError(f"{' '.join(self.command)} did not start:\n{self.error_text()}")
        self.module = framing.decode(hello[0][1])

    def error_text(self) -> str:
        self.stderr.seek(0)
        return self.stderr.read().decode("utf-8", "replace").strip()[-2000:]

    def send(self, documents: list[str]) -> None:
        assert self.process is not None and self.process.stdin is not None
        try:
            self.process.stdin.write(framing.batch_bytes(documents))
            self.process.stdin.flush()
        except BrokenPipeError:
            pass  # the worker died; receive() finds out and recovers

    def receive(self, documents: list[str]) -> list[Outcome]:
        """The outcomes of the batch sent last."""
        # A whole batch gets the time of one document: far more than a batch needs, and a hang
        # is found without waiting for every document's share.
        answers = self._read_answers(len(documents), self.timeout)
        if len(answers) == len(documents):
            return answers
        self.restart()
        return answers + [self._run_alone(document) for document in documents[len(answers) :]]

    def run(self, documents: list[str]) -> list[Outcome]:
        self.send(documents)
        return self.receive(documents)

    def _run_alone(self, document: str) -> Outcome:
        self.send([document])
        answers = self._read_answers(1, self.timeout)
        if answers:
            return answers[0]
        reason = self._lost_reason()
        self.restart()
        return framing.LOST, framing.encode(reason)

    def _lost_reason(self) -> str:
        assert self.process is not None
        if self.process.poll() is None:
            return f"no answer within {self.timeout:g} s"
        code = self.process.returncode
        return f"worker died with signal {-code}" if code < 0 else f"worker exited with {code}"

    def _read_answers(self, count: int, timeout: float) -> list[Outcome]:
        """Up to count answers; fewer when the worker ends or the time runs out."""
        assert self.process is not None and self.process.stdout is not None
        fd = self.process.stdout.fileno()
        buffer = bytearray()
        answers: list[Outcome] = []
        while len(answers) < count:
            ready, _, _ = select.select([fd], [], [], timeout)
            chunk = os.read(fd, 1 << 20) if ready else b""
            if not chunk:
                break
            buffer += chunk
            while len(buffer) >= framing.ANSWER.size:
                tag, size = framing.ANSWER.unpack_from(buffer)
                end = framing.ANSWER.size + size
                if len(buffer) < end:
                    break
                answers.append((tag, bytes(buffer[framing.ANSWER.size : end])))
                del buffer[:end]
        return answers

    def restart(self) -> None:
        """A fresh worker in place of one that died or hangs (which is killed)."""
        assert self.process is not None and self.process.stdin and self.process.stdout
        self.process.kill()
        self.process.wait()
        for stream in (self.process.stdin, self.process.stdout, self.stderr):
            try:
                stream.close()
            except OSError:
                pass  # a pipe the dead worker left with unread or unwritten data
        self.start()

    def stop(self) -> None:
        if self.process is None:
            return
        try:
            self.send([])
            assert self.process.stdin is not None
            self.process.stdin.close()
            self.process.wait(timeout=5)
        except (OSError, subprocess.TimeoutExpired):
            self.process.kill()
            self.process.wait()
        self.stderr.close()
        self.process = None
