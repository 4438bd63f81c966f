#!/usr/bin/env python3
"""Checks a real print against the trace of the same job.

    check_print.py TRACE WORDS PAGE1 DPI OFFSETX OFFSETY

TRACE is the job's trace on a TRACE printer of the real printer's geometry;
WORDS the real print's text as `pdftotext -bbox` gives it; PAGE1 its first
sheet rendered as a PPM picture (pdftoppm, any resolution); DPI and OFFSET*
what the real printer reports (LOGPIXELSX, PHYSICALOFFSETX,
PHYSICALOFFSETY).

On every sheet the words must stand where the trace drew their first
character (upright sheets: each word's left edge within half a pixel
of its character's cell, and its top the same distance above the cell's
top for every character of one size); rotated sheets must hold the same
characters. The logo must be painted inside the rectangle of its
StretchDIBits call. Glyph shapes are not looked at: the printer driver does
not stretch them to the cell width.
"""
import html
import re
import sys
from collections import defaultdict

POINTS_PER_INCH = 72.0
X_TOLERANCE = 0.06     # points: half a pixel at 600 dpi
Y_SPREAD = 0.12        # points: one pixel at 600 dpi


def decode(quoted):
    """A trace text ("\\xNN" escapes) as the characters of code page 1252."""
    raw = re.sub(r"\\x([0-9a-f]{2})", lambda m: chr(int(m.group(1), 16)), quoted)
    return raw.encode("latin-1").decode("cp1252", errors="replace")


def read_trace(path):
    """Sheets of drawn characters: (x, y, char, height, escapement), and bitmaps."""
    fonts, selected = {}, None
    sheets, bitmaps = [], []
    font_line = re.compile(r"CreateFontIndirectA height=(-?\d+) width=-?\d+ escapement=(-?\d+) .* -> (F\d+)$")
    for line in open(path, encoding="latin-1").read().splitlines():
        m = font_line.match(line)
        if m:
            fonts[m.group(3)] = (int(m.group(1)), int(m.group(2)))
            continue
        m = re.match(r"SelectObject (F\d+) -> ", line)
        if m:
            selected = m.group(1)
            continue
        if line == "StartPage":
            sheets.append([])
            continue
        m = re.match(r'TextOutA (-?\d+) (-?\d+) "(.*)"$', line)
        if m and sheets:
            height, escapement = fonts.get(selected, (0, 0))
            for char in decode(m.group(3)):
                sheets[-1].append((int(m.group(1)), int(m.group(2)), char, height, escapement))
            continue
        m = re.match(r"StretchDIBits (-?\d+) (-?\d+) (-?\d+) (-?\d+) ", line)
        if m and sheets:
            bitmaps.append((len(sheets) - 1, *map(int, m.groups())))
    return sheets, bitmaps


def read_words(path):
    pages = []
    word = re.compile(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">(.*?)</word>')
    for line in open(path, encoding="utf-8").read().splitlines():
        if "<page " in line:
            pages.append([])
        m = word.search(line)
        if m and pages:
            pages[-1].append((*map(float, m.groups()[:4]), html.unescape(m.group(5))))
    return pages


def read_ppm(path):
    data = open(path, "rb").read()
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    assert fields[0] == b"P6", "a binary PPM picture is expected"
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[at + 1:]


def main():
    trace, words_file, page1, dpi, offset_x, offset_y = sys.argv[1:7]
    dpi, offset_x, offset_y = int(dpi), int(offset_x), int(offset_y)
    scale = POINTS_PER_INCH / dpi
    sheets, bitmaps = read_trace(trace)
    pages = read_words(words_file)
    problems = []
    checked = 0
    if len(pages) != len(sheets):
        problems.append(f"{len(pages)} pages printed, the trace has {len(sheets)} sheets")
    for number, (sheet, words) in enumerate(zip(sheets, pages), 1):
        # Blanks and control characters leave no glyph that text extraction sees.
        drawn = [c for c in sheet if not c[2].isspace() and c[2].isprintable()]
        # A control byte's glyph extracts as the control character or not at
        # all, depending on the producer: like the trace's, it is not compared.
        printed = "".join(c for w in words for c in w[4] if not c.isspace() and c.isprintable())
        if sorted(printed) != sorted(c[2] for c in drawn):
            problems.append(f"sheet {number}: printed characters differ from those drawn")
        upright = [c for c in drawn if c[4] == 0]
        if not upright:
            continue
        tops = defaultdict(list)
        for x_min, y_min, _, _, text in words:
            # The character whose cell starts where the word starts.
            x = x_min / scale - offset_x
            candidates = [c for c in upright if c[2] == text[0]]
            if not candidates:
                problems.append(f"sheet {number}: no drawn {text[0]!r} for the word {text!r}")
                continue
            best = min(candidates, key=lambda c: abs(c[0] - x) + abs((c[1] + offset_y) * scale - y_min))
            if abs((best[0] + offset_x) * scale - x_min) > X_TOLERANCE:
                problems.append(f"sheet {number}: {text!r} at x {x_min:.2f} pt, its cell at "
                                f"{(best[0] + offset_x) * scale:.2f} pt")
            tops[best[3]].append(y_min - (best[1] + offset_y) * scale)
            checked += 1
        for height, gaps in tops.items():
            if max(gaps) - min(gaps) > Y_SPREAD:
                problems.append(f"sheet {number}: tops of {height}-pixel text stand "
                                f"{min(gaps):.2f} to {max(gaps):.2f} pt from their cells")
    width, height, pixels = read_ppm(page1)
    for sheet, x, y, w, h in bitmaps:
        if sheet != 0:
            continue
        # The rendering's scale from the sheet's width in points.
        per_point = width / 595.0 if abs(width / height - 595 / 842) < 0.01 else width / 612.0
        left, top = (x + offset_x) * scale * per_point, (y + offset_y) * scale * per_point
        right, bottom = left + w * scale * per_point, top + h * scale * per_point
        coloured = []
        for row in range(height):
            for column in range(width):
                r, g, b = pixels[3 * (row * width + column):3 * (row * width + column) + 3]
                if max(r, g, b) - min(r, g, b) > 60:  # the logo's colours, not black text
                    coloured.append((column, row))
        if not coloured:
            problems.append("sheet 1: the logo was not painted")
            continue
        xs = [p[0] for p in coloured]
        ys = [p[1] for p in coloured]
        if min(xs) < left - 2 or max(xs) > right + 2 or min(ys) < top - 2 or max(ys) > bottom + 2:
            problems.append(f"sheet 1: logo painted at {min(xs)},{min(ys)}-{max(xs)},{max(ys)} px, "
                            f"its rectangle {left:.0f},{top:.0f}-{right:.0f},{bottom:.0f}")
        elif (max(xs) - min(xs)) < 0.8 * (right - left) or (max(ys) - min(ys)) < 0.5 * (bottom - top):
            problems.append("sheet 1: the logo fills too little of its rectangle")
    for problem in problems:
        print("FAILED:", problem)
    print(f"{checked} words checked on {len(pages)} pages, {len(bitmaps)} logos")
    return 1 if problems or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
