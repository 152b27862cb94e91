#!/usr/bin/env python3
"""brimlode-cli mail behind a real Postfix: an instance of its own (its own
configuration, queue and Maildir under a temporary folder, SMTP on 127.0.0.1
only), with the after-queue content filter of docs/mail-gateway.md (pipe
transport, brimlode-mail-filter, re-injection with sendmail -G -i). Messages
go in over SMTP; the delivered Maildir must hold each exactly once, every
dangerous entry neutralised as unzip, 7z and lhasa see it, clean archives
byte for byte, and one X-Brimlode header saying so.

usage: postfix_test.py BRIMLODE_CLI SOURCE_DIR
Exit 0 passed, 1 failed, 77 skipped (with the reason on standard output).
Postfix is stopped and everything it wrote removed at the end, whatever happens.
"""
import email
import email.policy
import io
import os
import pwd
import shutil
import smtplib
import socket
import subprocess
import sys
import tempfile
import time
import zipfile
from email.message import EmailMessage

DEFAULT_MAIN_CF = "/etc/postfix/main.cf"
DOMAIN = "brimlode.test"


def skip(reason):
    print(f"skipped: {reason}")
    sys.exit(77)


def run(*args, **kw):
    return subprocess.run(args, capture_output=True, text=True, **kw)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def zip_bytes(entries, stub=b""):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries:
            z.writestr(name, data)
    return stub + buf.getvalue()


def lzh_bytes(work, entries):
    folder = tempfile.mkdtemp(dir=work)
    for name, data in entries:
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    run("jlha", "a", "a.lzh", *[n for n, _ in entries], cwd=folder)
    with open(os.path.join(folder, "a.lzh"), "rb") as f:
        return f.read()


def message(number, kind, attachments, forged=False):
    m = EmailMessage()
    m["From"] = f"sender@{DOMAIN}"
    m["To"] = f"user@{DOMAIN}"
    m["Subject"] = f"T-{number} {kind}"
    m["Message-ID"] = f"<t-{number}@{DOMAIN}>"
    if forged:
        m["X-Brimlode"] = "version=0; archives=0"
    m.set_content(f"message {number}\n")
    for name, data, maintype, subtype in attachments:
        if maintype == "message":
            m.add_attachment(data)
        else:
            m.add_attachment(data, maintype=maintype, subtype=subtype, filename=name)
    return m


class Instance:
    """A Postfix of its own under root/, started and stopped."""

    def __init__(self, root, cli, source):
        self.root, self.etc = root, os.path.join(root, "etc")
        self.port = free_port()
        self.created_default = False
        for d in ("etc", "queue", "data", "mail", "bin"):
            os.makedirs(os.path.join(root, d))
        os.chmod(root, 0o755)
        nobody = pwd.getpwnam("nobody")
        os.chown(os.path.join(root, "data"), pwd.getpwnam("postfix").pw_uid, -1)
        os.chown(os.path.join(root, "mail"), nobody.pw_uid, nobody.pw_gid)
        bin_dir = os.path.join(root, "bin")
        shutil.copy(cli, os.path.join(bin_dir, "brimlode-cli"))
        shutil.copy(os.path.join(os.path.dirname(cli), "brimlode-mail"), bin_dir)
        shutil.copy(os.path.join(source, "data/mail/brimlode-mail-filter"), bin_dir)
        for f in os.listdir(bin_dir):
            os.chmod(os.path.join(bin_dir, f), 0o755)
        self.uid, self.gid = nobody.pw_uid, nobody.pw_gid

    def configure(self):
        r = self.root
        with open(os.path.join(self.etc, "main.cf"), "w") as f:
            f.write(f"""compatibility_level = 3.6
queue_directory = {r}/queue
data_directory = {r}/data
meta_directory = /etc/postfix
maillog_file = {r}/maillog
maillog_file_prefixes = {r}
syslog_name = brimlode-test
inet_interfaces = 127.0.0.1
inet_protocols = ipv4
myhostname = mx.{DOMAIN}
mydomain = {DOMAIN}
myorigin = {DOMAIN}
mydestination =
local_recipient_maps =
relayhost =
mynetworks = 127.0.0.0/8
virtual_mailbox_domains = {DOMAIN}
virtual_mailbox_base = {r}/mail
virtual_mailbox_maps = inline:{{ user@{DOMAIN}=user/ }}
virtual_uid_maps = static:{self.uid}
virtual_gid_maps = static:{self.gid}
export_environment = TZ MAIL_CONFIG LANG
biff = no
smtputf8_enable = no
""")
        services = [
            ("pickup", "unix", "n", "-", "n", "60", "1", "pickup"),
            ("cleanup", "unix", "n", "-", "n", "-", "0", "cleanup"),
            ("qmgr", "unix", "n", "-", "n", "300", "1", "qmgr"),
            ("rewrite", "unix", "-", "-", "n", "-", "-", "trivial-rewrite"),
            ("bounce", "unix", "-", "-", "n", "-", "0", "bounce"),
            ("defer", "unix", "-", "-", "n", "-", "0", "bounce"),
            ("trace", "unix", "-", "-", "n", "-", "0", "bounce"),
            ("verify", "unix", "-", "-", "n", "-", "1", "verify"),
            ("flush", "unix", "n", "-", "n", "1000?", "0", "flush"),
            ("proxymap", "unix", "-", "-", "n", "-", "-", "proxymap"),
            ("smtp", "unix", "-", "-", "n", "-", "-", "smtp"),
            ("relay", "unix", "-", "-", "n", "-", "-", "smtp"),
            ("showq", "unix", "n", "-", "n", "-", "-", "showq"),
            ("error", "unix", "-", "-", "n", "-", "-", "error"),
            ("retry", "unix", "-", "-", "n", "-", "-", "error"),
            ("discard", "unix", "-", "-", "n", "-", "-", "discard"),
            ("local", "unix", "-", "n", "n", "-", "-", "local"),
            ("virtual", "unix", "-", "n", "n", "-", "-", "virtual"),
            ("anvil", "unix", "-", "-", "n", "-", "1", "anvil"),
            ("scache", "unix", "-", "-", "n", "-", "1", "scache"),
            ("postlog", "unix-dgram", "n", "-", "n", "-", "1", "postlogd"),
        ]
        with open(os.path.join(self.etc, "master.cf"), "w") as f:
            # The lines docs/mail-gateway.md gives, on a port of the test's own.
            f.write(f"127.0.0.1:{self.port} inet n - n - - smtpd\n"
                    "  -o content_filter=brimlode:dummy\n")
            for s in services:
                f.write(" ".join(s) + "\n")
            f.write("brimlode unix - n n - 4 pipe\n"
                    f"  flags=Rq user=nobody null_sender=\n"
                    f"  argv=/usr/bin/env BRIMLODE_CLI={r}/bin/brimlode-cli BRIMLODE_MAIL_OPTIONS=--dangerous"
                    f" {r}/bin/brimlode-mail-filter -f ${{sender}} -- ${{recipient}}\n")
        # sendmail's postdrop, run by the filter's user, accepts a
        # configuration folder only when the default main.cf lists it.
        if not os.path.exists(DEFAULT_MAIN_CF):
            with open(DEFAULT_MAIN_CF, "w") as f:
                f.write(f"# Written by Brimlode's Postfix test while it runs; removed after.\n"
                        f"alternate_config_directories = {self.etc}\n")
            self.created_default = True

    def postfix(self, *args):
        return run("postfix", "-c", self.etc, *args)

    def start(self):
        check = self.postfix("check")
        started = self.postfix("start")
        if started.returncode != 0:
            raise RuntimeError(f"postfix start failed: {check.stderr}{started.stderr}{self.log()}")
        deadline = time.time() + 30
        while time.time() < deadline:
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=1):
                    return
            except OSError:
                time.sleep(0.2)
        raise RuntimeError("Postfix did not listen")

    def stop(self):
        self.postfix("stop")
        pid_file = os.path.join(self.root, "queue/pid/master.pid")
        deadline = time.time() + 20
        while os.path.exists(pid_file) and time.time() < deadline:
            time.sleep(0.2)
        if os.path.exists(pid_file):
            self.postfix("abort")
        if self.created_default:
            os.remove(DEFAULT_MAIN_CF)

    def log(self):
        try:
            with open(os.path.join(self.root, "maillog"), errors="replace") as f:
                return f.read()[-4000:]
        except OSError:
            return ""

    def delivered(self):
        new = os.path.join(self.root, "mail/user/new")
        if not os.path.isdir(new):
            return []
        out = []
        for name in sorted(os.listdir(new)):
            with open(os.path.join(new, name), "rb") as f:
                out.append(f.read())
        return out


def entries_seen(tool, path, work):
    """The names a reader lists, and the bytes it extracts, per name."""
    out = tempfile.mkdtemp(dir=work)
    if tool == "unzip":
        run("unzip", "-qq", "-o", path, "-d", out)
    elif tool == "7z":
        run("7z", "x", "-y", f"-o{out}", path)
    else:
        run("lhasa", f"-xw={out}", path)
    files = {}
    for folder, _, names in os.walk(out):
        for n in names:
            with open(os.path.join(folder, n), "rb") as f:
                files[os.path.relpath(os.path.join(folder, n), out)] = f.read()
    return files


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    cli, source = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    if os.geteuid() != 0:
        skip("Postfix needs root to start (CI runs as root)")
    if not shutil.which("postfix") or not os.path.exists("/usr/sbin/sendmail"):
        skip("Postfix is not installed (scripts/install-deps.sh installs it where no other mail server is)")
    if os.path.exists(DEFAULT_MAIN_CF):
        skip(f"{DEFAULT_MAIN_CF} exists: this machine's own Postfix is configured, and the test leaves it alone")
    try:
        pwd.getpwnam("postfix")
    except KeyError:
        skip("no postfix user")

    work = tempfile.mkdtemp(prefix="brimlode-postfix-")
    failures = []
    instance = None
    try:
        instance = Instance(work, cli, source)
        instance.configure()
        instance.start()

        payload = b"MZ" + bytes(range(256)) * 4
        dangerous = zip_bytes([("readme.txt", b"read me\n"), ("setup.exe", payload), ("run.js", b"alert(1)")])
        clean = zip_bytes([("readme.txt", b"just text\n" * 50), ("data.csv", b"1,2,3\n")])
        sfx = zip_bytes([("inner.exe", payload)], stub=b"MZ" + b"\0" * 2046)
        damaged = dangerous[: len(dangerous) // 2]
        have_lzh = shutil.which("jlha") is not None
        lzh = lzh_bytes(work, [("read.txt", b"hello\n"), ("setup.exe", payload)]) if have_lzh else None
        forwarded = message(0, "inner", [("fwd.zip", dangerous, "application", "zip")])

        # (kind, attachments, expected (name, action) per archive, forged header)
        kinds = [
            ("dangerous zip", [("a.zip", dangerous, "application", "zip")], [("a.zip", "neutralised")], False),
            ("clean zip", [("c.zip", clean, "application", "zip")], [("c.zip", "unchanged")], False),
            ("mislabelled", [("photo.jpg", dangerous, "image", "jpeg")], [("photo.jpg", "neutralised")], False),
            ("self-extractor", [("setup.exe", sfx, "application", "octet-stream")],
             [("setup.exe", "neutralised")], False),
            ("Japanese name", [("\u8acb\u6c42\u66f8.zip", dangerous, "application", "zip")],
             [("\u8acb\u6c42\u66f8.zip", "neutralised")], False),
            ("forwarded", [("", forwarded, "message", "rfc822")], [("fwd.zip", "neutralised")], False),
            ("no archive", [], [], False),
            ("forged header", [("a.zip", dangerous, "application", "zip")], [("a.zip", "neutralised")], True),
            ("damaged", [("d.zip", damaged, "application", "zip")], [("d.zip", "replaced")], False),
        ]
        if lzh:
            kinds.append(("lzh", [("a.lzh", lzh, "application", "x-lzh")], [("a.lzh", "neutralised")], False))
        rounds = 5
        sent = {}
        with smtplib.SMTP("127.0.0.1", instance.port, timeout=30) as smtp:
            number = 1
            for _ in range(rounds):
                for kind, attachments, expected, forged in kinds:
                    m = message(number, kind, attachments, forged)
                    smtp.send_message(m)
                    sent[f"<t-{number}@{DOMAIN}>"] = (kind, attachments, expected)
                    number += 1

        deadline = time.time() + 180
        while len(instance.delivered()) < len(sent) and time.time() < deadline:
            time.sleep(0.5)
        time.sleep(1)  # a duplicate would come now
        delivered = instance.delivered()

        seen = {}
        for raw in delivered:
            m = email.message_from_bytes(raw, policy=email.policy.compat32)
            seen.setdefault(m["Message-ID"], []).append(m)
        for mid in sent:
            if len(seen.get(mid, [])) != 1:
                failures.append(f"{mid} delivered {len(seen.get(mid, []))} times")
        for mid in seen:
            if mid not in sent:
                failures.append(f"{mid} delivered but never sent")

        readers = [t for t in ("unzip", "7z") if shutil.which(t)]
        checked = 0
        for mid, (kind, attachments, expected) in sent.items():
            for m in seen.get(mid, [])[:1]:
                headers = m.get_all("X-Brimlode") or []
                if len(headers) != 1:
                    failures.append(f"{mid} ({kind}): {len(headers)} X-Brimlode headers")
                    continue
                text = " ".join(headers[0].split())
                if f"archives={len(expected)}" not in text:
                    failures.append(f"{mid} ({kind}): header {text!r}")
                for name, action in expected:
                    if name.isascii() and f'name="{name}"' not in text:
                        failures.append(f"{mid} ({kind}): {name} not in header {text!r}")
                    if f"action={action}" not in text:
                        failures.append(f"{mid} ({kind}): action {action} not in header {text!r}")
                for part in m.walk():
                    if part.is_multipart() or part.get_content_maintype() in ("text", "message"):
                        continue
                    data = part.get_payload(decode=True)
                    path = os.path.join(work, "att")
                    with open(path, "wb") as f:
                        f.write(data)
                    if data == clean:
                        continue  # a clean archive, byte for byte
                    if kind == "clean zip":
                        failures.append(f"{mid}: the clean archive changed")
                    tools = ["lhasa"] if kind == "lzh" else readers
                    checked += 1
                    for tool in tools:
                        files = entries_seen(tool, path, work)
                        for name, content in files.items():
                            runnable = name.lower().endswith((".exe", ".js"))
                            if runnable or (content == payload):
                                failures.append(f"{mid} ({kind}): {tool} extracts {name} runnable")
                        if not files:
                            failures.append(f"{mid} ({kind}): {tool} extracts nothing")
                if kind == "damaged" and any(p.get_filename() == "d.zip" for p in m.walk()):
                    failures.append(f"{mid}: the damaged archive was delivered")
        if failures and instance:
            failures.append("log:\n" + instance.log())
        print(f"sent {len(sent)}, delivered {len(delivered)}, kinds {len(kinds)}, {checked} archives "
              f"extracted with {', '.join(readers + (['lhasa'] if lzh else []))}")
    except Exception as e:  # noqa: BLE001 - reported as a failure, Postfix still stopped
        failures.append(f"{type(e).__name__}: {e}")
        if instance:
            failures.append("log:\n" + instance.log())
    finally:
        if instance:
            instance.stop()
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
