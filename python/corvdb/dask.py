"""corvdb.dask: standardizing a Dask DataFrame on a cluster.

Each worker process opens the database once (from its own local disk) and
keeps it for every partition it handles::

    import dask.dataframe as dd
    import corvdb.dask
    ddf = dd.read_csv("/shared/list-*.csv", dtype=str, keep_default_na=False)
    out = corvdb.dask.standardize(ddf, column="address", data="/srv/corvellan")
    out.to_parquet("/shared/cleaned/")
"""

from __future__ import annotations

from typing import Any

import corvdb

__all__ = ["standardize"]


def _standardize_partition(df: Any, column: str, data: str) -> Any:
    # Runs on a worker: the database comes from the process's cache.
    return corvdb.standardize_frame(df, column=column, db=corvdb._cached(data))


def standardize(ddf: Any, column: str = "address", data: Any = None) -> Any:
    """A Dask DataFrame with the seven corvdb.STANDARDIZED_FIELDS columns added.

    column: the column holding the address lines. data: the folder of
    zip.cvd (or the file) as every worker sees it: each worker process opens
    it at its first partition and keeps it open. Lazy, like every Dask
    operation: compute(), to_csv() or to_parquet() runs it. The partitions
    and the row order stay as they are.
    """
    if data is None:
        raise corvdb.Error("corvdb.dask.standardize: name the database with data= (the folder of zip.cvd)")
    if column not in ddf.columns:
        raise corvdb.Error("corvdb.dask.standardize: the frame has no column named %r" % (column,))
    import pandas as pd

    meta = ddf._meta.copy()
    for name in corvdb.STANDARDIZED_FIELDS:
        meta[name] = pd.Series([], dtype=object)
    import os

    return ddf.map_partitions(_standardize_partition, column, os.fsdecode(data), meta=meta)
