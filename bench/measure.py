#!/usr/bin/env python3
"""Runs a command several times with its output thrown away and prints: the
best wall ms, the best CPU ms (user + system, from wait4() in microseconds:
time's own figures are in hundredths of a second), the peak resident KiB as
/usr/bin/time reports it (a small parent, so its fork adds next to nothing;
a fork of this Python would add ten MiB), and the exit status.

usage: measure.py RUNS COMMAND [ARGS...]

With --turns, several commands (separated by "---") are run in turns, one
run of each per round, so a change in the machine's load falls on all of
them alike; one line per command, in order: the median wall ms, the median
CPU ms, the peak KiB, the last exit status.

usage: measure.py --turns RUNS COMMAND [ARGS...] [--- COMMAND [ARGS...]]...
"""
import os
import sys
import tempfile
import time


def run_once(argv):
    with tempfile.NamedTemporaryFile("r") as mem:
        timed = ["/usr/bin/time", "-q", "-f", "%M %x", "-o", mem.name] + argv
        start = time.perf_counter_ns()
        pid = os.fork()
        if pid == 0:
            devnull = os.open(os.devnull, os.O_WRONLY)
            os.dup2(devnull, 1)
            os.dup2(devnull, 2)
            try:
                os.execv(timed[0], timed)
            finally:
                os._exit(127)
        _, _, usage = os.wait4(pid, 0)  # time's figures include the command's
        wall_ms = (time.perf_counter_ns() - start) / 1e6
        cpu_ms = (usage.ru_utime + usage.ru_stime) * 1000
        kib, code = mem.read().split()[-2:]
        return wall_ms, cpu_ms, int(kib), int(code)


def median(values):
    values = sorted(values)
    mid = len(values) // 2
    return values[mid] if len(values) % 2 else (values[mid - 1] + values[mid]) / 2


def turns(runs, argv):
    commands = [[]]
    for arg in argv:
        if arg == "---":
            commands.append([])
        else:
            commands[-1].append(arg)
    results = [[] for _ in commands]
    for _ in range(runs):
        for k, command in enumerate(commands):
            results[k].append(run_once(command))
    for r in results:
        print(f"{median([x[0] for x in r]):.1f} {median([x[1] for x in r]):.1f} "
              f"{max(x[2] for x in r)} {r[-1][3]}")


def main():
    if sys.argv[1] == "--turns":
        turns(int(sys.argv[2]), sys.argv[3:])
        return
    runs = int(sys.argv[1])
    argv = sys.argv[2:]
    results = [run_once(argv) for _ in range(runs)]
    wall, cpu, rss, code = min(results)
    print(f"{wall:.1f} {min(r[1] for r in results):.1f} {max(r[2] for r in results)} {code}")


if __name__ == "__main__":
    main()
