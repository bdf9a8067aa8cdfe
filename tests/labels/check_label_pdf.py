#!/usr/bin/env python3
"""Reads back the labels LabelPrintTest printed and checks them.

check_label_pdf.py LABELS.pdf
check_label_pdf.py --sheet SHEET.pdf EXPECT.json

The PDF must have two Letter pages (quantity 2, paper size code 1), each with the attention and
address lines at the left margin (1.5 in) below the 430-twip barcode band
under the top margin (1.5 in). The POSTNET barcode of page 1 is read from a
600 dpi raster by measuring the bars: it must decode to the ZIP+4 of the
label and its correction digit, and the bars must meet the USPS dimensions.

check_label_pdf.py --serials-differ FIRST.json SECOND.json

With --sheet: labels on a sheet with Intelligent Mail barcodes, as the sheet
tests describe them in EXPECT.json (per label its page, its cell, the corner
of its text, where its bars start, in inches, libzint's bar states, and the
pitch when the label is too narrow for 24 bars to the inch). Every label's 65
bars are read from a 600 dpi raster: their states must be the expected ones,
all of them inside the label's cell, their dimensions within USPS-B-3200 and
the pitch 20 to 24 bars per inch, or the expected one within what the raster
can tell; the label's first word must start at its margin and every word
stay in its cell. Printed: the measured ranges, how far the bars stay inside
the labels, and the geometry error (mm) of bars and text against the cells.

With --serials-differ: the serial numbers of two runs' expectations (whose
bars were checked against the PDFs) have none in common.
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


def page_words(pdf, page):
    """Word boxes of a page in inches: (x_min, y_min, x_max, y_max, word)."""
    html = run("pdftotext", "-bbox", "-f", str(page), "-l", str(page), pdf, "-")
    pattern = r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>'
    return [(float(x0) / 72, float(y0) / 72, float(x1) / 72, float(y1) / 72, w)
            for x0, y0, x1, y1, w in re.findall(pattern, html)]


def span(values):
    return max(values) - min(values) if values else 0.0


def check_sheet(pdf, expect_path):
    expect = json.loads(Path(expect_path).read_text())
    info = run("pdfinfo", pdf)
    pages = int(re.search(r"^Pages:\s+(\d+)", info, re.M).group(1))
    want_pages = max(label["page"] for label in expect["labels"])
    check(pages == want_pages, f"{pages} pages, expected {want_pages}")
    size = re.search(r"^Page size:\s+([\d.]+) x ([\d.]+) pts", info, re.M)
    check(abs(float(size.group(1)) - 612) < 1 and abs(float(size.group(2)) - 792) < 1,
          f"page size {size.group(0)}, expected Letter (612 x 792 pts)")
    per_page = {}
    for label in expect["labels"]:
        per_page[label["page"]] = per_page.get(label["page"], 0) + 1
    images = {}
    words = {}
    measured = {"width": [], "F": [], "A": [], "D": [], "T": [], "pitch": []}
    bars_error_mm = 0.0          # bars against where the program puts them
    text_x_error_mm = 0.0        # first word against the label's left margin
    text_y_in_cell = []          # first word's top below its cell's top: the same on every label
    inside_mm = []               # room between the bars and the label's edges
    labels_found = {}
    for n, label in enumerate(expect["labels"], 1):
        page = label["page"]
        if page > pages:
            continue
        if page not in images:
            images[page] = raster(pdf, page)
            words[page] = page_words(pdf, page)
        # From a little left of the label to half-way into the gap after it:
        # bars off the label are found too.
        bars = imb_bars(images[page], min(label["bars_x"], label["cell_left"]), label["y"],
                        label["cell_right"] + 0.075)
        if not check(len(bars) == 65, f"label {n}: {len(bars)} bars, expected 65"):
            continue
        labels_found[page] = labels_found.get(page, 0) + 1
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
        # Every bar on the label: a bar off it is lost when the label is peeled.
        left_in = bars[0]["left"] / DPI
        right_in = (bars[-1]["left"] + bars[-1]["width"]) / DPI
        inside_mm.extend([(left_in - label["cell_left"]) * 25.4, (label["cell_right"] - right_in) * 25.4])
        check(left_in >= label["cell_left"] and right_in <= label["cell_right"],
              f"label {n}: bars from {left_in:.3f} to {right_in:.3f} in, the label from "
              f"{label['cell_left']:.3f} to {label['cell_right']:.3f} in")
        pitch = 64 / ((bars[-1]["left"] - bars[0]["left"]) / DPI)
        measured["pitch"].append(pitch)
        if "pitch" in label:
            # A label narrower than the barcode at 24 to the inch: exactly the
            # pitch that keeps the bars on it, within two pixels over the span.
            tolerance = label["pitch"] ** 2 / 64 * 2 / DPI
            check(abs(pitch - label["pitch"]) <= tolerance,
                  f"label {n}: {pitch:.3f} bars/in, expected {label['pitch']:.3f} (+-{tolerance:.3f})")
            want_right = label["bars_x"] + 64 / label["pitch"] + 0.020
            bars_error_mm = max(bars_error_mm, abs(right_in - want_right) * 25.4)
        else:
            check(20 <= pitch <= 24, f"label {n}: {pitch:.3f} bars/in, limits 20 to 24")
        bars_error_mm = max(bars_error_mm, abs(left_in - label["bars_x"]) * 25.4, abs(top / DPI - label["y"]) * 25.4)
        # The digits under the bars, when asked for: the groups in order,
        # on one line below the bars and above the address.
        if "digits" in label:
            groups = label["digits"].split()
            row = [w for x, y, _, _, w in sorted(words[page]) if label["bars_x"] - 0.05 < x < label["cell_right"]
                   and label["y"] + 0.145 < y < label["y"] + BAND_IN]
            check(row == groups, f"label {n}: digits {row!r} under the bars, expected {groups!r}")
        # The label's text: its first word at the label's left margin, below
        # the band, and every word that starts on the label ends on it.
        candidates = [(x, y) for x, y, _, _, w in words[page] if w == label["first_word"]
                      and abs(x - label["x"]) < 0.1 and 0 < y - label["y"] < 1]
        if check(len(candidates) == 1, f"label {n}: '{label['first_word']}' found {len(candidates)} times"):
            x, y = candidates[0]
            error = abs(x - label["x"]) * 25.4
            text_x_error_mm = max(text_x_error_mm, error)
            text_y_in_cell.append(y - label["cell_top"])
            check(error < 1.0, f"label {n}: text starts {error:.2f} mm off the label margin")
            check(y > label["y"] + BAND_IN, f"label {n}: text at {y:.3f} in runs into the barcode band")
        for x0, y0, x1, y1, w in words[page]:
            if label["cell_left"] <= x0 < label["cell_right"] and label["cell_top"] <= y0 < label["cell_bottom"]:
                check(x1 <= label["cell_right"] + 0.01 and y1 <= label["cell_bottom"] + 0.01,
                      f"label {n}: '{w}' runs off the label ({x1:.3f}, {y1:.3f} in)")
    for page, count in sorted(per_page.items()):
        check(labels_found.get(page, 0) == count, f"page {page}: {labels_found.get(page, 0)} labels read, expected {count}")
    limits = {"width": (0.015, 0.025), "F": (0.125, 0.165), "A": (0.085, 0.115), "D": (0.085, 0.115),
              "T": (0.039, 0.057)}
    for key, (low, high) in limits.items():
        values = measured[key]
        if values:
            check(low <= min(values) and max(values) <= high,
                  f"{key}: {min(values):.4f} to {max(values):.4f}, limits {low} to {high}")
    summary = ", ".join(f"{key} {min(v):.4f}-{max(v):.4f}" for key, v in measured.items() if v)
    pages_text = " + ".join(str(per_page[p]) for p in sorted(per_page))
    print(f"sheet: {len(expect['labels'])} labels on {pages} pages ({pages_text}); measured (in, bars/in): {summary}")
    if inside_mm:
        print(f"sheet: bars inside the label: {min(inside_mm):.2f} mm from its edge at the least")
    print(f"sheet: geometry error: bars {bars_error_mm:.2f} mm from where they belong; label text "
          f"{text_x_error_mm:.2f} mm across from the cell's margin, {span(text_y_in_cell) * 25.4:.2f} mm "
          f"spread down (the same line on every cell)")


def check_serials_differ(first_path, second_path):
    """Two runs on one settings file: no serial number of the second is one of the first."""
    runs = [[label["serial"] for label in json.loads(Path(path).read_text())["labels"]]
            for path in (first_path, second_path)]
    for path, serials in zip((first_path, second_path), runs):
        check(len(set(serials)) == len(serials), f"{path}: a serial number twice in one run")
    both = sorted(set(runs[0]) & set(runs[1]))
    check(not both, f"serial numbers of both runs: {both}")
    print(f"serials: first run {min(runs[0])}-{max(runs[0])}, second run {min(runs[1])}-{max(runs[1])}")


def main():
    if sys.argv[1] == "--serials-differ":
        check_serials_differ(sys.argv[2], sys.argv[3])
        for failure in failures:
            print("FAIL:", failure)
        print("serials: all differ" if not failures else f"serials: {len(failures)} checks failed")
        sys.exit(1 if failures else 0)
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
