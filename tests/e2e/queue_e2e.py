#!/usr/bin/python3
"""The transfer queue of the built program, driven with real X events.

A 512 MiB download from a server that sends it slowly runs on the queue's
own connection while the user opens another remote folder (its listing
shows) and queues a second file; then the user cancels the first from the
Transfers page (Home, Del). Its old local copy stays, what arrived of it
is kept in a hidden part file for a resume, and the second file arrives
byte for byte. Every check reads files
on disk or the program's controls over the accessibility bus.

Usage: queue_e2e.py VELDRA SUPPORT_DIR
"""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Veldra, session, start_server, wait_for  # noqa: E402


def main():
    veldra, support = sys.argv[1], sys.argv[2]
    with session("veldra-queue-") as (work, display, bus, processes):
        root, home, local = (os.path.join(work, name) for name in ("root", "home", "local"))
        for folder in (os.path.join(root, "pub"), os.path.join(root, "other"), home, local):
            os.makedirs(folder)
        with open(os.path.join(root, "pub", "slow.bin"), "wb") as big:
            big.truncate(512 * 1024 * 1024)
        second = os.urandom(3_000_000)
        with open(os.path.join(root, "pub", "second.bin"), "wb") as out:
            out.write(second)
        open(os.path.join(root, "other", "inner.txt"), "wb").close()
        with open(os.path.join(local, "slow.bin"), "wb") as old:
            old.write(b"old copy")
        parts = lambda: [name for name in os.listdir(local) if name.endswith(".veldra-part")]  # noqa: E731

        # 8 MB/s: the big file would take a minute.
        server, port = start_server(support, root, "--slow-rate", "8000000")
        processes.append(server)
        # Active mode, as this scenario was first written for.
        os.makedirs(os.path.join(home, ".config", "Tarnwick"))
        with open(os.path.join(home, ".config", "Tarnwick", "Veldra.ini"), "w") as settings:
            settings.write("[General]\nPassiveMode=0\n")
        program = Veldra(veldra, display, bus, home)
        processes.append(program.process)
        program.connect(port)
        program.open_folder("/pub")

        # The big one, over the old copy (the save dialog asks itself).
        file_list = program.place("Remote files", "list", left=True)
        program.click(*file_list)
        program.type_text("slow")
        program.keys("ctrl+shift+d")
        program.in_file_dialog(os.path.join(local, "slow.bin"), then=("y",))
        wait_for(lambda: any(os.path.getsize(os.path.join(local, name)) > 0 for name in parts()),
                 what="the download to begin")

        # Browsing goes on meanwhile; a second file joins the queue.
        program.open_folder("/other")
        wait_for(lambda: program.shows("inner.txt"), 5, "the other folder's listing")
        program.open_folder("/pub")
        program.click(*file_list)
        program.type_text("second")
        program.keys("ctrl+shift+d")
        program.in_file_dialog(os.path.join(local, "second.bin"))

        # The Transfers page; its first row is the big download.
        program.click(*program.place("Transfers", "page tab"))
        program.click(*program.place("Transfers", "tree"))
        program.keys("Home", "Delete")
        target = os.path.join(local, "second.bin")
        wait_for(lambda: os.path.exists(target) and os.path.getsize(target) == len(second), 20, "the second file")
        assert open(target, "rb").read() == second, "the second file differs from the remote one"
        assert open(os.path.join(local, "slow.bin"), "rb").read() == b"old copy", "the cancelled download replaced the old copy"
        # What arrived of the big one waits beside it for a resume.
        assert len(parts()) == 1 and re.fullmatch(r"\.slow\.bin\.\w{6}\.veldra-part", parts()[0]), parts()

        errors = program.close()
        assert not [line for line in errors.splitlines() if line.startswith("veldra: ")], errors
        print("queue end-to-end: a slow download, browsing and a second file meanwhile, the first cancelled: "
              "its old copy kept, the second byte-exact")


if __name__ == "__main__":
    main()
