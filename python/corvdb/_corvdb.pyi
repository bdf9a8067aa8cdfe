# The compiled part of corvdb; use the corvdb package, not this module.
from typing import Dict, Iterator, List, Optional, Tuple

class Error(Exception): ...

RECORD_FIELDS: Tuple[str, ...]
STANDARDIZED_FIELDS: Tuple[str, ...]

class Search(Iterator[Dict[str, str]]):
    def __iter__(self) -> Search: ...
    def __next__(self) -> Dict[str, str]: ...

class Database:
    @property
    def path(self) -> str: ...
    @property
    def closed(self) -> bool: ...
    def lookup(self, zip4: str) -> List[Dict[str, str]]: ...
    def search(
        self,
        *,
        street: Optional[str] = ...,
        city: Optional[str] = ...,
        state: Optional[str] = ...,
        zip: Optional[str] = ...,
        firm: Optional[str] = ...,
        number: Optional[str] = ...,
        unit: Optional[str] = ...,
        exact: bool = ...,
        max: Optional[int] = ...,
    ) -> Search: ...
    def standardize(self, addresses: List[str]) -> List[Dict[str, str]]: ...
    def close(self) -> None: ...

def open(path: str) -> Database: ...
