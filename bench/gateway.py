#!/usr/bin/env python3
"""The mail-gateway step on 1,000 small archives, in CPU time per archive.

usage: bench/gateway.py [RUNS] [CLI]

Makes 1,000 ZIP archives of 1 to 50 entries (deflated text, a few stored;
every third holds a dangerous entry: setup.exe, run.js, tool.scr ...) in
bench/out/gateway/, then times, best of RUNS (default 3), the CPU (user +
system of every process, from wait4) of:
  unzip -l      one `unzip -l` per archive, the floor for reading a listing;
  gateway step  find ... -print0 | xargs -0 brimlode-cli rewrite --output-dir
                OUT --dangerous --report (a fresh OUT each run);
  step, -n1     the same with one brimlode-cli process per archive;
  cp + rewrite  as scripts did before --output: per archive, cp into OUT and
                brimlode-cli rewrite COPY --ext <the dangerous keys>, one
                shell per archive.
Each figure is per archive; the goal is the gateway step at or below 1.5x
unzip -l.
"""
import os
import random
import shutil
import subprocess
import sys
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "bench", "out", "gateway")
ARCHIVES = 1000
DANGEROUS = ["setup.exe", "run.js", "tool.scr", "invoice.pdf.exe", "start.bat", "macro.vbs", "disk.iso", "x.lnk"]


def make_archives():
    source = os.path.join(WORK, "in")
    if os.path.isdir(source) and len(os.listdir(source)) == ARCHIVES:
        return source
    shutil.rmtree(source, ignore_errors=True)
    os.makedirs(source)
    rng = random.Random(17)
    for i in range(ARCHIVES):
        with zipfile.ZipFile(os.path.join(source, f"mail{i:04d}.zip"), "w") as z:
            for e in range(rng.randint(1, 50)):
                text = (f"line {e} of a letter\n" * rng.randint(1, 40)).encode()
                method = zipfile.ZIP_STORED if e % 7 == 0 else zipfile.ZIP_DEFLATED
                z.writestr(f"docs/note{e:02d}.txt", text, compress_type=method)
            if i % 3 == 0:
                z.writestr(rng.choice(DANGEROUS), b"MZ" + bytes(rng.randint(10, 4000)),
                           compress_type=zipfile.ZIP_DEFLATED)
    return source


def cpu_of(command, prepare=None):
    """CPU seconds (user + system) of a shell command and all it starts."""
    if prepare:
        prepare()
    start = time.perf_counter()
    pid = os.fork()
    if pid == 0:
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, 1)
        os.dup2(devnull, 2)
        os.execv("/bin/sh", ["sh", "-c", command])
    _, status, usage = os.wait4(pid, 0)
    wall = time.perf_counter() - start
    return usage.ru_utime + usage.ru_stime, wall, os.waitstatus_to_exitcode(status)


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    cli = sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "build", "brimlode-cli")
    source = make_archives()
    out = os.path.join(WORK, "out")

    def fresh_out():
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)

    keys = "exe,com,scr,pif,bat,cmd,js,jse,vbs,vbe,wsf,wsh,hta,ps1,msi,msp,lnk,dll,cpl,jar,reg,chm,iso,img,vhd"
    find = f"find '{source}' -name '*.zip' -print0"
    cases = [
        ("unzip -l", f"{find} | xargs -0 -n1 unzip -l", None),
        ("gateway step", f"{find} | xargs -0 '{cli}' rewrite --output-dir '{out}' --dangerous --report", fresh_out),
        # The same, one process per archive: what a caller that cannot batch pays.
        ("step, -n1", f"{find} | xargs -0 -n1 '{cli}' rewrite --output-dir '{out}' --dangerous --report --quiet",
         fresh_out),
        ("cp + rewrite",
         f"{find} | xargs -0 -n1 sh -c 'cp \"$0\" \"{out}/\" && \"{cli}\" rewrite \"{out}/${{0##*/}}\" --ext {keys}'",
         fresh_out),
    ]
    results = {}
    for name, command, prepare in cases:
        best = min(cpu_of(command, prepare) for _ in range(runs))
        results[name] = best
        if name == "gateway step":
            written = len(os.listdir(out))
        cpu, wall, code = best
        print(f"{name:14s} CPU {cpu / ARCHIVES * 1000:7.3f} ms/archive  wall {wall:6.2f} s  exit {code}")
    floor = results["unzip -l"][0]
    for name in ("gateway step", "step, -n1", "cp + rewrite"):
        print(f"{name:14s} {results[name][0] / floor:5.2f}x unzip -l CPU (goal for the gateway step: <= 1.50x)")
    print(f"copies written by the gateway step: {written} of {ARCHIVES} (the archives with a dangerous entry)")


if __name__ == "__main__":
    main()
