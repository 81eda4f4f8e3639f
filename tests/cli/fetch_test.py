#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""coffer-cli --fetch against a local armory (tests/support/armory_site.py), as a process: the ledger
ends up holding exactly the entries the site served, an outage beyond the page's reach gives one gap,
each failure gives its line (and the loop goes on), cookies go where their rules send them, alerts are
told whatever their command and webhook do, and a signal during a fetch leaves the ledger as it was.

Usage: fetch_test.py COFFER_CLI"""

import http.server
import json
import os
import re
import signal
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import armory_site  # noqa: E402

CLI = None
TIME = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d "


class FetchTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.site = armory_site.ArmorySite(shown=5, entries=5)
        self.ledger = self.path("ledger.sqlite")
        self.cookies = self.write_cookies(self.site.cookie_line())
        self.url = self.site.log_address()

    def tearDown(self):
        self.site.close()
        self.folder.cleanup()

    def path(self, name):
        return os.path.join(self.folder.name, name)

    def write_cookies(self, text, mode=0o600):
        path = self.path("cookies.txt")
        with open(path, "w") as file:
            file.write("# Netscape HTTP Cookie File\n" + text)
        os.chmod(path, mode)
        return path

    def fetch(self, *extra, url=None, cookies=True, timeout=60):
        args = [CLI, "--ledger", self.ledger, "--fetch", url or self.url]
        args += ["--cookies", self.cookies] if cookies else []
        result = subprocess.run(args + list(extra), capture_output=True, text=True, timeout=timeout)
        return result.returncode, result.stderr

    def cli(self, *args):
        return subprocess.run([CLI, *args], capture_output=True, text=True, timeout=60, check=True)

    def info(self, name):
        return int(re.search(r"^%s: (\d+)$" % name, self.cli("--ledger", self.ledger, "--info").stdout, re.M)[1])

    def test_fetches_hold_every_entry_served_and_an_outage_beyond_the_pages_reach_gives_one_gap(self):
        for arriving, new in ((0, 5), (2, 2), (4, 4), (1, 1), (0, 0), (3, 3)):
            self.site.add(arriving)
            status, err = self.fetch()
            self.assertEqual(status, 0, err)
            self.assertRegex(err, "^%s%s: 5 entries, %d new to the ledger" % (TIME, re.escape(self.url), new))
        self.assertEqual(self.info("Gaps"), 0)
        self.site.set_mode("503")
        self.site.add(8)  # more than the 5 the page shows
        self.assertEqual(self.fetch("--quiet")[0], 2)
        self.site.set_mode("ok")
        status, err = self.fetch("--quiet")
        self.assertEqual(status, 0)
        self.assertRegex(err, "^%sEntries between .* may be missing: no paste covered that time.\n$" % TIME)
        self.assertEqual(self.info("Gaps"), 1)
        # The ledger's tables, entry counts and sums per member and item, are those of the log served.
        served = self.path("served.xml")
        with open(served, "wb") as file:
            file.write(self.site.served_log())
        tables = []
        for source, name in ((["--ledger", self.ledger], "ledger"), ([served], "served")):
            members, items = self.path(name + "-members.tsv"), self.path(name + "-items.tsv")
            self.cli(*source, "--quiet", "-o", self.path(name + ".html"), "--members", members, "--items", items)
            with open(members) as member_table, open(items) as item_table:
                tables.append([member_table.read(), item_table.read()])
        self.assertEqual(tables[0], tables[1])
        self.assertIn("Entries: %d " % len(self.site.served), self.cli("--ledger", self.ledger, "--info").stdout)

    def test_each_failure_gives_its_line_and_status(self):
        # A row for each status and kind of line; the page rules' and the downloader's tests say which gives which.
        url = re.escape(self.url)
        cases = [  # mode, cookie file, status, line
            ("ok", False, 1, url + ": the armory shows no bank log; sign in again and export the cookies"),
            ("500", True, 2, url + ": the page could not be loaded: HTTP 500"),
            ("redirect-tls", False, 2, url + ": the page could not be loaded: SSL handshake failed.*"),
            ("other-guild", True, 2, url + ": refused: .*Copper Kettles.*"),
            ("empty-log", True, 0, url + ": 0 entries, 0 new to the ledger.*"),
        ]
        self.assertEqual(self.fetch()[0], 0)  # the ledger's guild is set
        for mode, cookies, status, line in cases:
            with self.subTest(mode=mode, cookies=cookies):
                pastes = self.info("Pastes")
                self.site.set_mode(mode)
                self.assertEqual(self.fetch("--quiet", cookies=cookies)[0], status)
                result = self.fetch(cookies=cookies)
                self.assertEqual(result[0], status)
                self.assertRegex(result[1], "^%s%s\n$" % (TIME, line))
                self.assertEqual(self.info("Pastes") > pastes, status == 0)  # nothing listed for a failure
        # An address's sign-in is never shown: its user part, nor a secret of its query.
        status, err = self.fetch(url="http://officer:pw@127.0.0.1:1/guild-bank-log.xml?sid=s3&n=Iron")
        self.assertEqual(status, 2)
        self.assertRegex(err, r"^%shttp://127\.0\.0\.1:1/guild-bank-log\.xml\?sid=\*\*\*&n=Iron: the page could not "
                              r"be loaded: Connection refused\n$" % TIME)
        self.assertEqual(self.fetch(url="ftp://officer:pw@127.0.0.1/log"),
                         (2, "coffer-cli: option --fetch needs an http:// or https:// address, not \"ftp://127.0.0.1\"\n"
                             "Try 'coffer-cli --help' for more information.\n"))

    def test_the_loop_goes_on_after_failures_and_ends_on_a_signal(self):
        self.site.set_mode("500")
        loop = subprocess.Popen([CLI, "--ledger", self.ledger, "--fetch", self.url, "--cookies", self.cookies,
                                 "--every", "10s"], stderr=subprocess.PIPE, text=True)
        self.addCleanup(loop.stderr.close)
        lines = [loop.stderr.readline()]
        self.site.set_mode("other-guild")
        lines.append(loop.stderr.readline())
        os.remove(self.cookies)  # read again before each fetch, and checked as at the start
        os.mkdir(self.cookies)
        lines.append(loop.stderr.readline())
        os.rmdir(self.cookies)
        self.write_cookies(self.site.cookie_line())
        self.site.set_mode("ok")
        lines.append(loop.stderr.readline())
        loop.send_signal(signal.SIGHUP)
        self.assertEqual(loop.wait(timeout=10), 0)
        self.assertRegex(lines[0], "could not be loaded: HTTP 500\n$")
        self.assertRegex(lines[1], ": 5 entries, 5 new to the ledger\n$")  # the first guild a ledger sees
        self.assertRegex(lines[2], ": the page could not be loaded: %s is not a cookie file: it is a folder\n$"
                         % re.escape(self.cookies))
        self.assertRegex(lines[3], ": refused: ")
        self.assertEqual(loop.stderr.read(), "")

    def test_alerts_are_told_and_a_hanging_command_or_a_failing_webhook_never_stops_the_loop(self):
        self.cli("--ledger", self.ledger, "--add-rule", "withdrawals with no deposit ever")
        hook = http.server.HTTPServer(("127.0.0.1", 0), WebhookHandler)
        hook.status, hook.posts = 500, []
        threading.Thread(target=hook.serve_forever, daemon=True).start()
        self.addCleanup(hook.server_close)
        self.addCleanup(hook.shutdown)
        script, runs, hang = self.path("told.sh"), self.path("runs"), self.path("hang")
        with open(script, "w") as file:
            file.write('#!/bin/sh\nprintf "%%s|%%s|%%s|%%s|%%s\\n" "$COFFER_ALERT" "$COFFER_MEMBER" "$COFFER_RULE" '
                       '"$COFFER_DAY" "$#" >> %s\n[ -e %s ] && sleep 600\nexit 0\n' % (runs, hang))
        os.chmod(script, 0o700)
        open(hang, "w").close()
        webhook = "http://127.0.0.1:%d/api/webhooks/s3cret" % hook.server_address[1]
        loop = subprocess.Popen([CLI, "--ledger", self.ledger, "--fetch", self.url, "--cookies", self.cookies,
                                 "--every", "30s", "--quiet", "--alert-command", script + ' "$@"',
                                 "--alert-webhook", webhook], stderr=subprocess.PIPE, text=True)
        self.addCleanup(loop.stderr.close)
        stuck = threading.Timer(90, loop.kill)  # a loop that tells nothing fails the test rather than hangs it
        stuck.start()
        self.addCleanup(stuck.cancel)
        alert = re.compile(r"ALERT ((\d{4}-\d\d-\d\d): (Member\d) has withdrawn and never deposited "
                           r"\(rule 1: withdrawals with no deposit ever\))\n$")
        first = [loop.stderr.readline() for _ in range(4)]  # Member1 and Member3 withdrew, never deposited
        os.remove(hang)
        hook.status = 204
        self.site.add(4)  # Member5 withdraws
        second = loop.stderr.readline()
        loop.send_signal(signal.SIGHUP)
        self.assertEqual(loop.wait(timeout=10), 0)
        told = [alert.match(line) for line in (first[0], first[1], second)]
        self.assertTrue(all(told), first + [second])
        self.assertEqual((sorted([told[0][3], told[1][3]]), told[2][3]), (["Member1", "Member3"], "Member5"))
        self.assertEqual(first[2], "coffer-cli: the alert command was still running after 10 seconds and was killed, "
                                   "not run for the 1 after it\n")
        self.assertEqual(first[3], "coffer-cli: the alert webhook at 127.0.0.1 failed: HTTP 500, not posted for the 1 "
                                   "after it\n")
        self.assertEqual(loop.stderr.read(), "")
        with open(runs) as file:  # the first alert of each add; the first add's command hung on it
            self.assertEqual(file.read(), "".join("%s|%s|1|%s|0\n" % (told[i][1], told[i][3], told[i][2]) for i in (0, 2)))
        self.assertEqual(hook.posts, [json.dumps({"content": told[i][1]}).encode() for i in (0, 2)])

    def test_cookies_go_where_their_rules_send_them(self):
        # The rules themselves are the cookie file's unit test's; here, that a fetch follows them. A file
        # others can read is still read, with a warning.
        site = self.site
        cases = [  # cookie file text, its mode, sent
            (site.cookie_line(path="/guild-bank-log.xml"), 0o600, True),
            (site.cookie_line(expiry=int(time.time()) - 60), 0o640, False),
            (site.cookie_line(), 0o604, True),
        ]
        for text, mode, sent in cases:
            with self.subTest(cookies=text, mode=oct(mode)):
                self.write_cookies(text, mode)
                status, err = self.fetch("--quiet")
                self.assertEqual(status, 0 if sent else 1)
                self.assertEqual(err.startswith("warning: %s can be read by other users\n" % self.cookies),
                                 mode != 0o600)
        open(self.write_cookies(""), "w").close()  # an empty file: signed out, not unreadable
        self.assertEqual(self.fetch()[0], 1)
        site.set_mode("redirect-away")
        self.write_cookies(site.cookie_line() + site.cookie_line(domain="127.0.0.2"))
        site.requests.clear()
        self.assertEqual(self.fetch()[0], 0)
        self.assertEqual([(host, cookie != "") for host, _, cookie in site.requests],
                         [("127.0.0.1", True), ("127.0.0.2", True)])
        self.write_cookies(site.cookie_line())
        site.requests.clear()
        self.assertEqual(self.fetch()[0], 1)
        self.assertEqual(site.requests[1][2], "")  # the other host got none of the first host's cookies

    def test_a_cookie_file_that_cannot_be_read_ends_it_before_the_ledger_is_made(self):
        """Anything but a regular file of at most 1 MiB, links followed, is refused at once: a pipe
        without a writer or an endless device never holds the program up."""
        good, fifo, zero, large, limit = (self.cookies, self.path("fifo"), self.path("zero"),
                                          self.path("large.txt"), self.path("limit.txt"))
        os.mkfifo(fifo)
        os.symlink("/dev/zero", zero)
        for name, size in ((large, (1 << 20) + 1), (limit, 1 << 20)):
            with open(name, "w") as file:
                file.write("#" * (size - 1) + "\n")
            os.chmod(name, 0o600)
        cases = [  # cookie file, status, what it prints ("" for a fetch's own lines)
            (self.path("missing.txt"), 2, "cannot read %s: No such file or directory"),
            (self.path("."), 2, "%s is not a cookie file: it is a folder"),
            (fifo, 2, "%s is not a cookie file: it is a pipe"),
            ("/dev/zero", 2, "%s is not a cookie file: it is a device"),
            (zero, 2, "%s is not a cookie file: it is a device"),
            (large, 2, "%s is not a cookie file: it is larger than 1 MiB"),
            (limit, 1, ""),  # read: it holds no cookie
            (self.path("link.txt"), 0, ""),
        ]
        os.symlink(good, self.path("link.txt"))
        for name, status, said in cases:
            with self.subTest(name=name):
                if os.path.exists(self.ledger):
                    os.remove(self.ledger)
                self.cookies = name
                result = self.fetch("--quiet", timeout=10)
                self.assertEqual(result[0], status, result[1])
                if said:
                    self.assertEqual(result[1], "coffer-cli: %s\n" % (said % name))
                self.assertEqual(os.path.exists(self.ledger), status != 2, result[1])

    def adding(self):
        """Whether an add holds the ledger's write lock, as it does from its first statement to its end."""
        probe = sqlite3.connect(self.ledger, timeout=0, isolation_level=None)
        try:
            probe.execute("BEGIN IMMEDIATE")
            probe.execute("ROLLBACK")
            return False
        except sqlite3.OperationalError:
            return True
        finally:
            probe.close()

    def test_a_signal_during_a_fetch_leaves_the_ledger_as_it_was(self):
        """A signal during a fetch's download or its add, once or in a loop, ends it with status 0 and
        nothing of its page added; during --add it ends the program at once, the ledger whole."""
        self.assertEqual(self.fetch()[0], 0)
        before = self.cli("--ledger", self.ledger, "--info").stdout
        page = self.path("page.xml")
        with open(page, "wb") as file:
            file.write(armory_site.log_xml(range(79_999, -1, -1)))
        self.site.shown = self.site.entries = 80_000
        fetch = ["--fetch", self.url, "--cookies", self.cookies]
        cases = [  # site mode, arguments, whether the signal comes during the add, status
            ("hang", fetch, False, 0),
            ("ok", fetch, True, 0),
            ("ok", fetch + ["--every", "10s"], True, 0),
            ("ok", ["--add", page], True, -signal.SIGTERM),
        ]
        for mode, args, during_add, status in cases:
            with self.subTest(mode=mode, args=args):
                self.site.set_mode(mode)
                self.site.requests.clear()
                run = subprocess.Popen([CLI, "--ledger", self.ledger, *args], stderr=subprocess.PIPE, text=True)
                self.addCleanup(run.stderr.close)
                while not (self.adding() if during_add else self.site.requests) and run.poll() is None:
                    time.sleep(0.005)
                signalled = time.monotonic()
                run.send_signal(signal.SIGTERM)
                self.assertEqual(run.wait(timeout=30), status)
                self.assertLess(time.monotonic() - signalled, 2)  # 0.05 s here; the goal is 0.5 s
                self.assertEqual(run.stderr.read(), "")
                info = self.cli("--ledger", self.ledger, "--info").stdout
                if status == 0:
                    self.assertEqual(info, before)
                else:  # the add not begun or whole
                    self.assertTrue(info == before or "Entries: 80000 " in info, info)


class WebhookHandler(http.server.BaseHTTPRequestHandler):
    """A chat service's incoming webhook: keeps each body posted and answers with the server's status."""

    def do_POST(self):
        self.server.posts.append(self.rfile.read(int(self.headers["Content-Length"])))
        self.send_response(self.server.status)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def log_message(self, *args):
        pass


if __name__ == "__main__":
    CLI = sys.argv.pop(1)
    unittest.main()
