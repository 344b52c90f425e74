"""A desktop for the end-to-end tests: Xvfb with a window manager
(openbox), real X input through xdotool, and the accessibility bus, over
which the tests find the program's controls by their names, as a screen
reader does.

Run the tests inside a D-Bus session of their own (dbus-run-session).
"""
import atexit
import contextlib
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


def start_prompting_keyring(home, display):
    """gnome-keyring as the session's secret service as a new user's desktop
    has it: no keyring made yet, so the first secret stored brings up its
    prompt ("Choose password for new keyring") on the display."""
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, ".local", "share"), DISPLAY=display.name)
    # The prompt is started by the bus: it must know the display.
    subprocess.run(["dbus-update-activation-environment", "DISPLAY=" + display.name], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["gnome-keyring-daemon", "--start", "--components=secrets"], env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)


def keyring_prompt(display):
    """The keyring's prompt window, when one shows."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--class", "gcr-prompter"], env=display.env,
                           capture_output=True, text=True)
    return found.stdout.split()[0] if found.returncode == 0 and found.stdout.strip() else None


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

    def application(self, name, pid=None):
        """The application of that name (and process, when given)."""
        for app in self.pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name and app.childCount > 0 and \
                    (pid is None or app.get_process_id() == pid):
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


class Veldra:
    """The program on the display with a home folder of its own, connected
    to nothing yet, and a user's hands: clicks and keys through xdotool,
    controls found over the accessibility bus by their names."""

    def __init__(self, veldra, display, bus, home, arguments=("/NOIDEHOOKS",), env=None):
        self.display, self.bus = display, bus
        env = dict(display.env, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"), QT_QPA_PLATFORM="xcb",
                   **(env or {}))
        self.process = subprocess.Popen([veldra, *arguments], env=env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.PIPE, text=True)
        # This process's main window, titled by the version, or by the site
        # once connected (which a start with an address may be at once).
        self.window = display.xdotool("search", "--sync", "--all", "--onlyvisible", "--pid", str(self.process.pid), "--name",
                                      "^Veldra - v| — Veldra$").split()[0]
        display.xdotool("windowactivate", "--sync", self.window)
        pid = self.process.pid
        wait_for(lambda: bus.application("Veldra", pid) is not None, 20, "Veldra on the accessibility bus")
        self.app = bus.application("Veldra", pid)

    def place(self, name, role, left=False):
        """The middle of a control (its left part for a list, where the
        names are)."""
        control = self.bus.control(self.app, name, role)
        assert control is not None, "no %s named %r" % (role, name)
        x, y = self.bus.centre(control)
        if left:
            x -= control.queryComponent().getSize()[0] // 2 - 40
        return x, y

    def shows(self, name, role=None):
        return self.bus.control(self.app, name, role) is not None

    def click(self, x, y, button="1"):
        self.display.xdotool("mousemove", str(x), str(y), "click", button)
        time.sleep(0.3)

    def keys(self, *names):
        self.display.xdotool("key", "--delay", "60", *names)
        time.sleep(0.3)

    def type_text(self, text):
        self.display.xdotool("type", "--delay", "20", text)
        time.sleep(0.2)

    def answer_question(self, *answer):
        # The program's message boxes carry its name alone as their title.
        shown = self.display.shown
        wait_for(lambda: shown("^Veldra$"), what="a question of the program")
        time.sleep(0.3)
        self.keys(*answer)
        try:
            wait_for(lambda: not shown("^Veldra$"), what="the question to close")
        except AssertionError:
            raise AssertionError("the question did not close; it reads: %r" % self.question_text())

    def question_text(self):
        """The texts of the program's question now shown, as a screen reader reads them."""
        texts = []
        for window in self.app:
            if window is not None and window.name == "Veldra":
                for control in descendants(window):
                    if control.getRoleName() in ("label", "push button", "check box") and control.name:
                        texts.append(control.name)
        return texts

    def in_file_dialog(self, path, then=(), dialog="^(Open|Save As)$"):
        """A file dialog (or, by its title, a folder dialog): the path
        typed, Enter, and `then`."""
        shown = self.display.shown
        wait_for(lambda: shown(dialog), what="a file dialog")
        time.sleep(0.5)
        self.keys("ctrl+a")
        self.type_text(path)
        self.keys("Return", *then)
        wait_for(lambda: not shown(dialog), what="the file dialog to close")

    def connect(self, port, user="tester", password="secret"):
        """The connection bar: the address, Tab, the user, Tab, the
        password, and Enter."""
        # The box's field: the box itself reads as the site it shows.
        self.click(*self.place("FTP Address", "text"))
        self.keys("ctrl+a")
        self.type_text("127.0.0.1:%d" % port)
        self.keys("Tab")
        self.type_text(user)
        self.keys("Tab")
        self.type_text(password)
        self.keys("Return")
        time.sleep(1.5)

    def open_folder(self, folder):
        """Types a folder into the folder box and presses Enter."""
        self.click(*self.place("FTP Folder", "text"))
        self.keys("ctrl+a")
        self.type_text(folder)
        self.keys("Return")
        time.sleep(1.0)

    def close(self, timeout=15):
        """Alt+F4; returns what the program wrote to stderr."""
        self.display.xdotool("windowactivate", "--sync", self.window)
        self.keys("alt+F4")
        self.process.wait(timeout=timeout)
        errors = self.process.stderr.read()
        assert self.process.returncode == 0, "the program ended with %d: %s" % (self.process.returncode, errors)
        return errors

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def start_server(support, root, *options):
    """The test FTP server on 127.0.0.1 (user "tester", password
    "secret"); returns the process and its port."""
    server = subprocess.Popen(["/usr/bin/python3", os.path.join(support, "ftp_server.py"), "--root", root, *options],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return server, int(server.stdout.readline().split()[1])


@contextlib.contextmanager
def session(prefix):
    """One test's desktop: a work folder, the display and the accessibility
    bus, yielded with a list of processes that are killed at the end. A
    failure leaves a screenshot where VELDRA_E2E_SCREENSHOT names a file."""
    work = tempfile.mkdtemp(prefix=prefix)
    processes = []
    display = Display()
    bus = AccessibilityBus()
    try:
        yield work, display, bus, processes
    except BaseException:
        shot = os.environ.get("VELDRA_E2E_SCREENSHOT")
        if shot:
            display.screenshot(shot)
        raise
    finally:
        for process in processes:
            if process.poll() is None:
                process.kill()
                process.wait()
        bus.close()
        display.close()
        shutil.rmtree(work, ignore_errors=True)
