"""The language server for calculation documents (``mensurator lsp``), on pygls."""
