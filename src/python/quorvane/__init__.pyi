from collections.abc import Iterable, Iterator
from os import PathLike

__all__ = ["Splitter", "split", "segmentations"]
__version__: str

class Splitter:
    def __init__(
        self,
        list: int | None = None,
        words: str | PathLike[str] | None = None,
        add_words: Iterable[str] = (),
        drop_words: Iterable[str] = (),
        case_hints: bool = False,
        words_only: bool = False,
        max_splits: int = 100000,
        *,
        data_dir: str | PathLike[str] | None = None,
        window_cleaning: bool = False,
    ) -> None: ...
    @property
    def max_splits(self) -> int: ...
    def split(self, name: str) -> list[str]: ...
    def segmentations(self, name: str, n: int = 5) -> list[tuple[list[str], float]]: ...
    def all_splits(self, name: str) -> list[list[str]]: ...
    def split_many(self, names: Iterable[str], jobs: int = 0) -> Iterator[list[str]]: ...

def split(name: str, list: int = 2) -> list[str]: ...
def segmentations(name: str, n: int = 5, list: int = 2) -> list[tuple[list[str], float]]: ...
