"""Schema validators compiled from Python type annotations."""

from tessolin import _tessolin
from tessolin._tessolin import *  # noqa: F401,F403

__all__ = list(_tessolin.__all__)
__version__ = _tessolin.__version__
