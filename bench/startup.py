#!/usr/bin/python3
"""Start-up under Xvfb: from the program's start to its window on the
screen, and the resident memory of the idle window a moment later; the
median of five starts each, with a home folder of its own. FileZilla's
figures are printed beside when it is installed.

Usage: startup.py VELDRA
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from desktop import Display  # noqa: E402


def measure(display, command):
    starts, memory = [], []
    for _ in range(5):
        home = tempfile.mkdtemp(prefix="veldra-start-")
        env = dict(display.env, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"), QT_QPA_PLATFORM="xcb")
        # One watcher of the root's children, started beforehand: a poll
        # would start a process every few milliseconds beside the program.
        watcher = subprocess.Popen(["stdbuf", "-oL", "xev", "-root", "-event", "substructure"], env=display.env,
                                   stdout=subprocess.PIPE, text=True)
        time.sleep(0.3)
        began = time.monotonic()
        process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for line in watcher.stdout:
            if line.startswith("MapNotify"):
                break
        starts.append(time.monotonic() - began)
        watcher.kill()
        watcher.wait()
        time.sleep(1.5)
        with open("/proc/%d/status" % process.pid) as status:
            memory.append(next(int(line.split()[1]) for line in status if line.startswith("VmRSS")) / 1024)
        process.kill()
        process.wait()
        shutil.rmtree(home, ignore_errors=True)
    return statistics.median(starts) * 1000, statistics.median(memory)


def main():
    display = Display()
    try:
        start, memory = measure(display, [sys.argv[1], "/NOIDEHOOKS"])
        print("veldra    start to a visible window %5.0f ms, idle memory %4.0f MB (medians of 5)" % (start, memory))
        filezilla = shutil.which("filezilla")
        if filezilla:
            peer_start, peer_memory = measure(display, [filezilla])
            print("filezilla start to a visible window %5.0f ms, idle memory %4.0f MB (medians of 5): %.2fx and %.2fx"
                  % (peer_start, peer_memory, start / peer_start, memory / peer_memory))
        else:
            print("(FileZilla is not installed: Veldra's figures only)")
    finally:
        display.close()


if __name__ == "__main__":
    main()
