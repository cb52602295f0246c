#!/usr/bin/python3
"""Dispatch speed against the local test SMTP server (STARTTLS, AUTH, DSN).

1. N single-address jobs with a PDF form, one round of
   orvex-mail --headless --once --pace 0, timed from start to end;
   beside it a shell loop sending the same N mails (same addresses, subject, body and PDF)
   through msmtp, one process per mail like cmail. Goal: ratio <= 1.0.
2. Start to main window with --pace 0: from starting the process to the first panel it shows
   (median of several starts). Goal: < 1 s.

  bench/dispatch/bench.py --build BUILD_DIR [--jobs 1000] [--starts 7]
"""

import argparse
import email.message
import os
import pathlib
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SOURCE = pathlib.Path(__file__).resolve().parents[2]


def start_server(tmp, cert, key):
    server = subprocess.Popen(
        [sys.executable, str(SOURCE / "tests" / "smtp_server.py"), "--port", "0",
         "--tls-cert", str(cert), "--tls-key", str(key), "--auth", "demo:geheim", "--dsn",
         "--maildir", str(tmp / "server")],
        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    line = server.stdout.readline()
    if not line.startswith("PORT "):
        raise SystemExit("the test server did not start")
    return server, int(line.split()[1])


def stored(tmp):
    return len(list((tmp / "server").glob("*.eml")))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", required=True, type=pathlib.Path)
    ap.add_argument("--jobs", type=int, default=1000)
    ap.add_argument("--starts", type=int, default=7)
    args = ap.parse_args()
    build = args.build.resolve()
    tmp = pathlib.Path(tempfile.mkdtemp(prefix="orvex-bench-"))
    server = None
    try:
        cert, key = tmp / "cert.pem", tmp / "key.pem"
        subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                        "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                        "-keyout", str(key), "-out", str(cert)], check=True, capture_output=True)
        server, port = start_server(tmp, cert, key)

        root = tmp / "root"
        subprocess.run([str(build / "app" / "orvex-demo-data"), "--root", str(root), "--port", str(port),
                        "--kind", "bulk", "--count", str(args.jobs)], check=True, capture_output=True)
        cmail_dir = root / "c" / "XARV" / "CMail"
        shutil.copy(build / "client" / "cmail", cmail_dir / "cmail.exe")
        (cmail_dir / "cmail.conf").write_text(f"cafile = {cert}\n")
        orvex = [str(build / "app" / "orvex-mail"), "--headless", "--pace", "0",
                 "--drive", f"C={root / 'c'}", "--drive", f"T={root / 't'}"]

        # The same mails for msmtp, made before the clock starts.
        pdf = (root / "c" / "XARV" / "Formulare" / "Sterbefall.pdf").read_bytes()
        eml_dir = tmp / "msmtp"
        eml_dir.mkdir()
        for i in range(1, args.jobs + 1):
            m = email.message.EmailMessage()
            m["From"] = "versand@orvex-mail.de"
            m["To"] = f"kunde{i}@example.org"
            m["Reply-To"] = "buero@orvex-mail.de"
            m["Subject"] = f"Formular {i:06d}"
            m.set_content("Anbei das Formular.")
            m.add_attachment(pdf, maintype="application", subtype="pdf", filename="Sterbefall.pdf")
            (eml_dir / f"{i:06d}.eml").write_bytes(bytes(m))
        conf = tmp / "msmtprc"
        conf.write_text(f"account default\nhost 127.0.0.1\nport {port}\ntls on\ntls_starttls on\n"
                        f"tls_trust_file {cert}\nauth on\nuser demo\npassword geheim\n"
                        f"from versand@orvex-mail.de\n")
        conf.chmod(0o600)

        before = stored(tmp)
        t0 = time.monotonic()
        run = subprocess.run(orvex + ["--once"], cwd=root / "work", stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, text=True)
        orvex_s = time.monotonic() - t0
        orvex_mails = stored(tmp) - before
        if run.returncode != 0:
            raise SystemExit(f"orvex-mail ended with {run.returncode}: {run.stderr[-2000:]}")

        before = stored(tmp)
        t0 = time.monotonic()
        subprocess.run(["bash", "-c", f'for f in "{eml_dir}"/*.eml; do msmtp -C "{conf}" -t < "$f" || exit 1; done'],
                       check=True)
        msmtp_s = time.monotonic() - t0
        msmtp_mails = stored(tmp) - before

        print(f"dispatch of {args.jobs} single-address jobs with a PDF (TLS + AUTH, local test server):")
        print(f"  orvex-mail --once --pace 0 : {orvex_s:8.2f} s  ({orvex_mails} mails, "
              f"{1000 * orvex_s / max(orvex_mails, 1):.1f} ms per mail)")
        print(f"  msmtp shell loop           : {msmtp_s:8.2f} s  ({msmtp_mails} mails, "
              f"{1000 * msmtp_s / max(msmtp_mails, 1):.1f} ms per mail)")
        print(f"  ratio orvex-mail / msmtp   : {orvex_s / msmtp_s:8.2f}x  (goal <= 1.0x)")

        # Start to main window: the first panel the window shows is echoed headless.
        times = []
        for _ in range(args.starts):
            t0 = time.monotonic()
            p = subprocess.Popen(orvex, cwd=root / "work", stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                 text=True)
            for line in p.stdout:
                if "] oMle1:" in line:
                    times.append(time.monotonic() - t0)
                    break
            p.kill()
            p.wait()
        print(f"start to main window, --pace 0 (median of {len(times)}): {statistics.median(times) * 1000:.0f} ms "
              f"(min {min(times) * 1000:.0f}, max {max(times) * 1000:.0f}; goal < 1000 ms)")
    finally:
        if server is not None:
            server.terminate()
            server.wait()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
