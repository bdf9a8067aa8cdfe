#!/usr/bin/python3
"""db.standardize from Python against `corvdb standardize --threads 1`.

Both match the same rows on one core: the tool reads and writes CSV, the
Python run calls db.standardize on the address column (in batches, as a
DataFrame partition would) and builds the answer dicts. Prints rows per
second of each and the Python overhead in per cent (goal: at most 15).

    PYTHONPATH=build/python bench/python_standardize_bench.py \\
        --tool build/bin/corvdb [--rows 100000] [--data DIR] [--dask]

Without --data a sample database (IL, IN, OH, MI, WI; 1,000,000 records) is
made in a temporary folder. --dask also times corvdb.dask.standardize on a
LocalCluster of 1 and of 2 worker processes (answers checked against the
one-process run, in order).
"""
import argparse
import csv
import os
import random
import resource
import subprocess
import sys
import tempfile
import time

import corvdb


def make_database(tool, root):
    subprocess.run([tool, "sample", "--out", os.path.join(root, "s"), "--records", "1000000", "--states",
                    "IL,IN,OH,MI,WI", "--seed", "11"], check=True, capture_output=True)
    subprocess.run([tool, "build", "-q", "--zip4", os.path.join(root, "s", "zip4.txt"), "--citystate",
                    os.path.join(root, "s", "ctystate.txt"), "--out", os.path.join(root, "db", "zip.cvd")],
                   check=True, capture_output=True)
    return os.path.join(root, "db")


def make_lines(db, rows):
    # Lines from the database's own records, with the usual faults of a list.
    rng = random.Random(5)
    records = [r for r in db.search(state="IL", max=20000) if r["Primary"] and r["RecType"] in "SHF"]
    lines = []
    while len(lines) < rows:
        r = rng.choice(records)
        number = r["PriLow"] if r["PriLow"] == r["PriHigh"] else str(rng.randint(1, 9))
        street = r["Primary"] if r["PriLow"] == r["PriHigh"] else number + " " + r["Primary"]
        k = rng.randrange(4)
        if k == 0:
            lines.append("%s, %s %s %s" % (street, r["City"], r["State"], r["ZipCode"]))
        elif k == 1:
            lines.append("%s, %s %s" % (street.upper(), r["City"], r["State"]))
        elif k == 2:
            lines.append("%s %s" % (street, r["ZipCode"]))
        else:
            lines.append("%s, %s IL" % (street[:-1], r["City"]))
    return lines


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--tool", required=True)
    ap.add_argument("--rows", type=int, default=100000)
    ap.add_argument("--data")
    ap.add_argument("--batch", type=int, default=10000)
    ap.add_argument("--dask", action="store_true")
    args = ap.parse_args()

    with tempfile.TemporaryDirectory() as tmp:
        data = args.data or make_database(args.tool, tmp)
        db = corvdb.open(data)
        lines = make_lines(db, args.rows)
        src, out = os.path.join(tmp, "in.csv"), os.path.join(tmp, "out.csv")
        with open(src, "w", newline="") as f:
            w = csv.writer(f)
            w.writerow(["address"])
            w.writerows([line] for line in lines)
        db.standardize(lines[:1])  # the place names are read once per database, outside the timing

        # CPU seconds (user + system): the machine may be shared, and the
        # goal is per core.
        def children_cpu():
            r = resource.getrusage(resource.RUSAGE_CHILDREN)
            return r.ru_utime + r.ru_stime

        t, c = time.perf_counter(), children_cpu()
        subprocess.run([args.tool, "standardize", "--in", src, "--out", out, "--data", data, "--threads", "1"],
                       check=True, capture_output=True)
        tool_wall, tool_s = time.perf_counter() - t, children_cpu() - c

        t, c = time.perf_counter(), time.process_time()
        answers = []
        for i in range(0, len(lines), args.batch):
            answers += db.standardize(lines[i:i + args.batch])
        py_wall, py_s = time.perf_counter() - t, time.process_time() - c

        with open(out, newline="") as f:
            expected = [dict(zip(corvdb.STANDARDIZED_FIELDS, row[1:])) for row in list(csv.reader(f))[1:]]
        same = answers == expected
        print("rows: %d" % len(lines))
        print("corvdb standardize --threads 1: %.2f s CPU (%.2f s wall), %.0f rows per CPU second "
              "(includes start-up, place names and CSV)" % (tool_s, tool_wall, len(lines) / tool_s))
        print("db.standardize (1 thread):      %.2f s CPU (%.2f s wall), %.0f rows per CPU second"
              % (py_s, py_wall, len(lines) / py_s))
        print("Python overhead: %+.1f %% (goal: at most +15 %%); answers identical: %s"
              % ((py_s / tool_s - 1) * 100, same))
        if args.dask:
            bench_dask(data, lines)
        return 0 if same else 1


def bench_dask(data, lines):
    import dask.dataframe as dd
    import distributed
    import pandas as pd

    import corvdb.dask

    df = pd.DataFrame({"address": lines})
    ddf = dd.from_pandas(df, npartitions=16)
    results = {}
    for workers in (1, 2):
        with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, host="127.0.0.1",
                                      dashboard_address=None) as cluster, distributed.Client(cluster) as client:
            client.run(lambda: __import__("corvdb"))
            corvdb.dask.standardize(ddf.head(16, npartitions=16, compute=False), data=data).compute()  # warm
            t = time.perf_counter()
            results[workers] = corvdb.dask.standardize(ddf, data=data).compute()
            s = time.perf_counter() - t
            print("Dask, %d worker process(es): %.2f s, %.0f rows/s" % (workers, s, len(lines) / s))
            results[workers, "rate"] = len(lines) / s
    print("Dask speed-up 2 vs 1 workers: %.2fx; results identical and in order: %s"
          % (results[2, "rate"] / results[1, "rate"], results[1].equals(results[2])))


if __name__ == "__main__":
    sys.exit(main())
