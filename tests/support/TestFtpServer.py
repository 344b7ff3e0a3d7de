"""FTP server for the tests: serves one folder on 127.0.0.1.

Binds an ephemeral port and prints "PORT <n>" as its first line, then one
line "CMD <verb> <argument>" for every command a client sends (passwords are
never echoed), so the test can tell which transfers took place. Ends when its
standard input is closed, so it never outlives the test that started it.
"""

import argparse
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

OUTPUT_LOCK = threading.Lock()  # one writer per line of standard output


def say(line):
    with OUTPUT_LOCK:
        sys.stdout.write(line + "\n")
        sys.stdout.flush()


class RecordingHandler(FTPHandler):
    def pre_process_command(self, line, cmd, arg):
        shown = "****" if cmd == "PASS" else (arg or "")
        say("CMD %s %s" % (cmd, shown))
        FTPHandler.pre_process_command(self, line, cmd, arg)


def end_with_stdin():
    sys.stdin.read()
    os._exit(0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    parser.add_argument("--send-limit", type=int, default=0, help="bytes per second of a download")
    args = parser.parse_args()

    logging.basicConfig(level=logging.CRITICAL)
    authorizer = DummyAuthorizer()
    if args.user:
        authorizer.add_user(args.user, args.password, args.root, perm="elr")
    else:
        authorizer.add_anonymous(args.root, perm="elr")

    handler = RecordingHandler
    handler.authorizer = authorizer
    handler.permit_foreign_addresses = False
    handler.auth_failed_timeout = 0  # a refused login answers at once
    if args.send_limit > 0:
        dtp = ThrottledDTPHandler
        dtp.write_limit = args.send_limit
        handler.dtp_handler = dtp

    server = FTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=end_with_stdin, daemon=True).start()
    say("PORT %d" % server.address[1])
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
