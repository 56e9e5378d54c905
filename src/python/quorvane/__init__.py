"""Splits domain names and URLs into words, with the engine of Quorvane and quorvane-split.

    >>> import quorvane
    >>> quorvane.split("bestcheapflights.com")
    ['best', 'cheap', 'flights']

The word lists come from the installed data folder; the environment variable QUORVANE_DATA_DIR names another.
"""

import os as _os

from . import _layout, _quorvane
from ._quorvane import SplitManyIterator, Splitter, segmentations, split

__all__ = ["Splitter", "split", "segmentations"]

_quorvane._installed_data_dir = _os.path.normpath(_os.path.join(_os.path.dirname(__file__), _layout.DATA_DIR))
