from typing import Any

from . import PathLike

def standardize(ddf: Any, column: str = ..., data: PathLike | None = ...) -> Any: ...
