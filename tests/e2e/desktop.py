"""A desktop for the end-to-end tests: Xvfb with a window manager
(openbox), real X input through xdotool, and the accessibility bus, over
which the tests find the program's controls by their names, as a screen
reader does.

Run the tests inside a D-Bus session of their own (dbus-run-session).
"""
import atexit
import os
import shutil
import subprocess
import tempfile
import time

from gi.repository import Gio, GLib

# Each test a runtime folder of its own: the accessibility bus keeps its
# address there, and two tests running at once must not share one.
os.environ["XDG_RUNTIME_DIR"] = tempfile.mkdtemp(prefix="veldra-runtime-")
atexit.register(shutil.rmtree, os.environ["XDG_RUNTIME_DIR"], True)


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

    def shown(self, title):
        """Whether a visible window's title matches the pattern."""
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title], env=self.env,
                               capture_output=True, text=True)
        return found.returncode == 0 and found.stdout.strip() != ""

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env=self.env)

    def close(self):
        for process in (self.wm, self.xvfb):
            process.terminate()
            process.wait()


def start_keyring(home):
    """gnome-keyring as the session's secret service, with a fresh login
    keyring under `home`, unlocked with a test password: nothing prompts."""
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, ".local", "share"))
    subprocess.run(["gnome-keyring-daemon", "--unlock", "--components=secrets"], input=b"test-password", env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)


class AccessibilityBus:
    """The accessibility bus of this D-Bus session, switched on as a screen
    reader switches it on."""

    def __init__(self):
        self.launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(self._ready, 10, "the accessibility bus")
        bus = Gio.bus_get_sync(Gio.BusType.SESSION)
        bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
                      GLib.Variant("(ssv)", ("org.a11y.Status", "IsEnabled", GLib.Variant("b", True))),
                      None, Gio.DBusCallFlags.NONE, 5000, None)
        import pyatspi
        self.pyatspi = pyatspi

    @staticmethod
    def _ready():
        bus = Gio.bus_get_sync(Gio.BusType.SESSION)
        reply = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
                              GLib.Variant("(s)", ("org.a11y.Bus",)), None, Gio.DBusCallFlags.NONE, 5000, None)
        return reply.unpack()[0]

    def application(self, name):
        for app in self.pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name and app.childCount > 0:
                return app
        return None

    def control(self, app, name, role=None):
        """The first control of that name (and role), or None."""
        for node in descendants(app):
            if node.name == name and (role is None or node.getRoleName() == role):
                return node
        return None

    def centre(self, node):
        component = node.queryComponent()
        x, y = component.getPosition(self.pyatspi.DESKTOP_COORDS)
        width, height = component.getSize()
        return x + width // 2, y + height // 2

    def close(self):
        self.launcher.terminate()
        self.launcher.wait()


def descendants(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield child
            yield from descendants(child)
