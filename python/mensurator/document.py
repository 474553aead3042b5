"""The rendered document and the views of it: the full LaTeX text and its body."""

from __future__ import annotations

from dataclasses import dataclass

BEGIN = "\\begin{document}\n"
END = "\\end{document}"


@dataclass(frozen=True)
class Document:
    """A rendered document. ``latex`` is the complete LaTeX text as the engine wrote it."""

    latex: str

    @property
    def body(self) -> str:
        """The text between ``\\begin{document}`` and ``\\end{document}``."""
        start = self.latex.index(BEGIN) + len(BEGIN)
        return self.latex[start : self.latex.rindex(END)]
