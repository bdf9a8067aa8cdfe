"""corvdb: US postal addresses from a Corvellan ZIP+4 database (zip.cvd).

Open a database, then look up ZIP+4 codes, search for addresses, or
standardize free-form address lines::

    import corvdb
    db = corvdb.open("/srv/corvellan")            # the folder of zip.cvd, or the file
    db.lookup("62781-9703")                       # [ {"Recipient": ..., "ZipCode": ...}, ... ]
    for record in db.search(street="MAIN", state="IL", max=10):
        print(record["Primary"], record["City"])
    db.standardize(["150 main st, springfield il 62701"])

Records are plain dicts under the column names of the program's export file
(RECORD_FIELDS); standardize answers carry the seven fields that
``corvdb standardize`` appends to a CSV list (STANDARDIZED_FIELDS), with the
same values.

For tables: standardize_frame() adds those seven columns to a pandas
DataFrame, and corvdb.dask.standardize() does the same to a Dask DataFrame
on a cluster.

A Database may be used from several threads at once: each call works on a
reader of its own and releases the GIL while the engine works. Every failure
(a missing or damaged data file, a value that is not allowed) raises
corvdb.Error with a message that says what was wrong.
"""

from __future__ import annotations

import os
from typing import Any, Dict, Iterable, Iterator, List, Optional, Union

from . import _corvdb

__all__ = [
    "Error",
    "Database",
    "open",
    "standardize_frame",
    "RECORD_FIELDS",
    "STANDARDIZED_FIELDS",
]

Error = _corvdb.Error
Error.__module__ = "corvdb"

#: The keys of a record dict (lookup, search), in the order of the program's
#: export file: Recipient, Secondary, SecLow, SecHigh, Sec-OE, Primary, PriLow,
#: PriHigh, Pri-OE, Urbanization, City, State, ZipCode, Plus4, ZipLow, ZipHigh,
#: RecType, RecDesc.
RECORD_FIELDS = _corvdb.RECORD_FIELDS

#: The keys of a standardize answer, in the order ``corvdb standardize``
#: appends them: std_delivery_line, std_city, std_state, std_zip4,
#: std_record_type, match_code, match_reason.
STANDARDIZED_FIELDS = _corvdb.STANDARDIZED_FIELDS

PathLike = Union[str, "os.PathLike[str]"]


class Database:
    """An open zip.cvd. Make one with corvdb.open(); usable from several threads."""

    __slots__ = ("_db",)

    def __init__(self, db: Any) -> None:
        self._db = db

    @property
    def path(self) -> str:
        """The path of the data file (…/zip.cvd)."""
        return self._db.path

    @property
    def closed(self) -> bool:
        """True after close()."""
        return self._db.closed

    def lookup(self, zip4: str) -> List[Dict[str, str]]:
        """The records covering a ZIP+4 ("62781-9703" or "627819703").

        Returns a list of record dicts (see RECORD_FIELDS), empty when the
        ZIP+4 is not in the database. Raises corvdb.Error for text that is
        not a ZIP+4.
        """
        if not isinstance(zip4, str):
            raise Error("lookup: a ZIP+4 is text (\"62781-9703\"), not %s" % type(zip4).__name__)
        return self._db.lookup(zip4)

    def search(
        self,
        street: Optional[str] = None,
        city: Optional[str] = None,
        state: Optional[str] = None,
        zip: Optional[str] = None,
        firm: Optional[str] = None,
        number: Optional[str] = None,
        unit: Optional[str] = None,
        exact: bool = False,
        max: Optional[int] = None,
    ) -> Iterator[Dict[str, str]]:
        """Searches for addresses; returns an iterator of record dicts.

        The conditions are those of the program's search boxes: street (the
        beginning of the street name, or the whole name with exact=True, the
        street line may carry a number, directions and a suffix), city (the
        beginning of the name), state (two letters), zip (1 to 5 digits,
        optionally ending in *: 627*), firm (the beginning of a firm or
        building name), number (house or box number), unit ("APT 5"). At
        least one is needed. max: stop after that many records (None or 0:
        all). Records come in ZIP code order, as the program lists them.

        A value that is not allowed raises corvdb.Error at once.
        """
        conditions = {}
        for name, value in (("street", street), ("city", city), ("state", state), ("zip", zip),
                            ("firm", firm), ("number", number), ("unit", unit)):
            if value is None:
                continue
            if isinstance(value, int) and not isinstance(value, bool):
                value = str(value)
            if not isinstance(value, str):
                raise Error("search: %s is text, not %s" % (name, type(value).__name__))
            conditions[name] = value
        if max is not None and (isinstance(max, bool) or not isinstance(max, int)):
            raise Error("search: max is a whole number, not %s" % type(max).__name__)
        return self._db.search(exact=bool(exact), max=max, **conditions)

    def standardize(self, addresses: Iterable[Optional[str]]) -> List[Dict[str, str]]:
        """Matches free-form address lines; one answer dict per line, in order.

        Each answer holds the fields of STANDARDIZED_FIELDS with the values
        ``corvdb standardize`` appends for the same text: the standard
        delivery line, city, state, ZIP+4 and record type of the matched
        record, the match code (exact, corrected, ambiguous, not found,
        error) and the reason. A line that cannot be read (a character
        without a plain-letter equivalent) gets the code "error"; None is an
        empty line.
        """
        if isinstance(addresses, (str, bytes)):
            raise Error("standardize: give a list of address lines, not one line")
        lines = []
        for i, a in enumerate(addresses):
            if a is None:
                lines.append("")
            elif isinstance(a, str):
                lines.append(a)
            else:
                raise Error("standardize: address %d is %s, not text" % (i, type(a).__name__))
        return self._db.standardize(lines)

    def close(self) -> None:
        """Releases the data file; a search still running keeps its reader until it ends."""
        self._db.close()

    def __enter__(self) -> "Database":
        return self

    def __exit__(self, *exc: Any) -> None:
        self.close()

    def __repr__(self) -> str:
        return "<corvdb.Database %r%s>" % (self.path, " closed" if self.closed else "")


def open(path: PathLike) -> Database:  # noqa: A001 - the natural name for it
    """Opens a Corvellan ZIP+4 database: the folder holding zip.cvd, or the file.

    Raises corvdb.Error when it cannot be opened (no such file, damaged,
    not a zip.cvd), naming the file and the reason.
    """
    return Database(_corvdb.open(os.fsdecode(path)))


def standardize_frame(df: Any, column: str = "address", data: Optional[PathLike] = None,
                      db: Optional[Database] = None) -> Any:
    """A copy of a pandas DataFrame with the seven STANDARDIZED_FIELDS columns added.

    column: the column holding the address lines (missing values count as
    empty lines). data: the folder of zip.cvd, or the file; or pass an open
    Database as db. The rows keep their order and index.
    """
    if db is None:
        if data is None:
            raise Error("standardize_frame: name the database with data= (the folder of zip.cvd) or db=")
        db = _cached(data)
    if column not in df.columns:
        raise Error("standardize_frame: the frame has no column named %r" % (column,))
    lines = [a if isinstance(a, str) else None for a in df[column].tolist()]
    answers = db.standardize(lines)
    out = df.copy()
    for name in STANDARDIZED_FIELDS:
        out[name] = [a[name] for a in answers]
    return out


_open_databases: Dict[str, Database] = {}


def _cached(path: PathLike) -> Database:
    """The database at path, opened once per process and kept."""
    key = os.path.abspath(os.fsdecode(path))
    db = _open_databases.get(key)
    if db is None or db.closed:
        db = open(key)
        _open_databases[key] = db
    return db
