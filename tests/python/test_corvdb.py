# The corvdb package against the corvdb tool on the same database: lookups,
# searches, standardized lines, errors, and several threads on one database.
import os
import re
import threading
from pathlib import Path

import pytest

import corvdb
from conftest import run_tool, standardize_with_tool

SOURCE_DIR = Path(__file__).resolve().parents[2]


def test_record_fields_are_the_export_file_columns():
    # The program's File, Export header, as its source lists it.
    text = (SOURCE_DIR / "app" / "core" / "result_export.cpp").read_text()
    block = text[text.index("kColumns{{"):text.index("}};", text.index("kColumns{{"))]
    assert tuple(re.findall(r'\{"([^"]+)",', block)) == corvdb.RECORD_FIELDS
    assert corvdb.STANDARDIZED_FIELDS == ("std_delivery_line", "std_city", "std_state", "std_zip4",
                                          "std_record_type", "match_code", "match_reason")


def tool_search(data_dir, *args):
    """The tool's lines: where | firm | primary range | street | unit | city | state | rank."""
    done = run_tool("search", "--data", str(data_dir), *args, check=False)
    assert done.returncode in (0, 1), done.stderr
    return [[f.strip() for f in line.split(" | ")] for line in done.stdout.splitlines()]


def where(r):
    if r["ZipLow"] == r["ZipHigh"]:
        return "%s-%s" % (r["ZipCode"], r["ZipLow"])
    return "%s %s-%s" % (r["ZipCode"], r["ZipLow"], r["ZipHigh"])


def span(low, high, code):
    s = low if low == high else "%s-%s" % (low, high)
    return (s + " " + code).strip() if code else s


@pytest.mark.parametrize("conditions", [
    {"state": "DE"},
    {"street": "MAIN"},
    {"street": "MAIN ST", "exact": True},
    {"city": "CHICAGO", "number": "100"},
    {"zip": "600*"},
    {"firm": "A"},
    {"state": "PR", "unit": "APT"},
    {"street": "NO SUCH STREET NAME"},
])
def test_search_agrees_with_the_tool(db, data_dir, conditions):
    args = []
    for k, v in conditions.items():
        args += ["--" + k] if v is True else ["--" + k, v]
    expected = tool_search(data_dir, *args, "--max", "300")
    found = list(db.search(max=300, **conditions))
    assert len(found) == len(expected)
    for r, line in zip(found, expected):
        assert set(r) == set(corvdb.RECORD_FIELDS)
        assert [where(r), r["Recipient"], span(r["PriLow"], r["PriHigh"], r["Pri-OE"]), r["City"], r["State"]] == \
            [line[0], line[1], line[2], line[5], line[6]]
        if r["PriLow"] == r["PriHigh"] and r["PriLow"] and r["RecType"] != "P":
            assert r["Primary"] == r["PriLow"] + " " + line[3]


def test_search_max_and_laziness(db):
    first = list(db.search(state="IL", max=5))
    assert len(first) == 5
    it = db.search(state="IL")
    assert [next(it) for _ in range(5)] == first
    assert len(list(db.search(state="IL", max=0))) > 300  # 0: no limit


def test_lookup_agrees_with_the_tool(db, data_dir):
    seen = 0
    for r in db.search(state="IL", max=200):
        if r["ZipLow"] != r["ZipHigh"] or not r["ZipLow"].isdigit():
            continue
        zip4 = "%s-%s" % (r["ZipCode"], r["ZipLow"])
        records = db.lookup(zip4)
        assert records and db.lookup(zip4.replace("-", "")) == records
        for n, rec in enumerate(records, 1):
            out = run_tool("lookup", zip4, str(n), "--data", str(data_dir)).stdout
            fields = dict(line.split(":", 1) for line in out.splitlines() if ":" in line)
            fields = {k.strip(): v.strip() for k, v in fields.items()}
            assert out.splitlines()[-1] == "%d of %d" % (n, len(records))
            assert (rec["Recipient"], rec["City"], rec["State"], rec["ZipCode"], rec["RecType"], rec["SecLow"],
                    rec["PriLow"], rec["PriHigh"]) == \
                (fields["firm"], fields["city"], fields["state"], fields["zip"], fields["record type"],
                 fields["unit low"], fields["primary low"], fields["primary high"])
            assert rec["Plus4"] == r["ZipLow"]
        seen += 1
        if seen == 10:
            break
    assert seen == 10
    assert db.lookup("00000-0000") == []


def test_standardize_is_the_tools_answer(db, data_dir, tmp_path, address_lines):
    expected = standardize_with_tool(data_dir, tmp_path, address_lines)
    got = db.standardize(address_lines)
    assert got == expected
    codes = {a["match_code"] for a in got}
    assert {"exact", "corrected", "not found", "error"} <= codes, codes


def test_standardize_frame(db, data_dir, address_lines):
    pd = pytest.importorskip("pandas")
    df = pd.DataFrame({"address": address_lines + [None, float("nan")], "n": range(len(address_lines) + 2)},
                      index=range(100, 100 + len(address_lines) + 2))
    out = corvdb.standardize_frame(df, data=data_dir)
    assert list(out.columns) == ["address", "n", *corvdb.STANDARDIZED_FIELDS]
    assert list(out.index) == list(df.index)
    assert list(df.columns) == ["address", "n"]  # the input is left alone
    answers = db.standardize(address_lines + ["", ""])
    assert out[list(corvdb.STANDARDIZED_FIELDS)].to_dict("records") == answers
    with pytest.raises(corvdb.Error, match="no column named 'street'"):
        corvdb.standardize_frame(df, column="street", data=data_dir)


def empty_file(tmp_path):
    path = tmp_path / "empty.cvd"
    path.write_bytes(b"")
    return path


def damaged_copy(data_dir, tmp_path):
    raw = bytearray((data_dir / "zip.cvd").read_bytes())
    raw[0:4] = b"\xff\xff\xff\x7f"  # the directory offset points past the end
    path = tmp_path / "damaged.cvd"
    path.write_bytes(bytes(raw))
    return path


@pytest.mark.parametrize("make, message", [
    (lambda d, t: t / "missing" / "zip.cvd", "no such file"),
    (lambda d, t: t, "zip.cvd: no such file"),  # a folder without zip.cvd
    (lambda d, t: empty_file(t), "too short"),
    (damaged_copy, "damaged"),
    (lambda d, t: "", "no data file named"),
])
def test_open_errors(data_dir, tmp_path, make, message):
    path = make(data_dir, tmp_path)
    with pytest.raises(corvdb.Error, match=message) as e:
        corvdb.open(path)
    if str(path):
        assert str(path) in str(e.value)


@pytest.mark.parametrize("call, message", [
    (lambda db: db.lookup("6278"), "not a ZIP[+]4"),
    (lambda db: db.lookup("62781-97"), "not a ZIP[+]4"),
    (lambda db: db.lookup(62781), "is text"),
    (lambda db: db.search(), "at least one of"),
    (lambda db: db.search(street="  "), "at least one of"),
    (lambda db: db.search(zip="12a"), "zip: a ZIP code is 1 to 5 digits"),
    (lambda db: db.search(zip="123456"), "zip: a ZIP code"),
    (lambda db: db.search(state="ILL"), "state: a state is one or two letters"),
    (lambda db: db.search(number="ABC"), "number: a house number"),
    (lambda db: db.search(city="X" * 29), "city: at most 28 characters"),
    (lambda db: db.search(street="\u4e2d"), "street: a character outside Latin-1"),
    (lambda db: db.search(state="IL", max=-1), "max: must be 0"),
    (lambda db: db.search(state="IL", max="3"), "max is a whole number"),
    (lambda db: db.standardize("1 Main St"), "a list of address lines"),
    (lambda db: db.standardize(["1 Main St", 5]), "address 1 is int"),
])
def test_bad_arguments(db, call, message):
    with pytest.raises(corvdb.Error, match=message):
        call(db)


def test_closed_database(data_dir):
    with corvdb.open(str(data_dir / "zip.cvd")) as db:
        running = db.search(state="IL")
        first = next(running)
    assert db.closed
    for call in (lambda: db.lookup("60001-0001"), lambda: db.search(state="IL"), lambda: db.standardize(["x"])):
        with pytest.raises(corvdb.Error, match="is closed"):
            call()
    assert next(running) != first  # a running search keeps its reader


def test_threads_share_one_database(db, address_lines):
    # Every thread works at once on the same Database; each answer must be
    # the one a lone caller gets.
    lines = address_lines * 3
    alone = db.standardize(lines)
    searched = list(db.search(state="IL", max=500))
    zips = [where(r).replace(" ", "-")[:10] for r in searched if r["ZipLow"] == r["ZipHigh"]][:100]
    looked = [db.lookup(z) for z in zips]
    results, errors = {}, []
    barrier = threading.Barrier(6)

    def work(k):
        try:
            barrier.wait()
            for _ in range(3):
                if k % 3 == 0:
                    assert db.standardize(lines) == alone
                elif k % 3 == 1:
                    assert list(db.search(state="IL", max=500)) == searched
                else:
                    assert [db.lookup(z) for z in zips] == looked
            results[k] = True
        except Exception as e:  # reported below, with the thread
            errors.append((k, e))

    threads = [threading.Thread(target=work, args=(k,)) for k in range(6)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=300)
    assert not errors
    assert len(results) == 6


def test_help_documents_every_call():
    for obj in (corvdb, corvdb.open, corvdb.standardize_frame, corvdb.Database, corvdb.Database.lookup,
                corvdb.Database.search, corvdb.Database.standardize, corvdb.Database.close):
        assert obj.__doc__ and len(obj.__doc__.strip()) > 20, obj
    stubs = (SOURCE_DIR / "python" / "corvdb" / "__init__.pyi").read_text()
    for name in corvdb.__all__:
        assert re.search(r"^(class |def )?%s\b" % name, stubs, re.M), name
