#!/usr/bin/env python3
"""Checks that two PDFs hold the same words in the same places.

    same_words.py WORDS1 WORDS2

WORDS1 and WORDS2 are what `pdftotext -bbox` gives for the two PDFs. Each
page must hold the same words, each within a tenth of a point of where the
other PDF has it. A glyph that stands for no character (a control byte drawn
as the font's box) is extracted differently by different PDF producers, so
such characters are left out of the words before they are compared.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "windows"))
from check_print import read_words  # noqa: E402

TOLERANCE = 0.1  # points


def readable(text):
    return "".join(c for c in text if c.isprintable() and c != "\ufffd")


def main():
    first, second = (read_words(path) for path in sys.argv[1:3])
    problems = []
    if len(first) != len(second):
        problems.append(f"{len(first)} pages against {len(second)}")
    for number, (one, other) in enumerate(zip(first, second), 1):
        one = [(w[0], w[1], readable(w[4])) for w in one if readable(w[4])]
        other = [(w[0], w[1], readable(w[4])) for w in other if readable(w[4])]
        if [w[2] for w in one] != [w[2] for w in other]:
            problems.append(f"page {number}: the words differ")
            continue
        for (x1, y1, text), (x2, y2, _) in zip(one, other):
            if abs(x1 - x2) > TOLERANCE or abs(y1 - y2) > TOLERANCE:
                problems.append(f"page {number}: {text!r} at {x1:.2f},{y1:.2f} against {x2:.2f},{y2:.2f}")
    for problem in problems:
        print("FAILED:", problem)
    print(f"{sum(len(p) for p in first)} words compared on {len(first)} pages")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
