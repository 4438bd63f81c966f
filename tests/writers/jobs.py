"""The jobs whose output must not move when the document writers change:
every command, rotation, margins, cell sizes, code pages, bold switched
inside lines, a logo, and three pages of the bench's realistic report.

Each job is (name, tolvane.ini, print file bytes, printer section lines).
"""
import os
import subprocess
import sys

ESC = "\x1b"
COMMANDS = """[sequences]
B=BOLD:1
N=BOLD:0
W=BOLD:900
H=FSIZ:72,24
h=FSIZ:36,24
s=FSIZ:18.5,12.25
w=FSIZ:36,36
L=LINH:20.5
T=FELM:30
M=BALM:25
m=BALM:0
V=VERT:1
U=VERT:0
G=BITM:logo.bmp
"""


def ini(face="Courier New", left=10, upper=5, extra=""):
    return f"[preferences]\nfont={face}\nleftmargin={left}\nuppermargin={upper}\n{COMMANDS}{extra}"


def latin(text):
    return text.encode("cp1252")


def bench_report():
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(os.environ.get("TMPDIR", "/tmp"), f"tolvane-writers-bench-{os.getpid()}.txt")
    subprocess.run([sys.executable, os.path.join(here, "..", "..", "bench", "make-report.py"),
                    "realistic", "3", out], check=True)
    data = open(out, "rb").read()
    for suffix in (".txt", ".plain", ".utf8", ".ascii"):
        try:
            os.remove(out[: -len(".txt")] + suffix)
        except OSError:
            pass
    return data


def jobs():
    grid = "ABCDEFGHIJ 0123456789 abcdefghij\r\n\tTab\tstops\tat\teight\r\n" * 3
    yield ("grid", ini(), latin(grid), "")
    yield ("bold-inside-lines", ini(),
           latin(f"plain {ESC}Bbold{ESC}N plain {ESC}Wblack{ESC}N end\r\n" * 4), "")
    yield ("cell-sizes", ini(),
           latin(f"{ESC}HTALL{ESC}h\r\n{ESC}ssmall text{ESC}L\r\nnext\r\n{ESC}wwide cells\r\n"), "")
    yield ("margins", ini(left=0, upper=0),
           latin(f"corner\r\n{ESC}T{ESC}Mmoved\r\n{ESC}mback\fpage two\r\n"), "")
    yield ("rotated", ini(),
           latin(f"{ESC}Vturned line one\r\nturned line two\r\n{ESC}Bbold turned{ESC}N\r\n{ESC}Uupright\r\n"), "")
    yield ("logo", ini(),
           latin(f"{ESC}G:100,150,500,300;beside the logo\r\n{ESC}G:1200,100,300,300;\r\n"), "")
    yield ("page-break", ini(upper=0),
           latin("".join(f"line {n}\r\n" for n in range(1, 90))), "paper=A5\nresolution=300\n")
    yield ("code-page-1250", ini(face="DejaVu Sans Mono"),
           "Árvíztűrő tükörfúrógép ŐőŰű Čč Žž Šš Łł\r\n".encode("cp1250"), "codepage=1250\n")
    yield ("code-page-1252", ini(),
           latin("Café crème Größe Ålesund Øresund € „quoted“ – dash\r\n"), "codepage=1252\n")
    yield ("code-page-1251", ini(face="DejaVu Sans Mono"),
           "Съешь же ещё этих мягких французских булок\r\n".encode("cp1251"), "codepage=1251\n")
    yield ("letter-600dpi", ini(face=""), latin("default face on Letter\r\n"),
           "paper=Letter\nmargins=5,5,5,5\n")
    yield ("bench-report", ini(extra="P=LINH:41\nD=LINH:82\n"),
           bench_report(), "")
