#!/usr/bin/python3
"""A real FTP server for the tests: pyftpdlib on 127.0.0.1, a free port.

Prints "PORT <n>" once it listens, then serves until killed. Users: the
given user with its password (full rights on the root folder), and
anonymous (read and write, so uploads can be tested either way).
With --cut, a download of a file whose name starts with "cut" ends the
session half way, as a server that dies does. A file whose name starts
with "slow" moves at --slow-rate bytes a second, either way, so a test
can act while it moves. The first download of a "drop*" file loses its
data connection half way. While the root holds ".no-rest", REST is
refused; while it holds ".no-port", PORT is (active mode cannot work);
while it holds ".522-after-abort", the first download after an ABOR in a
session is refused as vsftpd refuses a data connection that did not
resume the session's TLS. While it holds ".hash" at log-in, FEAT offers
HASH (SHA-256) and HASH answers the file's digest; with ".hash-wrong",
a digest one bit off, as a server whose copy differs. With --tls CERT,KEY it takes nothing in clear: explicit TLS,
every data connection encrypted (and none of the tricks above).
"""
import argparse
import hashlib
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import ActiveDTP, DTPHandler, FTPHandler, ThrottledDTPHandler
try:
    from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
except ImportError:  # without python3-openssl
    TLS_DTPHandler = TLS_FTPHandler = None
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="tester")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--host", default="127.0.0.1", help="127.0.0.1, or ::1 for IPv6")
    parser.add_argument("--cut", action="store_true")
    parser.add_argument("--slow-rate", type=int, default=2_000_000)
    parser.add_argument("--log", help="a file for the commands that move files, REST included")
    parser.add_argument("--tls", help="CERT,KEY: explicit TLS, required for logins and data")
    args = parser.parse_args()

    if args.log:
        logging.basicConfig(filename=args.log, level=logging.INFO)
    else:
        logging.basicConfig(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    authorizer.add_anonymous(args.root, perm="elradfmwMT")

    dropped = set()

    class DataChannel(ThrottledDTPHandler):
        auto_sized_buffers = False

        @property
        def read_limit(self):
            return args.slow_rate if getattr(self.cmd_channel, "slow", False) else 0

        @property
        def write_limit(self):
            return self.read_limit

        def drops(self):
            name = getattr(self.cmd_channel, "retrieving", "")
            return name.startswith("drop") and name not in dropped

        def use_sendfile(self):
            return not self.read_limit and not self.drops() and DTPHandler.use_sendfile(self)

        def send(self, data):
            # The first download of a "drop*" file loses its data connection
            # half way (426); the session stays.
            sent = ThrottledDTPHandler.send(self, data)
            if self.drops() and self.file_obj is not None:
                if self.get_transmitted_bytes() >= os.fstat(self.file_obj.fileno()).st_size // 2:
                    dropped.add(self.cmd_channel.retrieving)
                    self.handle_close()
            return sent

    class ActiveData(ActiveDTP):
        # pyftpdlib keeps the connector after it handed its socket on, and
        # closes it at the next PORT: by then another connection (another
        # session's, say) may have the descriptor's number, and would be
        # dropped from the server's loop. Forgotten once connected.
        def handle_connect(self):
            ActiveDTP.handle_connect(self)
            if self.cmd_channel._dtp_connector is self:
                self.cmd_channel._dtp_connector = None

    class Handler(TLS_FTPHandler if args.tls else FTPHandler):
        slow = False
        active_dtp = ActiveData

        def ftp_ABOR(self, line):
            self.aborted = True
            return super().ftp_ABOR(line)

        def ftp_RETR(self, file):
            if getattr(self, "aborted", False) and os.path.exists(os.path.join(args.root, ".522-after-abort")):
                self.aborted = False
                self.respond("522 SSL connection failed: session reuse required")
                return
            self.slow = os.path.basename(file).startswith("slow")
            self.retrieving = os.path.basename(file)
            if args.cut and os.path.basename(file).startswith("cut"):
                self.respond("150 File status okay. About to open data connection.")
                self.close()
                return
            return super().ftp_RETR(file)

        def ftp_REST(self, line):
            # A server that does not restart transfers, while the root
            # holds ".no-rest".
            if os.path.exists(os.path.join(args.root, ".no-rest")):
                self.respond("502 Command not implemented.")
                return
            return super().ftp_REST(line)

        def ftp_PORT(self, line):
            if os.path.exists(os.path.join(args.root, ".no-port")):
                self.respond("501 Active mode is not allowed here.")
                return
            return super().ftp_PORT(line)

        def ftp_EPRT(self, line):
            if os.path.exists(os.path.join(args.root, ".no-port")):
                self.respond("501 Active mode is not allowed here.")
                return
            return super().ftp_EPRT(line)

        def hashing(self):
            return any(os.path.exists(os.path.join(args.root, marker)) for marker in (".hash", ".hash-wrong"))

        def ftp_FEAT(self, line):
            self._extra_feats = [feat for feat in self._extra_feats if not feat.startswith("HASH")]
            if self.hashing():
                self._extra_feats.append("HASH SHA-256*;SHA-1;MD5;")
            return super().ftp_FEAT(line)

        def ftp_OPTS(self, line):
            if line.upper().startswith("HASH"):
                self.respond("200 SHA-256")
                return
            return super().ftp_OPTS(line)

        def ftp_HASH(self, path):
            if not self.hashing() or not os.path.isfile(path):
                self.respond("550 No such file.")
                return
            with open(path, "rb") as file:
                digest = bytearray(hashlib.sha256(file.read()).digest())
            if os.path.exists(os.path.join(args.root, ".hash-wrong")):
                digest[0] ^= 1
            self.respond("213 SHA-256 0-%d %s %s" % (os.path.getsize(path), digest.hex(), self.fs.fs2ftp(path)))

        def ftp_STOR(self, file, mode="w"):
            self.slow = os.path.basename(file).startswith("slow")
            return super().ftp_STOR(file, mode)

    Handler.authorizer = authorizer
    Handler.proto_cmds = dict(Handler.proto_cmds)
    Handler.proto_cmds["HASH"] = dict(perm="r", auth=True, arg=True, help="Syntax: HASH <SP> file-name.")
    Handler.log_cmds_list = FTPHandler.log_cmds_list + ["REST"]
    Handler.dtp_handler = DataChannel
    if args.tls:
        Handler.certfile, Handler.keyfile = args.tls.split(",")
        Handler.tls_control_required = True
        Handler.tls_data_required = True
        Handler.dtp_handler = TLS_DTPHandler
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

    server = FTPServer((args.host, args.port), Handler)
    server.max_cons = 64
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    sys.stdout.flush()
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
