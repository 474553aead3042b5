"""``python -m mensurator``: the same command as the ``mensurator`` console script."""

import sys

from .cli import main

sys.exit(main())
