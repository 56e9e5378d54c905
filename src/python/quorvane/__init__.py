"""Splits domain names and URLs into words, with the engine of Quorvane and quorvane-split.

    >>> import quorvane
    >>> quorvane.split("bestcheapflights.com")
    ['best', 'cheap', 'flights']

The word lists come from the installed data folder; the environment variable QUORVANE_DATA_DIR names another.
"""

import os as _os
import threading as _threading

from . import _layout, _quorvane
from ._quorvane import Splitter, SplitManyIterator

__all__ = ["Splitter", "split", "segmentations"]

_quorvane._installed_data_dir = _os.path.normpath(_os.path.join(_os.path.dirname(__file__), _layout.DATA_DIR))

_default_splitters = {}
_default_lock = _threading.Lock()


def _splitter(list):
    splitter = _default_splitters.get(list)
    if splitter is None:
        with _default_lock:
            splitter = _default_splitters.get(list)
            if splitter is None:
                splitter = Splitter(list=list)
                _default_splitters[list] = splitter
    return splitter


def split(name, list=2):
    """The most likely split of `name` with word list `list` (1, 2 or 3), as a list of words; [] when it has none."""
    return _splitter(list).split(name)


def segmentations(name, n=5, list=2):
    """The `n` most likely splits of `name` with word list `list`, most likely first, each as (words, score in nats)."""
    return _splitter(list).segmentations(name, n)
