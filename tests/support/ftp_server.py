#!/usr/bin/python3
"""A real FTP server for the tests: pyftpdlib on 127.0.0.1, a free port.

Prints "PORT <n>" once it listens, then serves until killed. Users: the
given user with its password (full rights on the root folder), and
anonymous (read and write, so uploads can be tested either way).
With --cut, a download of a file whose name starts with "cut" ends the
session half way, as a server that dies does.
"""
import argparse
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="tester")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--cut", action="store_true")
    args = parser.parse_args()

    logging.basicConfig(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    authorizer.add_anonymous(args.root, perm="elradfmwMT")

    class Handler(FTPHandler):
        def ftp_RETR(self, file):
            if args.cut and os.path.basename(file).startswith("cut"):
                self.respond("150 File status okay. About to open data connection.")
                self.close()
                return
            return FTPHandler.ftp_RETR(self, file)

    Handler.authorizer = authorizer
    Handler.banner = "Veldra test server ready."
    # Names are bytes on the wire: keep them as they are on disk.
    Handler.encoding = "utf-8"
    Handler.use_encoding = True
    # Names that are not UTF-8 go out and come back as the same bytes.
    Handler.unicode_errors = "surrogateescape"
    Handler.permit_foreign_addresses = False
    Handler.passive_ports = None
    # Refused logins answer at once: the tests have no use for the delay.
    Handler.auth_failed_timeout = 0.05

    server = FTPServer(("127.0.0.1", args.port), Handler)
    server.max_cons = 64
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    sys.stdout.flush()
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
