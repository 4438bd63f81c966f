#!/usr/bin/env python3
"""The document writers leave every glyph where it was: each job of
jobs.py is printed on TRACE, PDF and PS; the trace must be the stored one
byte for byte, the PDF's words (pdftotext -bbox) the stored words in the
stored places, and the PostScript, read by Ghostscript, the PDF's words in
the PDF's places.

    check_writers.py TOLVANE EXPECTED-DIR [--update]

--update stores what this program prints as the expectation (after a
change that is meant to move nothing, never to make a failure pass).
"""
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "windows"))
sys.path.insert(0, HERE)
from check_print import read_words  # noqa: E402
import jobs  # noqa: E402

# 0.05 pixels at 600 dpi, in points: as near as glyphs are held to the trace.
STORED_TOLERANCE = 0.006
# Ghostscript draws both documents at this density; pixels that differ
# (anti-aliasing of the outlines aside) may be at most this share of a sheet.
RENDER_DPI = 100
RENDER_TOLERANCE = 0.003
LOGO = os.path.join(HERE, "..", "..", "examples", "logo.bmp")


def words_of(pdf, work):
    html = os.path.join(work, "words.html")
    subprocess.run(["pdftotext", "-bbox", pdf, html], check=True)
    pages = read_words(html)
    return [[(round(w[0], 3), round(w[1], 3), w[4]) for w in page] for page in pages]


def run_job(program, work, name, configuration, report, section):
    directory = os.path.join(work, name)
    os.makedirs(directory)
    shutil.copy(program, os.path.join(directory, "tolvane"))
    shutil.copy(LOGO, directory)
    with open(os.path.join(directory, "report.txt"), "wb") as file:
        file.write(report)
    with open(os.path.join(directory, "system.ini"), "w") as profile:
        profile.write("[Devices]\nT=TRACE,out.trace\nD=PDF,out.pdf\nS=PS,out.ps\n")
        for printer in "TDS":
            profile.write(f"[{printer}]\n{section}")
    environment = dict(os.environ, TOLVANE_SYSTEM_PROFILE=os.path.join(directory, "system.ini"),
                       TOLVANE_LOG="off", XDG_CACHE_HOME=os.path.join(work, "cache"))
    environment.pop("DISPLAY", None)
    environment.pop("WAYLAND_DISPLAY", None)
    for printer in "TDS":
        with open(os.path.join(directory, "tolvane.ini"), "w") as ini:
            ini.write(configuration.replace("[preferences]\n", f"[preferences]\nprinter={printer}\n"))
        subprocess.run([os.path.join(directory, "tolvane"), "report.txt", "1"], cwd=directory,
                       env=environment, check=True, stderr=subprocess.DEVNULL)
    trace = hashlib.sha256(open(os.path.join(directory, "out.trace"), "rb").read()).hexdigest()
    pdf_words = words_of(os.path.join(directory, "out.pdf"), directory)
    return trace, pdf_words, rendering_differences(directory)


def render(document, directory, stem):
    pattern = os.path.join(directory, stem + "-%03d.pgm")
    subprocess.run(["gs", "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pgmraw",
                    f"-r{RENDER_DPI}", "-dTextAlphaBits=1", "-dGraphicsAlphaBits=1",
                    "-sOutputFile=" + pattern, document], check=True)
    names = sorted(n for n in os.listdir(directory) if n.startswith(stem + "-"))
    return [read_pgm(os.path.join(directory, n)) for n in names]


# Width, height and rows of a binary PGM as Ghostscript writes it.
def read_pgm(path):
    data = open(path, "rb").read()
    fields, at = [], 0
    while len(fields) < 4:  # magic, width, height, depth; comments skipped
        while data[at:at + 1].isspace():
            at += 1
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        if data[at:at + 1] == b"#":
            end = data.index(b"\n", at)
        else:
            fields.append(data[at:end])
        at = end
    pixels = data[at + 1:]
    width, height = int(fields[1]), int(fields[2])
    return width, height, [pixels[row * width:(row + 1) * width] for row in range(height)]


# The sheets as Ghostscript draws the PostScript and the PDF: the share of
# pixels that differ on each, or a problem when the sheets differ in number
# or size.
def rendering_differences(directory):
    pdf = render(os.path.join(directory, "out.pdf"), directory, "pdf")
    ps = render(os.path.join(directory, "out.ps"), directory, "ps")
    if len(pdf) != len(ps):
        return [f"PostScript has {len(ps)} sheets, PDF {len(pdf)}"]
    problems = []
    for number, ((w1, h1, a), (w2, h2, b)) in enumerate(zip(pdf, ps), 1):
        # A4 in whole points (the PostScript) is a fraction of a point
        # smaller than A4 in the PDF: the pixel rows and columns they share
        # are compared.
        if abs(w1 - w2) > 1 or abs(h1 - h2) > 1:
            problems.append(f"sheet {number}: {w2} x {h2} pixels against the PDF's {w1} x {h1}")
            continue
        width, height = min(w1, w2), min(h1, h2)
        differing = sum(1 for row in range(height) for x, y in zip(a[row][:width], b[row][:width]) if x != y)
        if differing > RENDER_TOLERANCE * width * height:
            problems.append(f"sheet {number}: {differing} of {width * height} pixels differ from the PDF's")
    return problems


def expectation_text(trace, words):
    lines = [f"trace {trace}"]
    for number, page in enumerate(words, 1):
        lines.append(f"page {number}")
        lines += [f"{x:.3f} {y:.3f} {text}" for x, y, text in page]
    return "\n".join(lines) + "\n"


def read_expectation(path):
    trace, pages = None, []
    for line in open(path, encoding="utf-8").read().splitlines():
        if line.startswith("trace "):
            trace = line[6:]
        elif line.startswith("page "):
            pages.append([])
        else:
            x, y, text = line.split(" ", 2)
            pages[-1].append((float(x), float(y), text))
    return trace, pages


def differences(one, other, tolerance, what):
    if len(one) != len(other):
        return [f"{what}: {len(one)} pages against {len(other)}"]
    problems = []
    for number, (a, b) in enumerate(zip(one, other), 1):
        if [w[2] for w in a] != [w[2] for w in b]:
            problems.append(f"{what}, page {number}: the words differ")
            continue
        for (x1, y1, text), (x2, y2, _) in zip(a, b):
            if abs(x1 - x2) > tolerance or abs(y1 - y2) > tolerance:
                problems.append(f"{what}, page {number}: {text!r} at {x1},{y1} against {x2},{y2}")
                break
    return problems


def main():
    program, expected, update = sys.argv[1], sys.argv[2], "--update" in sys.argv[3:]
    work = tempfile.mkdtemp(prefix="tolvane-writers-")
    failed = 0
    try:
        for name, configuration, report, section in jobs.jobs():
            trace, pdf_words, problems = run_job(program, work, name, configuration, report, section)
            path = os.path.join(expected, name + ".words")
            if update:
                with open(path, "w", encoding="utf-8") as file:
                    file.write(expectation_text(trace, pdf_words))
            else:
                stored_trace, stored_words = read_expectation(path)
                if trace != stored_trace:
                    problems.append("the trace is not the stored one")
                problems += differences(pdf_words, stored_words, STORED_TOLERANCE, "PDF against stored")
            count = sum(len(page) for page in pdf_words)
            if problems:
                failed += 1
                print(f"FAILED: {name}: " + "; ".join(problems[:5]))
            else:
                print(f"ok: {name} ({len(pdf_words)} pages, {count} words)")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
