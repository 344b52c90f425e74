#!/usr/bin/python3
"""The built program on a virtual display, driven with real X events.

Starts Xvfb with a window manager (openbox), a real FTP server on
127.0.0.1 and Veldra with a home folder of its own, then types and clicks
with xdotool as a user does: Enter in the address box connects and Ctrl+I
there keeps the site, Ctrl+D downloads the selected remote file through
the save dialog byte for byte, Ctrl+N makes a remote folder, and closing
the window saves the settings. Every check reads files on disk.

Usage: e2e_test.py VELDRA SUPPORT_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time


def wait_for(condition, seconds=15.0, what="condition"):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if condition():
            return
        time.sleep(0.1)
    raise AssertionError("timed out waiting for " + what)


class Display:
    """Xvfb on a free display number, with openbox."""

    def __init__(self):
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
                                     pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                break
            number += chunk
        os.close(read)
        self.name = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.name)
        self.wm = subprocess.Popen(["openbox"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)

    def xdotool(self, *arguments):
        return subprocess.run(["xdotool", *arguments], env=self.env, check=True, capture_output=True,
                              text=True).stdout

    def close(self):
        for process in (self.wm, self.xvfb):
            process.terminate()
            process.wait()


def main():
    veldra, support = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="veldra-e2e-")
    processes = []
    display = Display()
    try:
        root, home, local = (os.path.join(work, name) for name in ("root", "home", "local"))
        os.makedirs(os.path.join(root, "pub"))
        os.makedirs(os.path.join(home, "Desktop"))
        os.makedirs(local)
        payload = os.urandom(200_000)
        with open(os.path.join(root, "pub", "data.bin"), "wb") as out:
            out.write(payload)

        server = subprocess.Popen(["/usr/bin/python3", os.path.join(support, "ftp_server.py"), "--root", root],
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        processes.append(server)
        port = int(server.stdout.readline().split()[1])

        env = dict(display.env, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"), QT_QPA_PLATFORM="xcb")
        program = subprocess.Popen([veldra, "/NOIDEHOOKS"], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE, text=True)
        processes.append(program)
        window = display.xdotool("search", "--sync", "--name", "^Veldra - v").split()[0]
        display.xdotool("windowactivate", "--sync", window)
        geometry = dict(line.strip().split(": ", 1) for line in display.xdotool("getwindowgeometry", window).splitlines()[1:])
        left, top = (int(value) for value in geometry["Position"].split(" ")[0].split(","))

        def click(x, y, button="1"):
            display.xdotool("mousemove", str(left + x), str(top + y), "click", button)
            time.sleep(0.3)

        def keys(*names):
            display.xdotool("key", "--delay", "60", *names)
            time.sleep(0.3)

        def type_text(text):
            display.xdotool("type", "--delay", "20", text)
            time.sleep(0.2)

        # The connection bar: the address, Tab, the user, Tab, the password.
        click(153, 53)
        type_text("127.0.0.1:%d" % port)
        keys("Tab")
        type_text("tester")
        keys("Tab")
        type_text("secret")
        click(153, 53)
        keys("ctrl+i")
        keys("Return")
        time.sleep(1.5)

        # The folder box: type a folder and press Enter.
        click(400, 83)
        keys("ctrl+a")
        type_text("/pub")
        keys("Return")
        time.sleep(1.0)

        # The one file, selected by keys in the file list, saved by Ctrl+D.
        click(560, 330)
        keys("Home", "space")
        keys("ctrl+d")
        time.sleep(1.0)
        keys("ctrl+a")
        type_text(os.path.join(local, "saved.bin"))
        keys("Return")
        target = os.path.join(local, "saved.bin")
        wait_for(lambda: os.path.exists(target) and os.path.getsize(target) == len(payload), what="the download")
        with open(target, "rb") as saved:
            assert saved.read() == payload, "the download differs from the remote file"

        # Ctrl+N: a folder on the server.
        keys("ctrl+n")
        time.sleep(0.8)
        type_text("made")
        keys("Return")
        wait_for(lambda: os.path.isdir(os.path.join(root, "pub", "made")), what="the new remote folder")

        # Closing the window saves the site kept with Ctrl+I.
        display.xdotool("windowactivate", "--sync", window)
        keys("alt+F4")
        program.wait(timeout=15)
        errors = program.stderr.read()
        assert program.returncode == 0, "the program ended with %d: %s" % (program.returncode, errors)
        with open(os.path.join(home, ".config", "Tarnwick", "Veldra.ini")) as settings:
            text = settings.read()
        assert "Site0.Address=127.0.0.1:%d" % port in text, text
        assert "Site0.UserName=tester" in text, text
        print("end-to-end: connect, keep a site, download, new folder, close: all seen on disk")
    finally:
        for process in processes:
            if process.poll() is None:
                process.kill()
                process.wait()
        display.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
