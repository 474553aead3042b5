"""The path type accepted wherever the package reads or writes a file."""

import os
from typing import Union

PathLike = Union[str, "os.PathLike[str]"]
