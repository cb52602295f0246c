#!/usr/bin/python3
"""A real SMTP server for tests, benchmarks and the demo (aiosmtpd).

Command line (stable; other tests and scripts rely on it):

  /usr/bin/python3 tests/smtp_server.py [options]

  --host ADDR          address to listen on (default 127.0.0.1)
  --port N             port to listen on; 0 = pick a free one (default 0)
  --tls-cert FILE      offer STARTTLS with this certificate (PEM) ...
  --tls-key FILE       ... and this private key (PEM); both or neither
  --auth USER:PASS     offer AUTH (PLAIN, LOGIN) after STARTTLS; only this login works.
                       Split at the first ":", so the password may hold ":" and "@".
  --auth-exclude MECH  do not offer this AUTH mechanism (repeatable, e.g. PLAIN)
  --dsn                advertise DSN and accept RET/ENVID (MAIL) and NOTIFY/ORCPT (RCPT)
  --reject ADDR        answer RCPT TO for ADDR with 550 (repeatable, case-insensitive)
  --reject-data        answer the end of DATA with 554 (the message is not stored)
  --maildir DIR        store every accepted message as DIR/NNNN.eml (raw bytes as received,
                       without the SMTP dot-stuffing) and DIR/NNNN.json:
                       {"mail_from", "rcpt_tos", "mail_options", "rcpt_options",
                        "tls": bool, "login": str|null}
                       rcpt_options is a list with one list of options per recipient.
  --verbose            log the dialogue to stderr

When it listens it prints one line "PORT <n>" on stdout (and flushes).
It ends on SIGTERM or SIGINT, and when its stdin is a pipe or socket that is closed
(so a test that dies takes its server with it). Stdin from /dev/null or a terminal is
not watched.
"""

import argparse
import json
import logging
import os
import signal
import socket
import ssl
import stat
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

# Parameters of RFC 3461 that aiosmtpd 1.4 would refuse with 555.
DSN_PARAMS = {"RET", "ENVID", "NOTIFY", "ORCPT"}


class DsnSMTP(SMTP):
    """SMTP that lets the DSN parameters through; the envelope keeps them in its option lists."""

    def _getparams(self, params):
        result = super()._getparams(params)
        if result is None:
            return None
        return {k: v for k, v in result.items() if k not in DSN_PARAMS}


class Handler:
    def __init__(self, args):
        self.args = args
        self.rejected = {a.lower() for a in args.reject}
        self.lock = threading.Lock()
        self.counter = 0
        if args.maildir:
            os.makedirs(args.maildir, exist_ok=True)
            numbers = [int(n[:4]) for n in os.listdir(args.maildir)
                       if n.endswith(".eml") and n[:4].isdigit()]
            self.counter = max(numbers, default=0)

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        session.host_name = hostname
        if self.args.dsn:
            # Before the final "250 HELP" line, which must stay last.
            responses.insert(len(responses) - 1, "250-DSN")
        return responses

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.rejected:
            return f"550 5.1.1 <{address}>: Recipient address rejected"
        envelope.rcpt_tos.append(address)
        envelope.rcpt_options.append(list(rcpt_options))
        return "250 2.1.5 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.args.reject_data:
            return "554 5.6.0 Message rejected by test server"
        if self.args.maildir:
            with self.lock:
                self.counter += 1
                number = self.counter
            base = os.path.join(self.args.maildir, f"{number:04d}")
            meta = {
                "mail_from": envelope.mail_from,
                "rcpt_tos": envelope.rcpt_tos,
                "mail_options": envelope.mail_options,
                "rcpt_options": envelope.rcpt_options,
                "tls": session.ssl is not None,
                "login": session.auth_data.login.decode("utf-8", "replace")
                if isinstance(session.auth_data, LoginPassword) else None,
            }
            write_atomic(base + ".json", json.dumps(meta, indent=2).encode())
            # Written last: a reader that sees the .eml also finds the .json.
            write_atomic(base + ".eml", envelope.original_content)
        return "250 2.0.0 OK queued"


def write_atomic(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.rename(tmp, path)


class Authenticator:
    def __init__(self, login):
        user, _, password = login.partition(":")
        self.user = user.encode()
        self.password = password.encode()

    def __call__(self, server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login == self.user and auth_data.password == self.password)
        # handled=False: aiosmtpd answers 535 itself; otherwise a refused login gets no reply.
        return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)


class DsnController(Controller):
    def factory(self):
        return DsnSMTP(self.handler, **self.SMTP_kwargs)


def free_port(host):
    with socket.socket(socket.AF_INET6 if ":" in host else socket.AF_INET) as s:
        s.bind((host, 0))
        return s.getsockname()[1]


def parse_args(argv):
    p = argparse.ArgumentParser(description="SMTP server for tests (aiosmtpd)")
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--tls-cert")
    p.add_argument("--tls-key")
    p.add_argument("--auth")
    p.add_argument("--auth-exclude", action="append", default=[])
    p.add_argument("--dsn", action="store_true")
    p.add_argument("--reject", action="append", default=[])
    p.add_argument("--reject-data", action="store_true")
    p.add_argument("--maildir")
    p.add_argument("--verbose", action="store_true")
    args = p.parse_args(argv)
    if bool(args.tls_cert) != bool(args.tls_key):
        p.error("--tls-cert and --tls-key go together")
    return args


def start(args):
    kwargs = {"server_hostname": "orvex-test-smtp", "ready_timeout": 30,
              "data_size_limit": 64 * 1024 * 1024}
    if args.tls_cert:
        ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        ctx.load_cert_chain(args.tls_cert, args.tls_key)
        kwargs["tls_context"] = ctx
    if args.auth:
        kwargs["authenticator"] = Authenticator(args.auth)
        kwargs["auth_require_tls"] = True
        if args.auth_exclude:
            kwargs["auth_exclude_mechanism"] = [m.upper() for m in args.auth_exclude]
    cls = DsnController if args.dsn else Controller
    handler = Handler(args)
    # A chosen free port may be taken by someone else before we bind it: try again.
    for attempt in range(20):
        port = args.port or free_port(args.host)
        controller = cls(handler, hostname=args.host, port=port, **kwargs)
        try:
            controller.start()
            return controller, port
        except OSError:
            if args.port or attempt == 19:
                raise
    raise RuntimeError("no free port")


def stdin_is_watchable():
    try:
        mode = os.fstat(0).st_mode
    except OSError:
        return False
    return stat.S_ISFIFO(mode) or stat.S_ISSOCK(mode)


def main(argv):
    args = parse_args(argv)
    logging.basicConfig(level=logging.DEBUG if args.verbose else logging.CRITICAL,
                        stream=sys.stderr)
    controller, port = start(args)
    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())
    signal.signal(signal.SIGINT, lambda *_: done.set())
    if stdin_is_watchable():
        def watch():
            while os.read(0, 4096):
                pass
            done.set()
        threading.Thread(target=watch, daemon=True).start()
    print(f"PORT {port}", flush=True)
    while not done.wait(0.5):
        pass
    controller.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
