#!/usr/bin/env python3
"""brimlode-cli mail on 500 messages, in CPU time per message.

usage: bench/mail.py [RUNS] [CLI]

Makes 500 messages in bench/out/mail/ (a short text and one base64 ZIP of 20
entries: 19 deflated texts and a setup.exe, so every message has something to
neutralise), and the ZIP attachments alone. Then times, best of RUNS (default
3), the CPU (user + system of every process, from wait4), one process per
message as a mail server's pipe filter runs:
  unzip -l        `unzip -l` on the attachment alone: the floor for reading
                  the archive's listing;
  mail            `brimlode-cli mail --dangerous MESSAGE`: parse, decode,
                  neutralise, encode, write the message;
  python email    Python's email package alone, parse and write back (no
                  archive work): what a filter written in Python costs before
                  it does anything;
  python, 1 proc  the same 500 round trips in one Python process: the parse
                  and write without the interpreter's start.
Goal: mail below python email per message.
"""
import email
import email.policy
import io
import os
import random
import shutil
import sys
import zipfile
from email.message import EmailMessage

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import measure  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "bench", "out", "mail")
MESSAGES = 500
ROUND_TRIP = ("import sys, email, email.policy\n"
              "for p in sys.argv[1:]:\n"
              "    m = email.message_from_binary_file(open(p, 'rb'), policy=email.policy.default)\n"
              "    sys.stdout.buffer.write(m.as_bytes())\n")


def make_messages():
    source = os.path.join(WORK, "in")
    if os.path.isdir(source) and len(os.listdir(source)) == 2 * MESSAGES:
        return source
    shutil.rmtree(source, ignore_errors=True)
    os.makedirs(source)
    rng = random.Random(31)
    for i in range(MESSAGES):
        buf = io.BytesIO()
        with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
            for e in range(19):
                z.writestr(f"docs/note{e:02d}.txt", (f"line {e} of a letter\n" * rng.randint(5, 60)).encode())
            z.writestr("setup.exe", b"MZ" + bytes(rng.randint(100, 3000)))
        archive = buf.getvalue()
        with open(os.path.join(source, f"a{i:03d}.zip"), "wb") as f:
            f.write(archive)
        m = EmailMessage()
        m["From"] = "sender@example.org"
        m["To"] = "user@example.org"
        m["Subject"] = f"files {i}"
        m["Message-ID"] = f"<m{i}@example.org>"
        m.set_content("Please find the files attached.\n" * 5)
        m.add_attachment(archive, maintype="application", subtype="zip", filename=f"files{i}.zip")
        with open(os.path.join(source, f"m{i:03d}.eml"), "wb") as f:
            f.write(m.as_bytes(policy=email.policy.SMTP))
    return source


def cpu_of(command):
    """CPU seconds (user + system) of a shell command and all it starts."""
    wall_ms, cpu_ms, _, code = measure.run_once(["/bin/sh", "-c", command])
    return cpu_ms / 1000, wall_ms / 1000, code


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    cli = sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "build", "brimlode-cli")
    source = make_messages()
    script = os.path.join(WORK, "round_trip.py")
    with open(script, "w") as f:
        f.write(ROUND_TRIP)
    eml = f"find '{source}' -name 'm*.eml' -print0"
    cases = [
        ("unzip -l", f"find '{source}' -name 'a*.zip' -print0 | xargs -0 -n1 unzip -l"),
        ("mail", f"{eml} | xargs -0 -n1 '{cli}' mail --dangerous"),
        ("python email", f"{eml} | xargs -0 -n1 python3 '{script}'"),
        ("python, 1 proc", f"{eml} | xargs -0 -n{MESSAGES} python3 '{script}'"),
    ]
    # Taken in turns, so a busy moment of the machine hits every case alike.
    results = {name: None for name, _ in cases}
    for _ in range(runs):
        for name, command in cases:
            r = cpu_of(command)
            if results[name] is None or r[0] < results[name][0]:
                results[name] = r
    for name, _ in cases:
        cpu, wall, code = results[name]
        print(f"{name:15s} CPU {cpu / MESSAGES * 1000:7.3f} ms/message  wall {wall:6.2f} s  exit {code}")
    mail = results["mail"][0]
    print(f"mail / python email   {mail / results['python email'][0]:5.2f}x (goal: below 1)")
    print(f"mail / python, 1 proc {mail / results['python, 1 proc'][0]:5.2f}x")
    print(f"mail / unzip -l       {mail / results['unzip -l'][0]:5.2f}x")


if __name__ == "__main__":
    main()
