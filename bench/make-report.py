#!/usr/bin/env python3
"""Writes a report like the ones hosts print, for the benchmark.

    make-report.py KIND PAGES OUT.txt

KIND "realistic": a ledger of invoices, page after page: a double-height
heading (FSIZ) on every page, a logo on the first, dates, invoice numbers,
names and words of an invoice vocabulary with the accented letters of code
page 1252, amounts right-aligned in columns, bold switched on and off inside
the lines (about two switches a line), and every tenth page rotated. Drawn
from a fixed seed, so every run writes the same bytes.

KIND "repeated": one 80-character line on every line of every page, an
escape sequence at the start of each, every tenth line bold: the best case,
which compresses to almost nothing.

Besides OUT.txt it writes OUT.plain (the same text without the escape
sequences, code page 1252), OUT.utf8 (that text in UTF-8) and OUT.ascii
(its accents dropped, for texttopdf's default charset, which is ASCII), for
the programs that read plain text.
"""
import random
import re
import sys
import unicodedata

ESC = "\x1b"
LINES = 66

WORDS = (
    "invoice credit note payment due balance account ledger item quantity unit price "
    "discount tax total subtotal carried forward delivery order shipment freight "
    "insurance service maintenance licence rental deposit refund interest fee "
    "commission advance instalment settlement receipt voucher journal entry "
    "café crème pâté façade naïve résumé entrée déjà señor niño Müller Größe "
    "straße Köln Zürich Göteborg Århus Øresund Ålesund Kraków Málaga São João"
).split()
GIVEN = "Anna Béla Csaba Dóra Émile François Jürgen Søren Ågot Ramón Inês Zoë Noël Chloé".split()
FAMILY = ("Kovács Nagy Müller Schäfer Dupont Lefèvre Andersen Sørensen García Muñoz "
          "Gonçalves Brontë Løvland Ödegaard Fischer").split()


def amount(rng):
    value = rng.randrange(100, 5_000_000)
    return f"{value // 100:,}.{value % 100:02d}"


def body_line(rng, page, line):
    """One ledger line of at most 80 characters with two bold switches."""
    day = f"2026-{rng.randrange(1, 13):02d}-{rng.randrange(1, 29):02d}"
    number = f"INV-{page:05d}-{line:02d}"
    name = f"{rng.choice(GIVEN)} {rng.choice(FAMILY)}"
    words = " ".join(rng.choice(WORDS) for _ in range(rng.randrange(2, 5)))
    quantity = str(rng.randrange(1, 500))
    money = amount(rng)
    left = f"{day} {number} "
    middle = f"{name}, {words}"
    right = f"{quantity:>5} {money:>14}"
    room = 80 - len(left) - len(right) - 1
    middle = middle[:room].ljust(room)
    # Bold on the name, or on the amount: on and off inside the line.
    if rng.random() < 0.5:
        return f"{left}{ESC}B{middle[:len(name)]}{ESC}N{middle[len(name):]} {right}"
    return f"{left}{middle} {right[:6]}{ESC}B{right[6:]}{ESC}N"


def realistic(pages):
    rng = random.Random(20261209)
    out = []
    for page in range(1, pages + 1):
        rotated = page % 10 == 0
        lines = []
        if rotated:
            lines.append(f"{ESC}V")
        # The heading is twice as high, and so is the step to the next line.
        heading = f"{ESC}H{ESC}D{ESC}BLEDGER OF INVOICES, page {page}{ESC}N{ESC}h"
        if page == 1:
            heading = f"{ESC}G:1500,50,400,200;" + heading
        lines.append(heading)
        lines.append(f"{ESC}P" + "-" * 80)
        # Rotated, the lines run across the long side of the sheet, which
        # holds fewer of them.
        count = 44 if rotated else LINES - 4
        for line in range(1, count + 1):
            lines.append(body_line(rng, page, line))
        lines.append("-" * 80)
        lines.append(f"{'carried forward':>50} {ESC}B{amount(rng):>29}{ESC}N")
        if rotated:
            lines.append(f"{ESC}U")
        out.append("\r\n".join(lines) + "\r\n")
    return "\f".join(out)


def repeated(pages):
    line = "".join(chr(33 + (i * 7) % 94) for i in range(80))
    out = []
    for _ in range(pages):
        lines = []
        for l in range(1, LINES + 1):
            lines.append(f"{ESC}B{line}{ESC}N" if l % 10 == 0 else f"{ESC}P{line}")
        out.append("\r\n".join(lines) + "\r\n")
    return "\f".join(out)


def ascii_only(text):
    text = text.replace("ø", "o").replace("Ø", "O").replace("ß", "s")
    text = "".join(c for c in unicodedata.normalize("NFKD", text) if not unicodedata.combining(c))
    return text.encode("ascii", "replace")


def main():
    kind, pages, path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    text = realistic(pages) if kind == "realistic" else repeated(pages)
    with open(path, "wb") as file:
        file.write(text.encode("cp1252"))
    plain = re.sub(ESC + r"(?:G:[^;]*;|.)", "", text)
    base = path[: -len(".txt")] if path.endswith(".txt") else path
    with open(base + ".plain", "wb") as file:
        file.write(plain.encode("cp1252"))
    with open(base + ".utf8", "wb") as file:
        file.write(plain.encode("utf-8"))
    with open(base + ".ascii", "wb") as file:
        file.write(ascii_only(plain))


if __name__ == "__main__":
    main()
