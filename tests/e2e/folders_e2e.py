#!/usr/bin/python3
"""Whole folders and resumed downloads in the built program, with real X
events.

A remote folder three levels deep, with blanks and bytes that are not
ASCII in its names, is dragged from the remote folder tree onto the local
tree's home folder, and arrives byte for byte. Then a 512 MiB download is
cut by stopping the server half way; the server comes back on the same
port, the transfer's automatic retry goes on from the part that arrived,
the file is byte for byte the server's, and the server's log shows REST.

Usage: folders_e2e.py VELDRA SUPPORT_DIR
"""
import filecmp
import glob
import re
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Veldra, session, start_server, wait_for  # noqa: E402


def same_trees(left, right):
    """Every file and folder under `left` is under `right` with the same
    bytes, and no more."""
    def listing(root):
        found = []
        for folder, folders, files in os.walk(root):
            found += [os.path.relpath(os.path.join(folder, name), root) for name in folders + files]
        return sorted(found)
    if listing(left) != listing(right):
        return False
    for name in listing(left):
        one, two = os.path.join(left, name), os.path.join(right, name)
        if os.path.isfile(one) and not filecmp.cmp(one, two, shallow=False):
            return False
    return True


def main():
    veldra, support = sys.argv[1], sys.argv[2]
    with session("veldra-folders-") as (work, display, bus, processes):
        root, home = os.path.join(work, "root"), os.path.join(work, "home")
        site = os.path.join(root, "pub", "site")
        deep = os.path.join(site, "level one", "two \u00e9t\u00e9")
        os.makedirs(deep)
        os.makedirs(os.path.join(site, "empty"))
        os.makedirs(home)
        for path, size in ((os.path.join(site, "a file.txt"), 10), (os.path.join(site, "level one", "m.bin"), 70_000),
                           (os.path.join(deep, "deep file.bin"), 300_000)):
            with open(path, "wb") as out:
                out.write(os.urandom(size))
        with open(os.path.join(site.encode(), b"caf\xe9.bin"), "wb") as out:
            out.write(b"latin-1 name")
        big = os.path.join(root, "pub", "slow-big.bin")
        with open(big, "wb") as out:
            for _ in range(64):
                out.write(os.urandom(8 * 1024 * 1024))
        log = os.path.join(work, "server.log")

        # 40 MB/s: the big one takes about 13 s, time to cut it.
        options = ("--slow-rate", "40000000", "--log", log)
        server, port = start_server(support, root, *options)
        processes.append(server)
        program = Veldra(veldra, display, bus, home)
        processes.append(program.process)
        program.connect(port)
        program.open_folder("/pub")

        # A press on "site" in the remote folder tree, moved onto the local
        # tree's home folder in steps, as a hand drags.
        start = program.place("site", "table cell")
        end = program.place("Home", "table cell")
        display.xdotool("mousemove", str(start[0]), str(start[1]), "mousedown", "1")
        for step in range(1, 11):
            x = start[0] + (end[0] - start[0]) * step // 10
            y = start[1] + (end[1] - start[1]) * step // 10
            display.xdotool("mousemove", str(x), str(y))
            time.sleep(0.05)
        time.sleep(0.3)
        display.xdotool("mouseup", "1")
        arrived = os.path.join(home, "site")
        wait_for(lambda: os.path.isfile(os.path.join(arrived, "level one", "two \u00e9t\u00e9", "deep file.bin"))
                 and same_trees(site, arrived), 20, "the dragged folder")

        # The big one, cut half way by the server's end, and the server
        # back on its port before the retry comes.
        file_list = program.place("Remote files", "list", left=True)
        program.click(*file_list)
        program.type_text("slow-big")
        program.keys("ctrl+shift+d")
        program.in_file_dialog(os.path.join(home, "big.bin"))
        # The part's name holds a random piece of its own.
        parts = lambda: glob.glob(os.path.join(home, ".big.bin.??????.veldra-part"))  # noqa: E731
        wait_for(lambda: len(parts()) == 1 and os.path.getsize(parts()[0]) > 100_000_000, 30, "half the download")
        part = parts()[0]
        server.kill()
        server.wait()
        kept = os.path.getsize(part)
        server, _ = start_server(support, root, "--port", str(port), *options)
        processes.append(server)
        target = os.path.join(home, "big.bin")
        wait_for(lambda: os.path.exists(target), 60, "the resumed download")
        assert filecmp.cmp(big, target, shallow=False), "the resumed file differs from the server's"
        assert not os.path.exists(part), "the part was left"
        with open(log) as text:
            offsets = [int(found) for found in re.findall(r"REST (\d+)", text.read())]
        assert offsets and max(offsets) >= kept, "no REST at the part's length in the server's log: %r" % offsets

        errors = program.close()
        assert not [line for line in errors.splitlines() if line.startswith("veldra: ")], errors
        print("folders end-to-end: a dragged remote folder arrived whole; a cut 512 MiB download resumed "
              "after the server came back (%d bytes kept, REST seen), byte for byte" % kept)


if __name__ == "__main__":
    main()
