"""The exception class the engine raises for a failed document."""

from __future__ import annotations

from typing import Type

import mensurator_py


def engine_exception_class() -> Type[Exception]:
    """The class the engine raises for a failed document.

    The module creates it on the first failure and does not export it, so an empty document,
    which always fails, provokes it once."""
    try:
        mensurator_py.run_mensurator("")
    except Exception as error:
        return type(error)
    raise RuntimeError("the engine accepted an empty document; it must reject it")


MensuratorException = engine_exception_class()
