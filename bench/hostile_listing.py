#!/usr/bin/python3
"""An FTP server on 127.0.0.1 whose listings are far larger than any
folder: after 150, every LIST or MLSD sends --gib gibibytes of listing
(--kind list: "ls -l" lines; mlsd: MLSD facts; endless: one line that
never ends), as a hostile server may. With --folder NAME, only that
folder's listing is so large, and --root is served as it is: a folder
download of NAME meets it. Anonymous login; prints "PORT <n>" once it
listens.
"""
import argparse
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

CHUNK_LINES = 2000


class Listing:
    """A producer of the listing, a chunk at a time."""

    def __init__(self, kind, total):
        self.kind, self.left, self.count = kind, total, 0

    def chunk(self):
        if self.kind == "endless":
            return b"x" * 65536
        start, self.count = self.count, self.count + CHUNK_LINES
        if self.kind == "mlsd":
            line = "type=file;size=%d;modify=20261201073100;perm=r; file%09d.txt\r\n"
        else:
            line = "-rw-r--r--    1 0        0        %12d Dec 07 07:31 file%09d.txt\r\n"
        return "".join(line % (n, n) for n in range(start, self.count)).encode()

    def more(self):
        if self.left <= 0:
            return b""
        data = self.chunk()[: self.left]
        self.left -= len(data)
        return data


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kind", choices=("list", "mlsd", "endless"), default="list")
    parser.add_argument("--gib", type=float, default=1.0)
    parser.add_argument("--folder")
    parser.add_argument("--root", default="/tmp")
    args = parser.parse_args()
    total = int(args.gib * (1 << 30))
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(args.root)

    def huge(path):
        return not args.folder or path.rstrip("/").endswith("/" + args.folder)

    class Handler(FTPHandler):
        def ftp_LIST(self, path):
            if not huge(path):
                return FTPHandler.ftp_LIST(self, path)
            self.push_dtp_data(Listing(args.kind, total), isproducer=True, cmd="LIST")

        def ftp_MLSD(self, path):
            if not huge(path):
                return FTPHandler.ftp_MLSD(self, path)
            self.push_dtp_data(Listing(args.kind, total), isproducer=True, cmd="MLSD")

    Handler.authorizer = authorizer
    Handler.permit_foreign_addresses = False
    server = FTPServer(("127.0.0.1", 0), Handler)
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    sys.stdout.flush()
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
