# corvdb.dask on a real dask.distributed cluster: two worker processes on
# the loopback interface, each opening the database itself. The answers must
# be the corvdb tool's for the same rows, in the same order.
import os

import pytest

import corvdb
import corvdb.dask
from conftest import standardize_with_tool

dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")
pd = pytest.importorskip("pandas")


def test_two_worker_processes_give_the_tools_answers(data_dir, tmp_path, address_lines):
    def worker_pids(dask_worker):
        # Nested, so that it travels by value to the workers.
        import os as o

        import corvdb as c

        return o.getpid(), sorted(c._open_databases)

    lines = address_lines * 4
    expected = standardize_with_tool(data_dir, tmp_path, lines)
    df = pd.DataFrame({"id": range(len(lines)), "address": lines})
    ddf = dd.from_pandas(df, npartitions=8)

    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None, worker_dashboard_address=None,
                                  local_directory=str(tmp_path / "dask")) as cluster, \
            distributed.Client(cluster, timeout="60s") as client:
        out = corvdb.dask.standardize(ddf, column="address", data=str(data_dir)).compute()
        seen = client.run(worker_pids)

    assert list(out["id"]) == list(range(len(lines)))
    assert out[list(corvdb.STANDARDIZED_FIELDS)].to_dict("records") == expected
    # Both workers took partitions, each with the database opened once and
    # kept; neither is this process.
    assert len(seen) == 2
    pids = {pid for pid, _ in seen.values()}
    assert len(pids) == 2 and os.getpid() not in pids
    for _, opened in seen.values():
        assert opened == [os.path.abspath(str(data_dir))]


def test_bad_arguments_fail_before_any_work(data_dir):
    ddf = dd.from_pandas(pd.DataFrame({"address": ["1 Main St"]}), npartitions=1)
    with pytest.raises(corvdb.Error, match="no column named 'street'"):
        corvdb.dask.standardize(ddf, column="street", data=str(data_dir))
    with pytest.raises(corvdb.Error, match="name the database"):
        corvdb.dask.standardize(ddf)
