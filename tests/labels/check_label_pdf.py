#!/usr/bin/env python3
"""Reads back the labels LabelPrintTest printed and checks them.

check_label_pdf.py LABELS.pdf
check_label_pdf.py --sheet SHEET.pdf EXPECT.json

The PDF must have two Letter pages (quantity 2, paper size code 1), each with the attention and
address lines at the left margin (1.5 in) below the 430-twip barcode band
under the top margin (1.5 in). The POSTNET barcode of page 1 is read from a
600 dpi raster by measuring the bars: it must decode to the ZIP+4 of the
label and its correction digit, and the bars must meet the USPS dimensions.

With --sheet: labels on a sheet with Intelligent Mail barcodes, as
LabelSheetPrintTest describes them in EXPECT.json (per label its page, the
top-left corner of its barcode and text in inches, and libzint's bar states).
Every label's 65 bars are read from a 600 dpi raster at that corner: their
states must be the expected ones and their dimensions within USPS-B-3200;
the label's first word must start at that corner. The measured dimensions
and the largest position error (mm) are printed.
Uses poppler-utils only (pdfinfo, pdftotext, pdftoppm).
"""

import json

import re
import subprocess
import sys
import tempfile
from pathlib import Path

ZIP_PLUS4 = "123451002"
# The POSTNET correction digit brings the digit sum to a multiple of 10.
BARCODE_DIGITS = ZIP_PLUS4 + str((10 - sum(map(int, ZIP_PLUS4)) % 10) % 10)
LINES = ["Attn: Receiving", "Acme Tool Co", "150 Main St", "Springfield IL 12345-1002"]
LEFT_IN = 1.5
TOP_IN = 1.5
BAND_IN = 430 / 1440
DPI = 600

PATTERNS = {"11000": 0, "00011": 1, "00101": 2, "00110": 3, "01001": 4,
            "01010": 5, "01100": 6, "10001": 7, "10010": 8, "10100": 9}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def read_pgm(path):
    data = Path(path).read_bytes()
    # P5 <width> <height> <maxval> then one byte per pixel.
    header = re.match(rb"P5\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
    width, height = int(header.group(1)), int(header.group(2))
    pixels = data[header.end():]
    return width, height, pixels


def check_text(pdf, pages):
    for page in range(1, pages + 1):
        text = run("pdftotext", "-layout", "-f", str(page), "-l", str(page), pdf, "-")
        # The PostScript round trip of cups-pdf loses the text of ligature
        # glyphs ("fi" in Springfield reads as an unknown character).
        text = re.sub(r"[\x00-\x08]", "fi", text)
        rows = [row.strip() for row in text.splitlines() if row.strip()]
        found = [row for row in rows if row in LINES]
        check(found == LINES, f"page {page}: address lines {rows!r}, expected {LINES!r}")

    for page in range(1, pages + 1):
        check_positions(pdf, page)


def check_positions(pdf, page):
    # Word boxes (points): every line starts at the left margin, the first one
    # a label line below the barcode band; each page starts at the top again.
    html = run("pdftotext", "-bbox", "-f", str(page), "-l", str(page), pdf, "-")
    words = [(float(x), float(y), w) for x, y, w in
             re.findall(r'<word xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>([^<]*)</word>', html)]
    band_end = (TOP_IN + BAND_IN) * 72
    barcode = [w for w in words if w[1] < band_end]
    check([w[2] for w in barcode] == ["|" + BARCODE_DIGITS + "|"], f"page {page}: the barcode band holds {barcode!r}")
    starts = {}
    for x, y, word in words:
        # Leave out the barcode, and ligature glyphs whose text was lost.
        if y < band_end or not word.strip() or not word.isprintable():
            continue
        line = round(y)
        if line not in starts or x < starts[line][0]:
            starts[line] = (x, y, word)
    for x, y, word in starts.values():
        check(abs(x - LEFT_IN * 72) < 2.5, f"page {page}: line starting '{word}' at x={x:.1f}pt, margin {LEFT_IN * 72}pt")
    first = min(starts.values(), key=lambda s: s[1]) if starts else (0, 0, "")
    check(band_end < first[1] < band_end + 36,
          f"page {page}: first line '{first[2]}' at y={first[1]:.1f}pt, expected one line below {band_end:.1f}pt")


def find_bars(pdf):
    with tempfile.TemporaryDirectory() as tmp:
        run("pdftoppm", "-r", str(DPI), "-gray", "-f", "1", "-l", "1", pdf, f"{tmp}/page")
        width, height, pixels = read_pgm(next(Path(tmp).glob("page*.pgm")))
    top = int((TOP_IN - 0.05) * DPI)
    bottom = int((TOP_IN + BAND_IN) * DPI)
    columns = []  # per column: (top dark row, bottom dark row) in the band, or None
    for x in range(width):
        rows = [y for y in range(top, bottom) if pixels[y * width + x] < 128]
        columns.append((rows[0], rows[-1]) if rows else None)
    bars = []
    x = 0
    while x < width:
        if columns[x] is None:
            x += 1
            continue
        start = x
        while x < width and columns[x] is not None:
            x += 1
        tops = sorted(columns[c][0] for c in range(start, x))
        bottoms = sorted(columns[c][1] for c in range(start, x))
        # Height of the bar's middle column: edge columns may be anti-aliased.
        height_px = bottoms[len(bottoms) // 2] - tops[len(tops) // 2] + 1
        bars.append({"left": start, "width": x - start, "height": height_px})
    return bars


def check_barcode(pdf):
    bars = find_bars(pdf)
    if not check(len(bars) == 52, f"{len(bars)} bars in the barcode band, expected 52 (frame + 10 digits + frame)"):
        return
    full = [bar["height"] / DPI > 0.0875 for bar in bars]
    check(full[0] and full[-1], "the frame bars are full bars")
    digits = []
    for i in range(10):
        pattern = "".join("1" if f else "0" for f in full[1 + 5 * i:6 + 5 * i])
        digits.append(PATTERNS.get(pattern))
    decoded = "".join("?" if d is None else str(d) for d in digits)
    check(None not in digits, f"undecodable digit in {decoded}")
    check(decoded == BARCODE_DIGITS, f"barcode reads {decoded}, expected {BARCODE_DIGITS}")
    check(None in digits or sum(digits) % 10 == 0, "digits and correction digit sum to a multiple of 10")

    for bar, is_full in zip(bars, full):
        w = bar["width"] / DPI
        h = bar["height"] / DPI
        check(0.015 <= w <= 0.025, f"bar width {w:.4f} in")
        if is_full:
            check(0.115 <= h <= 0.135, f"full bar height {h:.4f} in")
        else:
            check(0.040 <= h <= 0.060, f"half bar height {h:.4f} in")
    span = (bars[-1]["left"] - bars[0]["left"]) / DPI
    per_inch = (len(bars) - 1) / span
    check(20 <= per_inch <= 24, f"{per_inch:.2f} bars per inch")
    check(abs(bars[0]["left"] / DPI - LEFT_IN) < 0.05, f"barcode starts at {bars[0]['left'] / DPI:.3f} in")
    widths = sorted(bar["width"] for bar in bars)
    print(f"barcode {decoded}: bar width {widths[len(widths) // 2] / DPI:.4f} in, "
          f"full {max(b['height'] for b in bars) / DPI:.4f} in, "
          f"half {min(b['height'] for b in bars) / DPI:.4f} in, {per_inch:.2f} bars/in")


def raster(pdf, page):
    with tempfile.TemporaryDirectory() as tmp:
        run("pdftoppm", "-r", str(DPI), "-gray", "-f", str(page), "-l", str(page), pdf, f"{tmp}/page")
        return read_pgm(next(Path(tmp).glob("page*.pgm")))


def imb_bars(image, x_in, y_in, right_in):
    """Bars in the barcode band from (x_in, y_in) to right_in (inches)."""
    width, height, pixels = image
    left, right = int((x_in - 0.03) * DPI), min(width, int(right_in * DPI))
    # Down to just below the full bars: the digits may follow under them.
    top, bottom = int((y_in - 0.03) * DPI), int((y_in + 0.16) * DPI)
    columns = []
    for x in range(left, right):
        rows = [y for y in range(top, bottom) if pixels[y * width + x] < 128]
        columns.append((rows[0], rows[-1]) if rows else None)
    bars = []
    i = 0
    while i < len(columns):
        if columns[i] is None:
            i += 1
            continue
        start = i
        while i < len(columns) and columns[i] is not None:
            i += 1
        tops = sorted(columns[c][0] for c in range(start, i))
        bottoms = sorted(columns[c][1] for c in range(start, i))
        bars.append({"left": left + start, "width": i - start,
                     "top": tops[len(tops) // 2], "bottom": bottoms[len(bottoms) // 2]})
    return bars


def check_sheet(pdf, expect_path):
    expect = json.loads(Path(expect_path).read_text())
    info = run("pdfinfo", pdf)
    pages = int(re.search(r"^Pages:\s+(\d+)", info, re.M).group(1))
    want_pages = max(label["page"] for label in expect["labels"])
    check(pages == want_pages, f"{pages} pages, expected {want_pages}")
    size = re.search(r"^Page size:\s+([\d.]+) x ([\d.]+) pts", info, re.M)
    check(abs(float(size.group(1)) - 612) < 1 and abs(float(size.group(2)) - 792) < 1,
          f"page size {size.group(0)}, expected Letter (612 x 792 pts)")
    images = {}
    words = {}
    measured = {"width": [], "F": [], "A": [], "D": [], "T": [], "pitch": []}
    position_error_mm = 0.0
    right_edges = []
    for n, label in enumerate(expect["labels"], 1):
        page = label["page"]
        if page > pages:
            continue
        if page not in images:
            images[page] = raster(pdf, page)
            html = run("pdftotext", "-bbox", "-f", str(page), "-l", str(page), pdf, "-")
            words[page] = [(float(x), float(y), w) for x, y, w in
                           re.findall(r'<word xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>([^<]*)</word>', html)]
        # Up to half-way into the gap before the next label.
        bars = imb_bars(images[page], label["bars_x"], label["y"], label["cell_right"] + 0.075)
        if not check(len(bars) == 65, f"label {n}: {len(bars)} bars, expected 65"):
            continue
        top = min(b["top"] for b in bars)
        bottom = max(b["bottom"] for b in bars)
        slack = 0.015 * DPI
        states = ""
        for bar in bars:
            up = bar["top"] - top < slack
            down = bottom - bar["bottom"] < slack
            state = "F" if up and down else "A" if up else "D" if down else "T"
            states += state
            measured["width"].append(bar["width"] / DPI)
            measured[state].append((bar["bottom"] - bar["top"] + 1) / DPI)
        check(states == label["bars"], f"label {n}: bars read {states}, libzint gives {label['bars']}")
        right_edges.append((label, (bars[-1]["left"] + bars[-1]["width"]) / DPI))
        measured["pitch"].append(64 / ((bars[-1]["left"] - bars[0]["left"]) / DPI))
        position_error_mm = max(position_error_mm, abs(bars[0]["left"] / DPI - label["bars_x"]) * 25.4,
                                abs(top / DPI - label["y"]) * 25.4)
        # The digits under the bars, when asked for: the groups in order,
        # on one line below the bars and above the address.
        if "digits" in label:
            groups = label["digits"].split()
            row = [w for x, y, w in sorted(words[page]) if label["bars_x"] - 0.05 < x / 72 < label["cell_right"]
                   and label["y"] + 0.145 < y / 72 < label["y"] + BAND_IN]
            check(row == groups, f"label {n}: digits {row!r} under the bars, expected {groups!r}")
        # The label's text: its first word at the label's left margin, below the band.
        candidates = [(x, y) for x, y, w in words[page] if w == label["first_word"]
                      and abs(x / 72 - label["x"]) < 0.5 and 0 < y / 72 - label["y"] < 1]
        if check(len(candidates) == 1, f"label {n}: '{label['first_word']}' found {len(candidates)} times"):
            x, y = candidates[0]
            error = abs(x / 72 - label["x"]) * 25.4
            position_error_mm = max(position_error_mm, error)
            check(error < 1.0, f"label {n}: text starts {error:.2f} mm off the label margin")
            check(y / 72 > label["y"] + BAND_IN, f"label {n}: text at {y / 72:.3f} in runs into the barcode band")
    limits = {"width": (0.015, 0.025), "F": (0.125, 0.165), "A": (0.085, 0.115), "D": (0.085, 0.115),
              "T": (0.039, 0.057), "pitch": (20, 24)}
    for key, (low, high) in limits.items():
        values = measured[key]
        if values:
            check(low <= min(values) and max(values) <= high,
                  f"{key}: {min(values):.4f} to {max(values):.4f}, limits {low} to {high}")
    summary = ", ".join(f"{key} {min(v):.4f}-{max(v):.4f}" for key, v in measured.items() if v)
    overhang = max((bars_right - label["cell_right"]) for label, bars_right in right_edges) if right_edges else 0
    print(f"sheet: bars overhang the label's right edge by up to {overhang * 25.4:.2f} mm")
    print(f"sheet: {len(expect['labels'])} labels; measured (in, bars/in): {summary}; "
          f"largest position error {position_error_mm:.2f} mm")


def main():
    if sys.argv[1] == "--sheet":
        check_sheet(sys.argv[2], sys.argv[3])
        for failure in failures:
            print("FAIL:", failure)
        print("sheet PDF: all checks passed" if not failures else f"sheet PDF: {len(failures)} checks failed")
        sys.exit(1 if failures else 0)
    pdf = sys.argv[1]
    info = run("pdfinfo", pdf)
    pages = int(re.search(r"^Pages:\s+(\d+)", info, re.M).group(1))
    check(pages == 2, f"{pages} pages, expected 2")
    size = re.search(r"^Page size:\s+([\d.]+) x ([\d.]+) pts", info, re.M)
    check(abs(float(size.group(1)) - 612) < 1 and abs(float(size.group(2)) - 792) < 1,
          f"page size {size.group(0)}, expected Letter (612 x 792 pts)")
    check_text(pdf, min(pages, 2))
    check_barcode(pdf)
    for failure in failures:
        print("FAIL:", failure)
    print("label PDF: all checks passed" if not failures else f"label PDF: {len(failures)} checks failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
