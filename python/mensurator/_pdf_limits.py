"""Limits of a PDF job, apart from the PDF module so that the command line can name them without
importing what a PDF job needs."""

# Seconds pdflatex may run on a sheet; `--pdf-time-limit` and `time_limit=` raise it.
DEFAULT_TIME_LIMIT = 10
