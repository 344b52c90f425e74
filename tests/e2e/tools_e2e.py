#!/usr/bin/python3
"""A user who keeps a website, with real X events.

The home folder holds a copy of the site the server has: the same files,
the same times. The user connects, opens the site's folder and turns on
Compare Folders (Ctrl+O): nothing is marked. They change style.css here
and see it marked; Transfer > Upload Newer (Alt+T, N) lists that file
alone and sends it. They open index.html to edit (F4) in their "editor"
(a script that saves it), and the save goes back at their word. Last, they
set the cgi folder to 755 with all it holds (Ctrl+Shift+P, the number,
Recurse) and open it to see it so.

Usage: tools_e2e.py VELDRA SUPPORT_DIR [SCREENSHOT_FOLDER]
"""
import os
import stat
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Veldra, descendants, session, start_server, wait_for  # noqa: E402

FILES = {"index.html": "<h1>Hello</h1>\n", "style.css": "h1 { color: navy; }\n",
         "cgi/run.sh": "#!/bin/sh\necho hi\n", "cgi/lib/util.pl": "1;\n"}
WHEN = 1764590400  # 2025-12-01 12:00 UTC


def tree(root):
    for relative, text in FILES.items():
        path = os.path.join(root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as out:
            out.write(text)
        os.utime(path, (WHEN, WHEN))


def contents(path):
    with open(path) as source:
        return source.read()


def description(program, name):
    for node in descendants(program.bus.control(program.app, "Remote files", "list")):
        if node.name == name:
            return node.description
    return None


def log_lines(program):
    return [node.name for node in descendants(program.bus.control(program.app, "Log"))]


def main():
    veldra, support = sys.argv[1], sys.argv[2]
    shots = sys.argv[3] if len(sys.argv) > 3 else None
    with session("veldra-tools-") as (work, display, bus, processes):
        root, home = os.path.join(work, "root"), os.path.join(work, "home")
        site, local = os.path.join(root, "pub", "site"), os.path.join(home, "site")
        tree(site)
        tree(local)
        for path in ("cgi/run.sh", "cgi/lib/util.pl"):
            os.chmod(os.path.join(site, path), 0o600)
        os.chmod(os.path.join(site, "cgi", "lib"), 0o700)
        editor = os.path.join(work, "edit.sh")
        with open(editor, "w") as out:
            out.write('sleep 1\nprintf "<p>edited</p>\\n" >> "$1"\n')
        config = os.path.join(home, ".config", "Tarnwick")
        os.makedirs(config)
        with open(os.path.join(config, "Veldra.ini"), "w") as out:
            out.write("[General]\nLastFile=%s/index.html\n[Edit]\nEditor=/bin/sh %s\n" % (local, editor))
        server, port = start_server(support, root)
        processes.append(server)

        program = Veldra(veldra, display, bus, home)
        processes.append(program.process)
        program.connect(port)
        program.open_folder("/pub/site")
        wait_for(lambda: description(program, "style.css") is not None, 10, "the site's files")

        # The comparison: the same on both sides, then one file changed here.
        program.keys("ctrl+o")
        time.sleep(1)
        assert "here" not in (description(program, "style.css") or ""), description(program, "style.css")
        with open(os.path.join(local, "style.css"), "a") as out:
            out.write("p { margin: 0; }\n")
        wait_for(lambda: "Size differs" in (description(program, "style.css") or ""), 10, "style.css marked")
        assert "Size differs" not in (description(program, "index.html") or "")
        if shots:
            display.screenshot(os.path.join(shots, "compare.png"))

        # Upload Newer: the list shows style.css alone; Yes sends it.
        program.keys("alt+t", "n")
        program.answer_question("alt+y")
        wait_for(lambda: contents(os.path.join(site, "style.css")) == contents(os.path.join(local, "style.css")),
                 15, "style.css uploaded")
        assert contents(os.path.join(site, "index.html")) == FILES["index.html"]
        wait_for(lambda: "Size differs" not in (description(program, "style.css") or ""), 10, "the mark gone")

        # View/Edit: the editor saves; the upload goes at the user's word.
        program.click(*program.bus.centre(
            [node for node in descendants(program.bus.control(program.app, "Remote files", "list"))
             if node.name == "index.html"][0]))
        program.keys("F4")
        program.answer_question("alt+y")
        wait_for(lambda: "<p>edited</p>" in contents(os.path.join(site, "index.html")), 15, "the edit uploaded")

        # 755 into the cgi folder, by the keyboard.
        folders = program.bus.control(program.app, "Remote folders", "tree")
        cgi = [node for node in descendants(folders) if node.name == "cgi"][0]
        program.click(*program.bus.centre(cgi))
        program.keys("ctrl+shift+p")
        wait_for(lambda: display.shown("^Permissions$"), what="the permissions dialog")
        time.sleep(0.5)
        program.keys("alt+n", "ctrl+a")
        program.type_text("755")
        program.keys("alt+r")
        if shots:
            display.screenshot(os.path.join(shots, "dialog.png"))
        time.sleep(0.3)
        program.keys("Return")
        wait_for(lambda: not display.shown("^Permissions$"), what="the dialog to close")
        modes = {path: stat.S_IMODE(os.stat(os.path.join(site, path)).st_mode)
                 for path in ("cgi", "cgi/run.sh", "cgi/lib", "cgi/lib/util.pl")}
        assert all(mode == 0o755 for mode in modes.values()), modes
        assert any("Permissions set to 755 on 4 items." in line for line in log_lines(program)), log_lines(program)
        program.open_folder("/pub/site/cgi")
        wait_for(lambda: description(program, "run.sh") is not None, 10, "the cgi folder")
        if shots:
            # Wide enough for the Permissions column.
            display.xdotool("windowsize", "--sync", program.window, "1270", "700")
            time.sleep(0.5)
            display.screenshot(os.path.join(shots, "permissions.png"))
        program.close()
        print("tools end-to-end: a changed file marked by the comparison and alone uploaded by Upload Newer, an "
              "edited file uploaded on save, and a folder set to 755 with all it holds")


if __name__ == "__main__":
    main()
