#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""A stand-in for the game armory, for the fetch tests and by hand: an HTTP server on 127.0.0.1 (and the
same site on 127.0.0.2, "another host") that asks for a sign-in and serves the newest entries of a
growing guild bank log.

- GET /signin shows a sign-in form; POST /signin sets the session cookie `armory_session` (path /) and
  sends the browser to the log.
- GET /guild-bank-log.xml: with the session cookie, the newest `shown` entries newest first; without
  it, an HTML sign-in page with status 200, as real sites answer.
- The switches (`mode`): "ok", "500", "503", "hang" (no answer for a minute), "other-guild" (the same
  entries under another guild's key), "redirect-away" (a redirect to the log on the other host), and
  these, whoever asks: "xhtml-sign-in" (a sign-in page with an XML prolog), "error-page" (the
  armory's XML page for a character it cannot show), "empty-log" (a real page that lists no entry),
  "partial" (the first half of the log as "206 Partial Content"), "unclosed" (the log without the end
  of its list and of the page), "redirect-tls" (a redirect to https on this very port, which speaks
  plain HTTP).

Run on its own (python3 armory_site.py --grow-every 3 --shown 20) it prints its base address and the
session cookie as a Netscape cookie file line, and adds an entry every few seconds; or import it and
drive an ArmorySite from a test.
"""

import argparse
import http.server
import secrets
import signal
import sys
import threading
import time
import urllib.parse

FIRST_TS = 1_700_000_000_000  # the first entry's time; each next one a second later
GUILD = ("Iron Lanterns", "Silver Hand")
OTHER_GUILD = ("Copper Kettles", "Silver Hand")
SESSION = "armory_session"

XHTML_SIGN_IN_PAGE = (b'<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0'
                      b' Strict//EN" "http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd">\n'
                      b'<html xmlns="http://www.w3.org/1999/xhtml"><head><title>Sign in</title></head><body>'
                      b'<form method="post" action="/signin"><input name="account"/></form></body></html>')
ERROR_PAGE = b'<?xml version="1.0" encoding="UTF-8"?><page><errorhtml type="noCharacter"/></page>'
SIGN_IN_PAGE = (b"<!DOCTYPE html><html><head><title>Sign in</title></head><body>"
                b"<form method=\"post\" action=\"/signin\"><input name=\"account\"><input name=\"password\""
                b" type=\"password\"><button>Sign in</button></form></body></html>")


def entry_xml(number):
    """Entry `number` (from 0) of the log: deposits of money and withdrawals of items by turns."""
    ts = FIRST_TS + number * 1000
    player = "Member%d" % (number % 7)
    if number % 2 == 0:
        return '<banklog dtab="" money="%d" player="%s" rank="1" ts="%d" type="4"/>' % (
            100 * (number + 1), player, ts)
    return ('<banklog dtab="0" money="0" player="%s" rank="1" ts="%d" type="2"><item count="%d" icon="inv"'
            ' id="%d" name="Item %d" qi="2" slot="0" subtype="" type="0"/></banklog>' % (
                player, ts, number % 5 + 1, 30000 + number % 11, number % 11))


def log_xml(numbers, guild=GUILD):
    """The log page of these entries, in the order given."""
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', '<page requestUrl="/guild-bank-log.xml">',
             '  <guildKey name="%s" realm="%s"/>' % guild, "  <guildBank>", "    <banklogs>"]
    lines += ["      " + entry_xml(number) for number in numbers]
    lines += ["    </banklogs>", "  </guildBank>", "</page>", ""]
    return "\n".join(lines).encode()


def hostile_page(mode, log, port):
    """What the armory answers, whoever asks, in one of the modes that show no whole log, or None."""
    if mode == "xhtml-sign-in":
        return 200, {}, XHTML_SIGN_IN_PAGE
    if mode == "error-page":
        return 200, {}, ERROR_PAGE
    if mode == "empty-log":
        return 200, {}, log_xml([])
    if mode == "partial":
        half = len(log) // 2
        return 206, {"Content-Range": "bytes 0-%d/%d" % (half - 1, len(log))}, log[:half]
    if mode == "unclosed":
        return 200, {}, log[:log.index(b"    </banklogs>")]
    if mode == "redirect-tls":
        return 302, {"Location": "https://127.0.0.1:%d/guild-bank-log.xml" % port}, b""
    return None


class QuietServer(http.server.ThreadingHTTPServer):
    """Says nothing of a client that went away before its answer was sent."""
    daemon_threads = True

    def handle_error(self, request, client_address):
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


class ArmorySite:
    """The site's state, and its two servers (127.0.0.1 and 127.0.0.2, one port) on threads of their own."""

    def __init__(self, shown=20, entries=0):
        self.lock = threading.Lock()
        self.shown = shown
        self.entries = entries
        self.mode = "ok"
        self.served = set()  # every entry number a log page has shown
        self.token = secrets.token_hex(16)
        self.requests = []  # (host, path, cookie header) of each request
        self.answered = 0  # requests answered in full
        self.stop_hanging = threading.Event()
        self.servers = []
        for host in ("127.0.0.1", "127.0.0.2"):
            port = self.servers[0].server_address[1] if self.servers else 0
            server = QuietServer((host, port), self._handler_class())
            self.servers.append(server)
            threading.Thread(target=server.serve_forever, daemon=True).start()
        self.port = self.servers[0].server_address[1]

    def base(self, host="127.0.0.1"):
        return "http://%s:%d" % (host, self.port)

    def log_address(self):
        return self.base() + "/guild-bank-log.xml"

    def cookie_line(self, domain="127.0.0.1", path="/", secure="FALSE", expiry=0):
        return "%s\tFALSE\t%s\t%s\t%d\t%s\t%s\n" % (domain, path, secure, expiry, SESSION, self.token)

    def add(self, count=1):
        with self.lock:
            self.entries += count

    def set_mode(self, mode):
        self.stop_hanging.set()
        self.stop_hanging = threading.Event()
        self.mode = mode

    def served_log(self):
        """Every entry that a page has shown, as one log."""
        with self.lock:
            return log_xml(sorted(self.served, reverse=True))

    def close(self):
        self.stop_hanging.set()
        for server in self.servers:
            server.shutdown()
            server.server_close()

    def _page(self, handler):
        path = urllib.parse.urlsplit(handler.path).path
        cookies = handler.headers.get("Cookie", "")
        with self.lock:
            self.requests.append((handler.server.server_address[0], path, cookies))
        if path == "/signin":
            return 200, {}, SIGN_IN_PAGE
        if path != "/guild-bank-log.xml":
            return 404, {}, b"<html><body>Not found</body></html>"
        mode = self.mode
        if mode == "redirect-away" and handler.server is self.servers[0]:
            return 302, {"Location": self.base("127.0.0.2") + path}, b""
        if mode in ("500", "503"):
            return int(mode), {}, b"<html><body>The armory is busy.</body></html>"
        if mode == "hang":
            self.stop_hanging.wait(60)
            return 503, {}, b""
        hostile = hostile_page(mode, log_xml(range(self.entries - 1, -1, -1)), self.port)
        if hostile:
            return hostile
        if "%s=%s" % (SESSION, self.token) not in [c.strip() for c in cookies.split(";")]:
            return 200, {}, SIGN_IN_PAGE
        with self.lock:
            numbers = list(range(self.entries - 1, max(self.entries - self.shown, 0) - 1, -1))
            self.served.update(numbers)
        return 200, {}, log_xml(numbers, OTHER_GUILD if mode == "other-guild" else GUILD)

    def _handler_class(self):
        site = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_GET(self):
                status, headers, body = site._page(self)
                self.send_response(status)
                for name, value in headers.items():
                    self.send_header(name, value)
                self.send_header("Content-Type", "text/html" if body.startswith(b"<") and b"?xml" not in body
                                 else "text/xml")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
                with site.lock:
                    site.answered += 1

            def do_POST(self):
                self.rfile.read(int(self.headers.get("Content-Length", "0")))
                self.send_response(303)
                self.send_header("Set-Cookie", "%s=%s; Path=/; HttpOnly" % (SESSION, site.token))
                self.send_header("Location", "/guild-bank-log.xml")
                self.send_header("Content-Length", "0")
                self.end_headers()

            def log_message(self, *args):
                pass

        return Handler


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--shown", type=int, default=20, help="entries the log page shows")
    parser.add_argument("--entries", type=int, default=0, help="entries the log starts with")
    parser.add_argument("--grow-every", type=float, default=0, help="seconds between new entries (0: none)")
    parser.add_argument("--served-log", help="write every entry served to this file at the end")
    parser.add_argument("--whole-log", help="write every entry the log held to this file at the end")
    parser.add_argument("--cookie-file", help="write the session cookie to this Netscape cookie file")
    parser.add_argument("--down", nargs=2, type=float, metavar=("AFTER", "FOR"),
                        help="answer 503 from AFTER seconds on, for FOR seconds")
    options = parser.parse_args()
    signal.signal(signal.SIGTERM, signal.default_int_handler)  # ends it as Ctrl-C does, logs written
    site = ArmorySite(options.shown, options.entries)
    print(site.log_address(), flush=True)
    if options.cookie_file:
        with open(options.cookie_file, "w") as file:
            file.write("# Netscape HTTP Cookie File\n#HttpOnly_" + site.cookie_line())
    start = time.monotonic()
    try:
        while True:
            time.sleep(options.grow_every or 1)
            if options.grow_every:
                site.add()
            if options.down:
                elapsed = time.monotonic() - start
                site.mode = "503" if options.down[0] <= elapsed < sum(options.down) else "ok"
    except KeyboardInterrupt:
        pass
    finally:
        if options.served_log:
            with open(options.served_log, "wb") as file:
                file.write(site.served_log())
        if options.whole_log:
            with open(options.whole_log, "wb") as file:
                file.write(log_xml(range(site.entries - 1, -1, -1)))
        site.close()


if __name__ == "__main__":
    main()
