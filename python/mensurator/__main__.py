"""``python -m mensurator``: the same command as the ``mensurator`` console script."""

import sys

from ._cli import main

sys.exit(main())
