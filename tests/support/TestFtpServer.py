"""FTP server for the tests: serves one folder on 127.0.0.1.

Records "<verb> <argument>" of every command a client sends (never a
password), so the test can tell which transfers took place.
"""

import argparse
import logging

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

from TestServerOutput import arguments, say, serve_until_output_closes


class RecordingHandler(FTPHandler):
    def pre_process_command(self, line, cmd, arg):
        say("%s %s" % (cmd, "****" if cmd == "PASS" else (arg or "")))
        FTPHandler.pre_process_command(self, line, cmd, arg)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    parser.add_argument("--send-limit", type=int, default=0, help="bytes per second of a download")
    args = arguments(parser)

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
        ThrottledDTPHandler.write_limit = args.send_limit
        handler.dtp_handler = ThrottledDTPHandler
    server = FTPServer(("127.0.0.1", 0), handler)
    serve_until_output_closes(server.address[1], lambda: server.serve_forever(handle_exit=False))


if __name__ == "__main__":
    main()
