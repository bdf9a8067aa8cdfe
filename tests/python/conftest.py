# Fixtures of the corvdb package tests: a small database made by the
# project's own tools (corvdb sample, corvdb build) in a temporary folder,
# and the corvdb tool to compare answers with. CTest gives the tool's path in
# CORVDB_TOOL and finds the package through PYTHONPATH (the build tree's
# python/ folder).
import csv
import os
import subprocess

import pytest


def tool():
    path = os.environ.get("CORVDB_TOOL")
    if not path:
        pytest.skip("CORVDB_TOOL is not set (run the tests through ctest)")
    return path


def run_tool(*args, check=True):
    return subprocess.run([tool(), *args], check=check, capture_output=True, text=True)


@pytest.fixture(scope="session")
def data_dir(tmp_path_factory):
    root = tmp_path_factory.mktemp("corvdb")
    run_tool("sample", "--out", str(root / "sample"), "--records", "20000", "--states", "IL,DE,PR", "--seed", "7")
    run_tool("build", "-q", "--zip4", str(root / "sample" / "zip4.txt"), "--citystate",
             str(root / "sample" / "ctystate.txt"), "--out", str(root / "db" / "zip.cvd"))
    return root / "db"


@pytest.fixture(scope="session")
def db(data_dir):
    import corvdb

    return corvdb.open(data_dir)


@pytest.fixture(scope="session")
def address_lines(db):
    """Free-form lines made from the database's own records, with typos,
    missing parts and lines that cannot match, as a list would hold them."""
    lines = []
    for i, r in enumerate(db.search(state="IL", max=400)):
        if not r["Primary"] or r["RecType"] in ("G",):
            continue
        number = r["PriLow"] or "1"
        street = r["Primary"] if r["PriLow"] == r["PriHigh"] else number + " " + r["Primary"]
        variant = i % 5
        if variant == 0:
            lines.append("%s, %s %s %s" % (street, r["City"], r["State"], r["ZipCode"]))
        elif variant == 1:
            lines.append("%s %s %s" % (street.lower(), r["City"].upper(), r["State"]))
        elif variant == 2:
            lines.append("%s, %s" % (street, r["ZipCode"]))
        elif variant == 3:
            typo = street[:-2] + street[-1] + street[-2] if len(street) > 6 else street
            lines.append("%s, %s IL" % (typo, r["City"]))
        else:
            lines.append("%s %s, %s IL %s" % (street, r["Secondary"] or "APT 9", r["City"], r["ZipCode"]))
    lines += ["", "   ", "garbage", "1 Nowhere Rd, Atlantis ZZ 00000", "12 Straße Ω, Chicago IL",
              "1 Main St, Chicago IL 60601", "PO BOX 12, 60001", "\u00c9 Main St"]
    return lines


def standardize_with_tool(data_dir, tmp_path, lines):
    """The tool's answers for `lines`: the seven appended fields per row."""
    src = tmp_path / "in.csv"
    out = tmp_path / "out.csv"
    with open(src, "w", newline="", encoding="utf-8") as f:
        w = csv.writer(f)
        w.writerow(["id", "address"])
        for i, line in enumerate(lines):
            w.writerow([i, line])
    run_tool("standardize", "--in", str(src), "--out", str(out), "--data", str(data_dir), "--threads", "1")
    with open(out, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    names = rows[0][2:]
    return [dict(zip(names, row[2:])) for row in rows[1:]]
