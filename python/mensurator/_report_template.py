r"""An office's own LaTeX template around a rendered document, filled in with Jinja2.

Jinja's usual ``{{ }}`` and ``{% %}`` are common in LaTeX, so the template uses LaTeX-like
delimiters instead: ``\VAR{body}`` inserts a value, ``\BLOCK{if author}...\BLOCK{endif}`` is a
statement, ``\#{...}`` a comment. The values:

- ``body``: the document body, LaTeX as the engine wrote it;
- ``preamble``: the packages the body needs (``\usepackage{amsmath}`` for display math, else
  nothing), for the template's preamble;
- ``title``, ``project``, ``author``, ``checked_by``, ``revision``, ``date``: the header
  fields, escaped so that LaTeX prints them as given, or empty when not given;
- ``title_block``: the framed header table of the default layout.

A name the template uses that is none of these is an error naming it. The template runs in
Jinja's sandbox: it fills in text and cannot reach Python's objects.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any

from ._paths import PathLike
from ._title_block import TitleBlock, latex_text, latex_title_block

EXTRA = "template"


class TemplateError(ValueError):
    """The template could not be read or filled in (the message says why)."""


@dataclass(frozen=True)
class ReportTemplate:
    """A template's text and where it came from (for messages)."""

    text: str
    name: str = "<template>"

    @classmethod
    def read(cls, path: PathLike) -> ReportTemplate:
        try:
            with open(path, encoding="utf-8") as source:
                return cls(source.read(), str(path))
        except OSError as error:
            raise TemplateError(f"cannot read {path}: {error.strerror or error}") from None
        except UnicodeDecodeError as error:
            raise TemplateError(f"{path} is not UTF-8 text ({error.reason})") from None

    def fill(self, body: str, preamble: str, block: TitleBlock) -> str:
        """The template's LaTeX with every placeholder filled in."""
        try:
            import jinja2
            from jinja2.sandbox import SandboxedEnvironment
        except ImportError:
            raise TemplateError(
                "templates need Jinja2: pip install 'mensurator_py[template]'"
            ) from None
        environment = SandboxedEnvironment(
            block_start_string="\\BLOCK{",
            block_end_string="}",
            variable_start_string="\\VAR{",
            variable_end_string="}",
            comment_start_string="\\#{",
            comment_end_string="}",
            undefined=jinja2.StrictUndefined,
            keep_trailing_newline=True,
            autoescape=False,
        )
        values: dict[str, Any] = {
            name: latex_text(value) if value else "" for name, value in block.items()
        }
        values.update(body=body, preamble=preamble, title_block=latex_title_block(block))
        try:
            return environment.from_string(self.text).render(values)
        except jinja2.UndefinedError as error:
            raise TemplateError(f"{self.name}: {error.message}") from None
        except jinja2.TemplateSyntaxError as error:
            raise TemplateError(f"{self.name}, line {error.lineno}: {error.message}") from None
        except jinja2.TemplateError as error:
            raise TemplateError(f"{self.name}: {error}") from None
