__all__ = ["run_mensurator"]

def run_mensurator(inp: str) -> str:
    """Render a calculation document as a LaTeX document.

    Raises an exception of class ``MensuratorException`` (catch it as ``Exception``) whose
    message names the failing line, or the line and column of a syntax error.
    """
