#!/usr/bin/python3
"""The queue's soak: a folder of files down (or up) over FTP with TLS,
while, at moments a seeded generator picks, the program is killed with
SIGKILL and started again, the server is killed and started again, and
the control link is cut or stalled by a relay between them. Passes when
every file arrived whole, no part file is left beside them, and the
journal is empty.

Usage: soak.py SOAK_QUEUE [--files N] [--big-mib M] [--kills K]
               [--seconds S] [--seed N] [--up] [--limit KIB_S]
               [--every MIN,MAX]
"""
import argparse
import hashlib
import os
import random
import select
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time

SUPPORT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support")


class Relay:
    """Between the client and the server's control port: cuts every link
    at once, or holds what passes for a while."""

    def __init__(self, target):
        self.target = target
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(64)
        self.port = self.listener.getsockname()[1]
        self.links = []
        self.stalled_until = 0
        self.lock = threading.Lock()
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            client, _ = self.listener.accept()
            try:
                server = socket.create_connection(("127.0.0.1", self.target), timeout=5)
                server.settimeout(None)
            except OSError:
                client.close()
                continue
            with self.lock:
                self.links.append((client, server))
            threading.Thread(target=self.pump, args=(client, server), daemon=True).start()

    def pump(self, client, server):
        ends = [client, server]
        try:
            while True:
                readable, _, _ = select.select(ends, [], [], 0.2)
                for end in readable:
                    data = end.recv(65536)
                    if not data:
                        raise OSError("closed")
                    while time.time() < self.stalled_until:
                        time.sleep(0.05)
                    (server if end is client else client).sendall(data)
        except OSError:
            pass
        for end in ends:
            try:
                end.close()
            except OSError:
                pass
        with self.lock:
            if (client, server) in self.links:
                self.links.remove((client, server))

    def cut(self):
        with self.lock:
            links, self.links = self.links, []
        for pair in links:
            for end in pair:
                try:
                    end.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass

    def stall(self, seconds):
        self.stalled_until = time.time() + seconds


def make_files(root, count, big_mib, rng):
    """Most small, some large; names with blanks and UTF-8, in folders."""
    digests = {}
    for i in range(count):
        folder = os.path.join(root, "folder %d ü" % (i % 7)) if i % 3 else root
        os.makedirs(folder, exist_ok=True)
        name = "file %05d é.bin" % i if i % 2 else "file%05d.txt" % i
        size = rng.randint(1, 64) << 20 if big_mib == 64 and i % 100 == 0 else \
            rng.randint(1 << 20, big_mib << 20) if i % 100 == 0 else rng.randint(0, 64 << 10)
        data = rng.randbytes(size)
        path = os.path.join(folder, name)
        with open(path, "wb") as out:
            out.write(data)
        digests[os.path.relpath(path, root)] = hashlib.sha256(data).hexdigest()
    return digests


def tree(root):
    found = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            with open(path, "rb") as data:
                found[os.path.relpath(path, root)] = hashlib.sha256(data.read()).hexdigest()
    return found


class Server:
    def __init__(self, root, port, cert):
        self.arguments = ["/usr/bin/python3", os.path.join(SUPPORT, "ftp_server.py"), "--root", root,
                          "--port", str(port), "--tls", cert]
        self.process = None
        self.start()

    def start(self):
        self.process = subprocess.Popen(self.arguments, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                        text=True)
        line = self.process.stdout.readline()
        assert line.startswith("PORT"), line
        return int(line.split()[1])

    def kill(self):
        self.process.kill()
        self.process.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("soak_queue")
    parser.add_argument("--files", type=int, default=10000)
    parser.add_argument("--big-mib", type=int, default=64)
    parser.add_argument("--kills", type=int, default=10)
    parser.add_argument("--seconds", type=int, default=3600)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    parser.add_argument("--up", action="store_true")
    parser.add_argument("--limit", type=int, default=0)
    parser.add_argument("--every", default="1,4", help="seconds between events, at least and at most")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    print("soak: seed %d, %d files, %s" % (args.seed, args.files, "up" if args.up else "down"), flush=True)

    work = tempfile.mkdtemp(prefix="veldra-soak-")
    server_root, local, config = (os.path.join(work, name) for name in ("server", "local", "config"))
    for folder in (server_root, local, config):
        os.makedirs(folder)
    os.chmod(work, 0o755)
    source = os.path.join(local if args.up else server_root, "soak")
    target = os.path.join(server_root if args.up else local, "soak")
    digests = make_files(source, args.files, args.big_mib, rng)
    cert = os.path.join(work, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1",
                    "-days", "2", "-keyout", os.path.join(work, "key.pem"), "-out", cert],
                   check=True, capture_output=True)

    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    server = Server(server_root, port, cert + "," + os.path.join(work, "key.pem"))
    relay = Relay(port)
    env = dict(os.environ, XDG_CONFIG_HOME=config, QT_QPA_PLATFORM="offscreen")
    command = [args.soak_queue, "--host", "127.0.0.1", "--port", str(relay.port), "--user", "tester",
               "--password", "secret", "--tls", "--remote", "/soak", "--local", target if not args.up else source,
               "--simultaneous", str(rng.randint(2, 4))] + (["--up"] if args.up else []) + \
        (["--limit", str(args.limit)] if args.limit else [])
    every = [float(part) for part in args.every.split(",")]
    log = open(os.path.join(work, "soak_queue.log"), "a")
    counts = {"program killed": 0, "server killed": 0, "link cut": 0, "link stalled": 0}

    def start():
        log.write("---- start\n")
        log.flush()
        return subprocess.Popen(command, env=env, stdout=log, stderr=subprocess.STDOUT)

    program = start()
    began = time.time()
    next_event = time.time() + rng.uniform(*every)
    result = None
    while time.time() - began < args.seconds:
        code = program.poll()
        if code is not None:
            if code == 0:
                result = 0
                break
            # Ended on its own without everything: started again, as a
            # user does; the journal holds what is left.
            log.write("---- ended %d\n" % code)
            program = start()
        if time.time() >= next_event:
            event = rng.choice(["program killed", "server killed", "link cut", "link stalled"])
            if event == "program killed" and counts[event] >= args.kills:
                event = "link cut"
            counts[event] += 1
            log.write("---- %s\n" % event)
            log.flush()
            if event == "program killed":
                program.send_signal(signal.SIGKILL)
                program.wait()
                program = start()
            elif event == "server killed":
                server.kill()
                time.sleep(rng.uniform(0.2, 2))
                server.start()
            elif event == "link cut":
                relay.cut()
            else:
                relay.stall(rng.uniform(1, 4))
            next_event = time.time() + rng.uniform(*every)
        time.sleep(0.05)
    took = time.time() - began
    if result is None:
        program.kill()
    server.kill()
    log.close()

    problems = []
    if result is None:
        problems.append("not done within %d s" % args.seconds)
    arrived = tree(target)
    missing = sorted(set(digests) - set(arrived))
    extra = sorted(set(arrived) - set(digests))
    damaged = sorted(name for name in digests if name in arrived and arrived[name] != digests[name])
    for what, names in (("missing", missing), ("left beside them", extra), ("damaged", damaged)):
        if names:
            problems.append("%d %s: %s" % (len(names), what, ", ".join(names[:5])))
    journal = sqlite3.connect(os.path.join(config, "Tarnwick", "queue.db"))
    rows = journal.execute("SELECT count(*) FROM transfers").fetchone()[0]
    journal.close()
    if rows:
        problems.append("%d rows left in the journal" % rows)
    print("soak: %d files %s in %.0f s; %s" % (len(digests), "up" if args.up else "down", took,
                                               ", ".join("%s %d" % item for item in counts.items())), flush=True)
    if problems:
        print("soak FAILED (seed %d, log %s/soak_queue.log):\n  %s" % (args.seed, work, "\n  ".join(problems)))
        return 1
    shutil.rmtree(work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
