#!/usr/bin/python3
"""The built program as a screen reader finds it, over the accessibility bus.

Run inside a D-Bus session of its own (dbus-run-session): starts the
accessibility bus, turns accessibility on as a screen reader does, starts
Veldra on a virtual display and looks for the connection bar's fields by
their names, each labelled by its label.

Usage: atspi_test.py VELDRA
"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_test import Display, wait_for  # noqa: E402

from gi.repository import Gio, GLib  # noqa: E402


def turn_accessibility_on():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    bus.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
                  GLib.Variant("(ssv)", ("org.a11y.Status", "IsEnabled", GLib.Variant("b", True))),
                  None, Gio.DBusCallFlags.NONE, 5000, None)


def bus_ready():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    reply = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
                          GLib.Variant("(s)", ("org.a11y.Bus",)), None, Gio.DBusCallFlags.NONE, 5000, None)
    return reply.unpack()[0]


def descendants(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield child
            yield from descendants(child)


def main():
    veldra = sys.argv[1]
    work = tempfile.mkdtemp(prefix="veldra-atspi-")
    display = Display()
    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    program = None
    try:
        wait_for(bus_ready, 10, "the accessibility bus")
        turn_accessibility_on()
        import pyatspi
        env = dict(display.env, HOME=work, XDG_CONFIG_HOME=os.path.join(work, ".config"), QT_QPA_PLATFORM="xcb")
        program = subprocess.Popen([veldra, "/NOIDEHOOKS"], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)

        def veldra_app():
            for app in pyatspi.Registry.getDesktop(0):
                if app is not None and app.name == "Veldra" and app.childCount > 0:
                    return app
            return None
        wait_for(lambda: veldra_app() is not None, 20, "Veldra on the accessibility bus")
        nodes = list(descendants(veldra_app()))
        by_name = {}
        for node in nodes:
            by_name.setdefault(node.name, []).append(node)

        fields = {"FTP Address": "combo box", "User Name": "text", "Password": "password text",
                  "FTP Folder": "text"}
        for name, role in fields.items():
            found = [node for node in by_name.get(name, []) if node.getRoleName() == role]
            assert found, "no %s named %r" % (role, name)
            labels = [target.name for relation in found[0].getRelationSet()
                      if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
                      for target in (relation.getTarget(i) for i in range(relation.getNTargets()))]
            assert labels == [name + ":"], "%r is labelled by %r" % (name, labels)
        for name in ("Remote folders", "Remote files", "Local folders", "Log", "Connection status",
                     "Transfer speed", "Transfer progress"):
            assert name in by_name, "nothing named %r" % name
        print("atspi_test: passed")
    finally:
        if program is not None:
            program.terminate()
            program.wait()
        bus.terminate()
        bus.wait()
        display.close()


if __name__ == "__main__":
    main()
