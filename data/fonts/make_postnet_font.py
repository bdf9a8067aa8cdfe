#!/usr/bin/python3
"""Draws the "Corvellan POSTNET" TrueType font.

A POSTNET barcode is printed as text: each digit character of this font is
the digit's five-bar pattern, and "|" is the single full bar that frames the
code (start and stop bar). Every other character is left out, so a text
renderer falls back to another font for it.

The geometry is chosen so that, printed at DEFAULT_SIZE points, the bars
meet the USPS POSTNET dimensions:

    bar width        0.020 in (0.015 - 0.025)
    full bar height  0.125 in (0.115 - 0.135)
    half bar height  0.050 in (0.040 - 0.060)
    bar pitch        22 bars per inch (20 - 24)

At 18 points one em is 0.25 in, so with 1000 units per em one unit is
0.00025 in: a bar is 80 units wide, a full bar 500 and a half bar 200 units
high, and each bar takes a cell of 182 units (21.98 bars per inch), the bar
centred in it. A digit is five cells wide, the frame bar one cell. The bars
stand on the baseline; the font's ascent leaves a little room above a full
bar, so a line of barcode is about 0.18 in high.

Usage: make_postnet_font.py OUTPUT.ttf   (needs Debian's python3-fontforge)

The committed font was made with SOURCE_DATE_EPOCH=1767225600 (fontforge
then writes that date into the font), so the same command gives the same
bytes:

    SOURCE_DATE_EPOCH=1767225600 data/fonts/make_postnet_font.py data/fonts/CorvellanPOSTNET.ttf
"""

import sys

import fontforge

DEFAULT_SIZE = 18          # points; the size the quick-start settings name
UNITS_PER_EM = 1000
BAR_WIDTH = 80
FULL_BAR = 500
HALF_BAR = 200
CELL = 182
ASCENT = 560
DESCENT = 140
FRAME_CHARACTER = "|"

# POSTNET: each digit is five bars, two of them full (1), three half (0).
PATTERNS = {
    "0": "11000",
    "1": "00011",
    "2": "00101",
    "3": "00110",
    "4": "01001",
    "5": "01010",
    "6": "01100",
    "7": "10001",
    "8": "10010",
    "9": "10100",
}


def draw_bars(glyph, pattern):
    """Draws one bar per pattern character, each centred in its cell."""
    pen = glyph.glyphPen()
    left_in_cell = (CELL - BAR_WIDTH) // 2
    for index, bar in enumerate(pattern):
        height = FULL_BAR if bar == "1" else HALF_BAR
        x0 = index * CELL + left_in_cell
        x1 = x0 + BAR_WIDTH
        # Clockwise outline: TrueType fills clockwise contours.
        pen.moveTo((x0, 0))
        pen.lineTo((x0, height))
        pen.lineTo((x1, height))
        pen.lineTo((x1, 0))
        pen.closePath()
    pen = None
    glyph.width = len(pattern) * CELL


def build(path):
    font = fontforge.font()
    font.encoding = "UnicodeFull"
    # The em is split 800/200 (fontforge keeps em = ascent + descent); the
    # line metrics below are set on their own.
    font.ascent = UNITS_PER_EM * 4 // 5
    font.descent = UNITS_PER_EM // 5
    font.familyname = "Corvellan POSTNET"
    font.fontname = "CorvellanPOSTNET"
    font.fullname = "Corvellan POSTNET"
    font.weight = "Regular"
    font.version = "1.0"
    font.copyright = "Corvellan project; drawn by data/fonts/make_postnet_font.py"
    font.appendSFNTName("English (US)", "Descriptor",
                        "POSTNET bars: digits 0-9 and the frame bar '|' (print at %d pt)" % DEFAULT_SIZE)

    # Line metrics: the same ascent and descent for every platform table, so
    # that the line height does not depend on which one a renderer reads.
    for prefix in ("os2_win", "os2_typo", "hhea_"):
        setattr(font, prefix + "ascent_add", 0)
        setattr(font, prefix + "descent_add", 0)
    font.os2_winascent = ASCENT
    font.os2_windescent = DESCENT
    font.os2_typoascent = ASCENT
    font.os2_typodescent = -DESCENT
    font.os2_typolinegap = 0
    font.hhea_ascent = ASCENT
    font.hhea_descent = -DESCENT
    font.hhea_linegap = 0

    notdef = font.createChar(-1, ".notdef")
    notdef.width = CELL
    space = font.createChar(ord(" "), "space")
    space.width = CELL

    for digit, pattern in PATTERNS.items():
        glyph = font.createChar(ord(digit))
        draw_bars(glyph, pattern)
    frame = font.createChar(ord(FRAME_CHARACTER))
    draw_bars(frame, "1")

    for glyph in font.glyphs():
        glyph.correctDirection()
    font.generate(path, flags=("opentype", "omit-instructions"))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: make_postnet_font.py OUTPUT.ttf")
    build(sys.argv[1])
