#!/usr/bin/python3
"""Start-up under Xvfb: from the program's start to its window on the
screen, and the resident memory of the idle window a moment later; the
median of five starts each, with a home folder of its own. FileZilla's
figures are printed beside when it is installed.

With --keyring (run it under dbus-run-session), the desktop of a new user:
a secret service whose keyring is not made yet, so that storing a secret
brings up its prompt, and a saved site with a password in the settings.
The time is to Veldra's own window, whatever else maps.

Usage: startup.py VELDRA [--keyring]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from desktop import Display, keyring_prompt, start_prompting_keyring  # noqa: E402


SAVED_SITE = "[General]\nSites=1\nSite0.Address=ftp.example.com\nSite0.UserName=user\nSite0.Password=secret\n"


def veldra_shown(display):
    """Whether Veldra's window is on the screen (asked at each map: the
    window manager's frame maps, and a keyring's prompt may too)."""
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Veldra - v"], env=display.env,
                          capture_output=True).returncode == 0


def measure(display, command, saved_site=False):
    starts, memory = [], []
    for _ in range(5):
        home = tempfile.mkdtemp(prefix="veldra-start-")
        env = dict(display.env, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"), QT_QPA_PLATFORM="xcb")
        if saved_site:
            os.makedirs(os.path.join(home, ".config", "Tarnwick"))
            with open(os.path.join(home, ".config", "Tarnwick", "Veldra.ini"), "w") as out:
                out.write(SAVED_SITE)
        # One watcher of the root's children, started beforehand: a poll
        # would start a process every few milliseconds beside the program.
        watcher = subprocess.Popen(["stdbuf", "-oL", "xev", "-root", "-event", "substructure"], env=display.env,
                                   stdout=subprocess.PIPE, text=True)
        time.sleep(0.3)
        began = time.monotonic()
        process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for line in watcher.stdout:
            if line.startswith("MapNotify") and (not saved_site or veldra_shown(display)):
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
        if "--keyring" in sys.argv:
            home = tempfile.mkdtemp(prefix="veldra-keyring-")
            start_prompting_keyring(home, display)
            start, _ = measure(display, [sys.argv[1], "/NOIDEHOOKS"], saved_site=True)
            print("veldra    start to its window with a keyring that prompts %5.0f ms (median of 5); a prompt at "
                  "the end: %s" % (start, "yes" if keyring_prompt(display) else "no"))
            return
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
