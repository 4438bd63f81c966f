#!/usr/bin/env python3
"""The throughput benchmark's runs and tables (bench/run.sh builds first).

Prints each report kind (realistic first, then the repeated line) on each
driver and, in the same rounds, the same text with CUPS texttopdf (default
charset and UTF-8) and enscript. Rounds are interleaved (every program once
per round), so that a busy machine slows all alike, and each program's best
round counts. CPU time is user + system time of the process, from wait4, less what
the GNU time around it (kept for the peak memory) costs.
Then the targets on the realistic report, the cost of a BOLD switch, and
the CPU time of a one-page job.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
TEXTTOPDF = "/usr/lib/cups/filter/texttopdf"
OTHERS = ["texttopdf", "texttopdf-utf8", "enscript"]

CONFIG = """[preferences]
font=Courier New
leftmargin=10
uppermargin=10
[sequences]
B=BOLD:1
N=BOLD:0
P=LINH:41
D=LINH:82
H=FSIZ:72,24
h=FSIZ:36,24
V=VERT:1
U=VERT:0
G=BITM:logo.bmp
"""
PROFILE = """[Devices]
TRACE=TRACE,out/report.trace
PDF=PDF,out/report.pdf
PS=PS,out/report.ps
SVG=SVG,out/page-%05d.svg
PNG=PNG,out/page-%05d.png
[PNG]
resolution=100
"""


def setting(name, default):
    return os.environ.get(name, default)


def make_report(work, kind, pages, name=None):
    name = name or f"{kind}-{pages}"
    path = os.path.join(work, name + ".txt")
    if not os.path.exists(path):
        subprocess.run([sys.executable, os.path.join(HERE, "make-report.py"), kind, str(pages), path],
                       check=True)
    return os.path.join(work, name)


def command(work, program, base):
    if program == "texttopdf":
        env = {k: v for k, v in os.environ.items() if k != "CHARSET"}
        return [TEXTTOPDF, "1", "bench", "report", "1", "media=A4 lpi=7", base + ".ascii"], env
    if program == "texttopdf-utf8":
        env = dict(os.environ, CHARSET="utf-8")
        return [TEXTTOPDF, "1", "bench", "report", "1", "media=A4 lpi=7", base + ".utf8"], env
    if program == "enscript":
        return ["enscript", "-q", "-B", "-M", "A4", "--lines-per-page=66", "-X", "latin1",
                "-p", "out/report.ps", base + ".plain"], dict(os.environ)
    with open(os.path.join(work, "tolvane.ini"), "w") as ini:
        ini.write(CONFIG.replace("[preferences]\n", f"[preferences]\nprinter={program}\n"))
    return [os.path.join(work, "tolvane"), base + ".txt", "1"], dict(os.environ)


def cpu_of(argv, **options):
    """Exit status and CPU seconds (user and system) of a command and all it
    waited for, from wait4: exact to the microsecond, where GNU time prints
    hundredths, cut down, which takes up to 20 ms off a run of 60."""
    child = subprocess.Popen(argv, **options)
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    return child.returncode, usage.ru_utime + usage.ru_stime


def wrapper_cpu():
    """What GNU time itself costs around a program: the best of a few runs of
    it around /bin/true, less /bin/true alone."""
    usage_file = tempfile.mktemp(prefix="tolvane-bench-usage-")
    wrapped = min(cpu_of(["/usr/bin/time", "-o", usage_file, "/bin/true"])[1] for _ in range(20))
    bare = min(cpu_of(["/bin/true"])[1] for _ in range(20))
    os.unlink(usage_file)
    return max(wrapped - bare, 0.0)


WRAPPER_CPU = None


def run_once(work, program, base):
    """CPU seconds, output bytes and peak memory (KB) of one run."""
    global WRAPPER_CPU
    if WRAPPER_CPU is None:
        WRAPPER_CPU = wrapper_cpu()
    out = os.path.join(work, "out")
    shutil.rmtree(out, ignore_errors=True)
    os.mkdir(out)
    argv, env = command(work, program, base)
    # GNU time forks a small process of its own for the program, so the
    # peak memory is the program's, not a copy of this script's; the CPU
    # time is wait4's, less what GNU time costs.
    usage_file = os.path.join(work, "usage")
    argv = ["/usr/bin/time", "-f", "%M", "-o", usage_file] + argv
    with open(os.path.join(out, "stdout"), "wb") as stdout, open(os.path.join(work, "errors"), "wb") as errors:
        status, cpu = cpu_of(argv, stdout=stdout, stderr=errors, env=env, cwd=work)
    if status != 0:
        sys.stderr.write(f"{program} failed:\n" + open(os.path.join(work, "errors")).read())
        return None
    kb = open(usage_file).read().split()[-1]
    size = sum(os.path.getsize(os.path.join(out, f)) for f in os.listdir(out))
    return max(cpu - WRAPPER_CPU, 0.001), size, int(kb)


def measure(work, programs, reports, rounds):
    best = {}
    for base, pages in reports:
        for _ in range(rounds):
            for program in programs:
                result = run_once(work, program, base)
                if result is None:
                    continue
                key = (program, base)
                if key not in best or result[0] < best[key][0]:
                    best[key] = result
    return best


def table(title, best, programs, reports):
    print(f"\n{title}")
    print(f"{'program':<15} {'pages':>6} {'pages/CPU s':>12} {'per page':>10} {'peak memory':>12}   "
          "pages/s against texttopdf, texttopdf UTF-8, enscript")
    for base, pages in reports:
        for program in programs:
            if (program, base) not in best:
                continue
            cpu, size, kb = best[(program, base)]
            ratios = " ".join(f"{best[(o, base)][0] / cpu:6.2f}x" for o in OTHERS if (o, base) in best)
            print(f"{program:<15} {pages:>6} {pages / cpu:>12.0f} {size / pages / 1024:>7.1f} KB "
                  f"{kb / 1024:>9.1f} MB   {ratios}")


def verdict(ok):
    return "met" if ok else "NOT MET"


def targets(best, reports):
    print("\nTargets on the realistic report")
    kb = {}
    for base, pages in reports:
        if ("PDF", base) in best and ("texttopdf", base) in best:
            pdf, ttp = best[("PDF", base)], best[("texttopdf", base)]
            ratio, per_page = ttp[0] / pdf[0], pdf[1] / pages
            print(f"  PDF, {pages} pages: {ratio:.2f}x texttopdf (at least 2x: {verdict(ratio >= 2)}), "
                  f"{per_page / 1024:.2f} KB a page (at most 3 KB: {verdict(per_page <= 3072)})")
        if ("PS", base) in best and ("enscript", base) in best:
            ps, ens = best[("PS", base)], best[("enscript", base)]
            ratio = ens[0] / ps[0]
            print(f"  PS, {pages} pages: {ratio:.2f}x enscript (at least 0.5x: {verdict(ratio >= 0.5)}), "
                  f"{ps[1] / pages / 1024:.2f} KB a page against enscript's {ens[1] / pages / 1024:.2f} "
                  f"({verdict(ps[1] <= ens[1])})")
        for program in ("PDF", "PS"):
            if (program, base) in best:
                kb.setdefault(program, []).append((pages, best[(program, base)][2]))
    for program, peaks in kb.items():
        peaks.sort()
        if len(peaks) > 1:
            growth = peaks[-1][1] / peaks[0][1]
            print(f"  {program} peak memory: {peaks[0][1] / 1024:.1f} MB at {peaks[0][0]} pages, "
                  f"{peaks[-1][1] / 1024:.1f} MB at {peaks[-1][0]} pages (flat: {verdict(growth < 1.25)})")


def count_glyphs_and_switches(base):
    text = open(base + ".txt", "rb").read()
    switches = len(re.findall(rb"\x1b[BN]", text))
    plain = open(base + ".plain", "rb").read()
    glyphs = len(plain) - plain.count(b"\r") - plain.count(b"\n") - plain.count(b"\f")
    return glyphs, switches


def bold_cost(work, pages, rounds, drivers):
    """What a BOLD switch costs, in glyphs: the same report with and without
    its switches, in time and in bytes."""
    base = make_report(work, "realistic", pages)
    plain_base = os.path.join(work, f"realistic-{pages}-nobold")
    with open(base + ".txt", "rb") as src, open(plain_base + ".txt", "wb") as dst:
        dst.write(re.sub(rb"\x1b[BN]", b"", src.read()))
    glyphs, switches = count_glyphs_and_switches(base)
    print(f"\nWhat a BOLD switch costs ({pages} pages, {switches} switches among {glyphs} glyphs)")
    for program in drivers:
        if program not in ("PDF", "PS"):
            continue
        # The two differ by a few per cent: they take turns, and more rounds
        # than the tables, so that the machine's moods fall on both alike.
        best = {}
        for _ in range(max(rounds, 9)):
            for report in (base, plain_base):
                result = run_once(work, program, report)
                if result is not None and (report not in best or result[0] < best[report][0]):
                    best[report] = result
        if base not in best or plain_base not in best:
            continue
        with_, without = best[base], best[plain_base]
        time_per_glyph, bytes_per_glyph = without[0] / glyphs, without[1] / glyphs
        time_glyphs = (with_[0] - without[0]) / switches / time_per_glyph
        byte_glyphs = (with_[1] - without[1]) / switches / bytes_per_glyph
        ok = time_glyphs <= 10 and byte_glyphs <= 10
        print(f"  {program}: {time_glyphs:.1f} glyphs of CPU time, {byte_glyphs:.1f} glyphs of output "
              f"(about ten at most: {verdict(ok)})")


def one_page_cpu(work, program, base, runs):
    """CPU milliseconds of one run: counted by perf where it may count, else
    from many runs in a row under one shell (whose forks add a little to
    every program alike)."""
    argv, env = command(work, program, base)
    perf = os.path.join(work, "perf")
    counted = subprocess.run(["perf", "stat", "-x,", "-e", "task-clock", "-r", str(runs), "-o", perf]
                             + argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env,
                             cwd=work).returncode == 0 if shutil.which("perf") else False
    if counted:
        for line in open(perf):
            if "task-clock" in line:
                return float(line.split(",")[0])
    usage = os.path.join(work, "usage")
    loop = 'for i in $(seq "$0"); do "$@" >/dev/null 2>&1; done'
    subprocess.run(["/usr/bin/time", "-f", "%U %S", "-o", usage, "bash", "-c", loop, str(runs)] + argv,
                   env=env, cwd=work, check=True)
    user, system = open(usage).read().split()[-2:]
    return (float(user) + float(system)) * 1000 / runs


def one_page(work, programs, runs):
    base = make_report(work, "realistic", 1)
    print(f"\nThe one-page job (realistic report), CPU per run over {runs} runs")
    results = {}
    for program in programs:
        os.makedirs(os.path.join(work, "out"), exist_ok=True)
        run_once(work, program, base)  # warm caches, as on a machine that prints every day
        os.makedirs(os.path.join(work, "out"), exist_ok=True)
        results[program] = one_page_cpu(work, program, base, runs)
        print(f"  one-page job on {program:<15} {results[program]:6.1f} ms CPU")
    if "PDF" in results and "texttopdf" in results:
        print(f"  PDF at or under texttopdf: {verdict(results['PDF'] <= results['texttopdf'])}")


def main():
    pages_list = [int(p) for p in setting("PAGES", "1000 10000").split()]
    drivers = setting("DRIVERS", "PDF PS").split()
    rounds = int(setting("ROUNDS", "5"))
    kinds = setting("REPORTS", "realistic repeated").split()
    work = tempfile.mkdtemp(prefix="tolvane-bench-")
    try:
        shutil.copy(os.path.join(SOURCE, "build/release/tolvane"), work)
        shutil.copy(os.path.join(SOURCE, "examples/logo.bmp"), work)
        with open(os.path.join(work, "system.ini"), "w") as profile:
            profile.write(PROFILE)
        os.environ["TOLVANE_SYSTEM_PROFILE"] = os.path.join(work, "system.ini")
        # Font answers and the job log of the runs stay here.
        os.environ["XDG_CACHE_HOME"] = os.path.join(work, "cache")
        os.environ["XDG_STATE_HOME"] = os.path.join(work, "state")
        programs = drivers + OTHERS
        for kind in kinds:
            reports = [(make_report(work, kind, pages), pages) for pages in pages_list]
            best = measure(work, programs, reports, rounds)
            table(f"Report: {kind}", best, programs, reports)
            if kind == "realistic":
                targets(best, reports)
        if "realistic" in kinds:
            bold_cost(work, min(pages_list), rounds, drivers)
            one_page(work, programs, int(setting("ONE_PAGE_RUNS", "20")))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
