#!/usr/bin/env python3
"""Build the engine of a git commit into build/differential/<commit hash>/site.

The commit's tree is exported with `git archive` into a temporary directory and installed there
with `pip install --no-deps --target`, so the working tree, the installed module and the other
engineers' builds stay untouched. A finished build is kept per commit hash and reused.

    python tests/tools/build_engine.py              # the commit before the rewrite
    python tests/tools/build_engine.py HEAD~3       # any commit
"""

from __future__ import annotations

import argparse
import importlib.util
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
CACHE = REPO / "build" / "differential"

# The last commit before the second-generation engine: the reference the rewrite must match.
DEFAULT_COMMIT = "c7bffb7^"


class BuildError(Exception):
    """A commit that cannot be resolved or built; the message says why."""


def resolve(commit: str) -> str:
    """The full hash of a commit name, or BuildError."""
    try:
        result = subprocess.run(
            ["git", "rev-parse", "--verify", "--quiet", f"{commit}^{{commit}}"],
            cwd=REPO,
            capture_output=True,
            text=True,
            check=False,
        )
    except OSError as error:
        raise BuildError(f"git is not available: {error}") from error
    if result.returncode != 0:
        raise BuildError(f"{commit!r} names no commit of {REPO}")
    return result.stdout.strip()


def export_tree(commit_hash: str, destination: Path) -> None:
    """git archive <commit> | tar -x -C destination."""
    destination.mkdir(parents=True)
    archive = subprocess.Popen(
        ["git", "archive", "--format=tar", commit_hash], cwd=REPO, stdout=subprocess.PIPE
    )
    assert archive.stdout is not None
    extract = subprocess.run(
        ["tar", "-x", "-C", str(destination)], stdin=archive.stdout, check=False
    )
    archive.stdout.close()
    if archive.wait() != 0 or extract.returncode != 0:
        raise BuildError(f"could not export the tree of {commit_hash}")


def pip_command(source: Path, target: Path) -> list[str]:
    command = [sys.executable, "-m", "pip", "install", "--quiet", "--disable-pip-version-check"]
    command += ["--no-deps", "--target", str(target)]
    # With the build backend already installed, build without an isolated environment: no
    # download, and the same backend as the current engine's build.
    if importlib.util.find_spec("scikit_build_core") is not None:
        command.append("--no-build-isolation")
    return command + [str(source)]


def build(commit: str = DEFAULT_COMMIT, jobs: int = 1, log=sys.stderr) -> Path:
    """The directory holding the commit's `mensurator_py`, built now unless already cached."""
    commit_hash = resolve(commit)
    site = CACHE / commit_hash / "site"
    if (site.parent / "complete").exists():
        return site
    print(f"building the engine of {commit} ({commit_hash[:12]}) into {site}", file=log)
    with tempfile.TemporaryDirectory(prefix="mensurator-engine-") as temp:
        source = Path(temp) / "src"
        export_tree(commit_hash, source)
        partial = Path(temp) / "site"
        env = dict(os.environ, CMAKE_BUILD_PARALLEL_LEVEL=str(jobs))
        result = subprocess.run(
            pip_command(source, partial), env=env, capture_output=True, text=True, check=False
        )
        if result.returncode != 0:
            tail = "\n".join((result.stdout + result.stderr).splitlines()[-30:])
            raise BuildError(f"pip could not build {commit_hash[:12]}:\n{tail}")
        if not any(partial.glob("mensurator_py*.so")):
            raise BuildError(f"the build of {commit_hash[:12]} holds no mensurator_py module")
        if site.parent.exists():
            shutil.rmtree(site.parent)
        site.parent.mkdir(parents=True)
        shutil.move(str(partial), str(site))
    (site.parent / "complete").write_text(commit_hash + "\n", encoding="utf-8")
    return site


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("commit", nargs="?", default=DEFAULT_COMMIT)
    parser.add_argument("--jobs", type=int, default=int(os.environ.get("JOBS", "1")))
    args = parser.parse_args(argv)
    try:
        print(build(args.commit, args.jobs))
    except BuildError as error:
        print(f"build_engine: {error}", file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
