"""The live editor behind ``mensurator serve``: a local web server with one page.

Starlette and uvicorn are imported only here, so the rest of the package works without them.
"""
