"""Splits domain names and URLs into words, with the engine of Quorvane and quorvane-split.

    >>> import quorvane
    >>> quorvane.split("bestcheapflights.com")
    ['best', 'cheap', 'flights']

The word lists come from the installed data folder; the environment variable QUORVANE_DATA_DIR names another.
"""

import os as _os
import sys as _sys

from . import _layout

try:
    from . import _quorvane
except ImportError as _error:
    _running = "%d.%d" % _sys.version_info[:2]
    if _running != _layout.BUILT_FOR:
        raise ImportError(
            f"quorvane was built for Python {_layout.BUILT_FOR}, and this is Python {_running}: run it with "
            f"python{_layout.BUILT_FOR}, or build it for this Python (pip install . in the source tree)"
        ) from _error
    raise
from ._quorvane import segmentations, split

__all__ = ["Splitter", "split", "segmentations"]
__version__ = _layout.VERSION

_quorvane._installed_data_dir = _os.path.normpath(_os.path.join(_os.path.dirname(__file__), _layout.DATA_DIR))


class Splitter(_quorvane.Splitter):
    __doc__ = _quorvane.Splitter.__doc__
    __slots__ = ()

    def split_many(self, names, jobs=0):
        """Yields each name's most likely split in the order of the names, the words quorvane-split --best 1 gives.

        The names are read a chunk ahead and split on `jobs` threads (0: one per processor; at most 8, as
        for quorvane-split) without the GIL.
        A name that fails raises its error once the splits of the names before it have been yielded.
        """
        if isinstance(names, (str, bytes)):
            raise TypeError("split_many takes an iterable of names, not one name; split() takes one")
        return _each_split(self._split_chunks(names, jobs))


def _each_split(chunks):
    while (splits := chunks.next()) is not None:
        yield from splits
