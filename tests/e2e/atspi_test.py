#!/usr/bin/python3
"""The built program as a screen reader finds it, over the accessibility bus.

Run inside a D-Bus session of its own (dbus-run-session): starts the
accessibility bus, turns accessibility on as a screen reader does, starts
Veldra on a virtual display, finds no control without a name, and looks
for the connection bar's fields by their names, each labelled by its label, reads a status panel's text, and
opens the local tree's item menu with a real right click to find its
commands.

Usage: atspi_test.py VELDRA
"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import AccessibilityBus, Display, descendants, wait_for  # noqa: E402


def main():
    veldra = sys.argv[1]
    work = tempfile.mkdtemp(prefix="veldra-atspi-")
    display = Display()
    bus = AccessibilityBus()
    pyatspi = bus.pyatspi
    program = None
    try:
        env = dict(display.env, HOME=work, XDG_CONFIG_HOME=os.path.join(work, ".config"), QT_QPA_PLATFORM="xcb")
        program = subprocess.Popen([veldra, "/NOIDEHOOKS"], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        wait_for(lambda: bus.application("Veldra") is not None, 20, "Veldra on the accessibility bus")
        nodes = list(descendants(bus.application("Veldra")))
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
        # Nothing a screen reader stops at is nameless: the toolbars' "more"
        # buttons, read as check boxes, and the panes included.
        unnamed = sorted({node.getRoleName() for node in nodes if not node.name and node.getRoleName() in (
            "check box", "push button", "toggle button", "combo box", "text", "spin button", "split pane")})
        assert not unnamed, "nameless: %s" % unnamed
        # A panel's name says what it is, its description what it shows.
        status = by_name["Connection status"][0]
        assert status.description == "Status: Offline", repr(status.description)

        # The local tree's item menu, opened by a right click on "Home".
        window = display.xdotool("search", "--sync", "--name", "^Veldra - v").split()[0]
        display.xdotool("windowactivate", "--sync", window)
        home = bus.control(by_name["Local folders"][0], "Home")
        assert home, "no Home in the local tree"
        x, y = bus.centre(home)
        display.xdotool("mousemove", str(x), str(y), "click", "3")

        def item_menu():
            for child in bus.application("Veldra"):
                if child is not None and child.getRoleName() == "popup menu" and child.name == "Home":
                    return child
            return None
        wait_for(lambda: item_menu() is not None, 10, "the item menu on the accessibility bus")
        items = [child.name for child in item_menu() if child.getRoleName() == "menu item"]
        assert items == ["Upload", "Open", "Rename", "New Folder", "Move to Trash", "Copy Location", "Refresh"], items
        print("atspi_test: passed")
    finally:
        if program is not None:
            program.terminate()
            program.wait()
        bus.close()
        display.close()


if __name__ == "__main__":
    main()
