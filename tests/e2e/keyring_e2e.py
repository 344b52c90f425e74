#!/usr/bin/python3
"""The window comes before the keyring, with real X events.

A new user's desktop: a secret service is installed, but no keyring has
been made, so the first secret a program stores brings up the service's
prompt ("Choose password for new keyring"). Veldra starts with a saved
site and its password (settings from when there was no secret service):
its window maps, and no prompt comes with it. The prompt comes when the
user saves the site (Ctrl+I), over the window; cancelled, it does not come
back in that run, where the password stays is said once in the log (the
settings file, which held it already), and the site still connects.

Usage: keyring_e2e.py VELDRA SUPPORT_DIR
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import (Veldra, descendants, keyring_prompt, session, start_prompting_keyring, start_server,  # noqa: E402
                     wait_for)


def status(program):
    panel = program.bus.control(program.app, "Connection status")
    return panel.description if panel is not None else ""


def log_lines(program):
    return [node.name for node in descendants(program.bus.control(program.app, "Log"))]


def main():
    veldra, support = sys.argv[1], sys.argv[2]
    with session("veldra-keyring-") as (work, display, bus, processes):
        root, home = os.path.join(work, "root"), os.path.join(work, "home")
        os.makedirs(os.path.join(root, "pub"))
        os.makedirs(os.path.join(home, ".config", "Tarnwick"))
        server, port = start_server(support, root)
        processes.append(server)
        settings = os.path.join(home, ".config", "Tarnwick", "Veldra.ini")
        with open(settings, "w") as out:
            out.write("[General]\nSites=1\nSite0.Address=127.0.0.1:%d\nSite0.UserName=tester\n"
                      "Site0.Password=secret\nSite0.DefaultFolder=/pub\n" % port)
        start_prompting_keyring(home, display)

        # The window first: the keyring is not asked while it starts.
        program = Veldra(veldra, display, bus, home)
        processes.append(program.process)
        time.sleep(2)
        assert keyring_prompt(display) is None, "the keyring prompted before it was needed"

        # Saving the site asks the keyring, whose prompt comes over the
        # window; the user cancels it.
        address = program.place("FTP Address", "text")
        program.click(*address)
        display.xdotool("key", "ctrl+i")
        wait_for(lambda: keyring_prompt(display) is not None, 15, "the keyring's prompt")
        display.xdotool("windowactivate", "--sync", keyring_prompt(display), "key", "Escape")
        wait_for(lambda: keyring_prompt(display) is None, 15, "the prompt to go")

        # Asked once a run: saving again brings no prompt.
        program.click(*address)
        display.xdotool("key", "ctrl+i")
        time.sleep(2)
        assert keyring_prompt(display) is None, "a cancelled prompt came back"
        told = [line for line in log_lines(program) if "The keyring cannot be used" in line]
        assert len(told) == 1, log_lines(program)

        # The password of the session connects.
        program.click(*address)
        program.keys("Return")
        wait_for(lambda: status(program) == "Status: Online", 15, "the connection")

        errors = program.close()
        assert not [line for line in errors.splitlines() if line.startswith("veldra: ")], errors
        assert keyring_prompt(display) is None, "the close prompted"
        with open(settings) as text:
            assert "Site0.Password=secret" in text.read(), "the file's password was lost"
        print("keyring end-to-end: the window mapped with no prompt; the prompt came at Ctrl+I over the window, "
              "once; cancelled, the session's password still connected")


if __name__ == "__main__":
    main()
