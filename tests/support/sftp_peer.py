#!/usr/bin/python3
"""A scripted SFTP server (version 3) on stdin and stdout, run by sshd as
its sftp subsystem, for the ways a server may misbehave:

  names    a listing holding ".", "..", "a/b", "../up", "" and "ok.txt"
  endless  a listing that never ends
  shrink   "data.bin" said to hold 1000 bytes, whose reads end at 500
  cut      "data.bin" of 1000000 bytes, the connection gone after 100000
  huge     a reply that claims to be 2 GiB long
  full     every write refused with a bare "Failure", as a full disk is
  stall    reads never answered
  halfway  a read's reply stopped in the middle
  stall-init  the version stopped in the middle
  version  version 0xFFFFFFFF
  wrong-id       the starting folder's answer for another request
  wrong-id-read  reads answered for other requests
  empty    a listing of empty replies without end
  dots     a listing of "." and ".." without end
  slashes  a listing of names with "/" without end
  babble   a status of a megabyte, line ends and escapes in it
"""
import time
import struct
import sys

MODE = sys.argv[1]
IN, OUT = sys.stdin.buffer, sys.stdout.buffer
FOLDER, FILE = 0o40755, 0o100644


def send(kind, body=b""):
    OUT.write(struct.pack(">IB", len(body) + 1, kind) + body)
    OUT.flush()


def string(data):
    return struct.pack(">I", len(data)) + data


def attrs(mode, size=0):
    return struct.pack(">IQI", 0x1 | 0x4, size, mode)


def status(rid, code, text=b""):
    send(101, struct.pack(">II", rid, code) + string(text) + string(b""))


def read_exact(count):
    data = b""
    while len(data) < count:
        chunk = IN.read(count - len(data))
        if not chunk:
            sys.exit(0)
        data += chunk
    return data


def file_size():
    return {"shrink": 1000, "cut": 1000000, "stall": 1000, "halfway": 1000, "wrong-id-read": 1000}.get(MODE, 0)


listed = False
counter = 0
while True:
    length, = struct.unpack(">I", read_exact(4))
    packet = read_exact(length)
    kind = packet[0]
    if kind == 1:  # init
        if MODE == "stall-init":
            OUT.write(struct.pack(">IB", 5, 2) + b"\0\0")
            OUT.flush()
            time.sleep(3600)
        send(2, struct.pack(">I", 0xFFFFFFFF if MODE == "version" else 3))
        continue
    rid, = struct.unpack(">I", packet[1:5])
    rest = packet[5:]
    path = rest[4:4 + struct.unpack(">I", rest[:4])[0]] if len(rest) >= 4 else b""
    if MODE == "huge" and kind != 16:
        OUT.write(struct.pack(">I", 0x7FFFFFFF) + b"\x66" * 64)
        OUT.flush()
        continue
    if MODE == "wrong-id" or (MODE == "wrong-id-read" and kind == 5):
        rid += 7
    if kind == 16:  # realpath
        send(104, struct.pack(">II", rid, 1) + string(b"/") + string(b"/") + attrs(FOLDER))
    elif kind in (7, 17):  # lstat, stat
        if path in (b"/", b"."):
            send(105, struct.pack(">I", rid) + attrs(FOLDER))
        elif MODE == "babble":
            status(rid, 4, b"no\r\nway\x1b[2J" * 90000)
        elif path.endswith(b"data.bin"):
            send(105, struct.pack(">I", rid) + attrs(FILE, file_size()))
        else:
            status(rid, 2, b"No such file")
    elif kind in (11, 3):  # opendir, open
        send(102, struct.pack(">I", rid) + string(b"h"))
    elif kind == 12:  # readdir
        if MODE == "endless":
            names = [b"f%d" % (counter + i) for i in range(100)]
            counter += 100
        elif MODE in ("empty", "dots", "slashes"):
            names = {"empty": [], "dots": [b".", b".."], "slashes": [b"a/b", b"c/d"]}[MODE]
        elif listed:
            status(rid, 1, b"End of file")
            continue
        else:
            names = [b".", b"..", b"a/b", b"../up", b"", b"ok.txt"]
        listed = True
        body = struct.pack(">II", rid, len(names))
        for name in names:
            body += string(name) + string(b"-rw-r--r-- 1 u g 1 Jan 1 2020 " + name) + attrs(FILE, 1)
        send(104, body)
    elif kind == 5 and MODE == "stall":
        continue
    elif kind == 5 and MODE == "halfway":
        OUT.write(struct.pack(">IBI", 1 + 4 + 4 + 100, 103, rid) + struct.pack(">I", 100) + b"x" * 10)
        OUT.flush()
        continue
    elif kind == 5:  # read
        offset, count = struct.unpack(">QI", rest[4 + 1:4 + 1 + 12])
        end = {"shrink": 500, "cut": 1000000}.get(MODE, 0)
        if MODE == "cut" and offset >= 100000:
            sys.exit(0)
        if offset >= end:
            status(rid, 1, b"End of file")
        else:
            send(103, struct.pack(">I", rid) + string(b"x" * min(count, end - offset)))
    elif kind == 6:  # write
        status(rid, 4, b"Failure")
    elif kind == 4:  # close
        status(rid, 0)
    else:
        status(rid, 8, b"Unsupported")
