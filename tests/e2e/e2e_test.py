#!/usr/bin/python3
"""The built program on a virtual display, driven with real X events.

Starts Xvfb with a window manager (openbox), a real FTP server on
127.0.0.1 and Veldra with a home folder of its own, then types and clicks
with xdotool as a user does: Enter in the address box connects and Ctrl+I
there keeps the site; Ctrl+U and Ctrl+N act from the folder box; Ctrl+D
downloads the selected remote file through the save dialog byte for byte;
Del asks before it deletes; a download onto an existing file asks, and
Skip keeps it; a download the server cuts is told and keeps the local
file; Ctrl+F disconnects and, from the user name field, connects; closing the window saves
the settings, the password in the session's secret service. Every check
reads files on disk or the program's messages.

Usage: e2e_test.py VELDRA SUPPORT_DIR
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Veldra, session, start_keyring, start_server, wait_for  # noqa: E402


def main():
    veldra, support = sys.argv[1], sys.argv[2]
    with session("veldra-e2e-") as (work, display, bus, processes):
        root, home, local = (os.path.join(work, name) for name in ("root", "home", "local"))
        os.makedirs(os.path.join(root, "pub"))
        os.makedirs(os.path.join(root, "cut"))
        os.makedirs(os.path.join(home, "Desktop"))
        os.makedirs(local)
        payload = os.urandom(200_000)
        write = lambda path, data: open(path, "wb").write(data)  # noqa: E731
        read = lambda path: open(path, "rb").read()  # noqa: E731
        write(os.path.join(root, "pub", "data.bin"), payload)
        write(os.path.join(root, "pub", "notes.txt"), b"notes")
        write(os.path.join(root, "pub", "victim.txt"), b"victim")
        write(os.path.join(root, "cut", "cut.bin"), payload)
        write(os.path.join(home, "up.txt"), b"up")
        for name in ("data.bin", "cut.bin"):
            write(os.path.join(local, name), b"keep")

        server, port = start_server(support, root, "--cut")
        processes.append(server)
        start_keyring(home)
        program = Veldra(veldra, display, bus, home)
        processes.append(program.process)
        address = program.place("FTP Address", "combo box")
        user_name = program.place("User Name", "text")
        file_list = program.place("Remote files", "list", left=True)
        click, keys, type_text = program.click, program.keys, program.type_text
        answer_question, in_file_dialog = program.answer_question, program.in_file_dialog

        # The connection bar; Ctrl+I in the address box keeps the site.
        click(*address)
        type_text("127.0.0.1:%d" % port)
        keys("Tab")
        type_text("tester")
        keys("Tab")
        type_text("secret")
        click(*address)
        keys("ctrl+i")
        keys("Return")
        time.sleep(1.5)

        # The folder box: type a folder and press Enter. The window's
        # shortcuts then act from it, though a line edit binds Ctrl+U.
        program.open_folder("/pub")
        keys("ctrl+u", "f")
        in_file_dialog(os.path.join(home, "up.txt"))
        wait_for(lambda: os.path.exists(os.path.join(root, "pub", "up.txt")), what="the upload")
        keys("ctrl+n")
        time.sleep(0.8)
        type_text("made")
        keys("Return")
        wait_for(lambda: os.path.isdir(os.path.join(root, "pub", "made")), what="the new remote folder")

        # The new folder is chosen where it was made, not entered. One
        # file, found by typing its name in the list, is saved as named.
        click(*file_list)
        time.sleep(0.5)
        type_text("data")
        keys("ctrl+shift+d")
        in_file_dialog(os.path.join(local, "saved.bin"))
        target = os.path.join(local, "saved.bin")
        wait_for(lambda: os.path.exists(target) and os.path.getsize(target) == len(payload), what="the download")
        assert read(target) == payload, "the download differs from the remote file"

        # Del asks first: No (Escape) keeps the file, Yes deletes it.
        type_text("victim")
        keys("Delete")
        answer_question("Escape")
        time.sleep(0.5)
        assert os.path.exists(os.path.join(root, "pub", "victim.txt")), "deleted without a Yes"
        keys("Delete")
        answer_question("y")
        wait_for(lambda: not os.path.exists(os.path.join(root, "pub", "victim.txt")), what="the delete")

        # Every file into a folder that holds one of them (Download As asks
        # for the folder): asked, and Skip keeps the local file.
        click(*file_list)
        keys("ctrl+a", "ctrl+shift+d")
        in_file_dialog(local, dialog="^Download [0-9]+ Files Into$")
        answer_question("s")
        wait_for(lambda: all(os.path.exists(os.path.join(local, name)) for name in ("notes.txt", "up.txt")),
                 what="the other files")
        time.sleep(0.5)
        assert read(os.path.join(local, "data.bin")) == b"keep", "the skipped file was replaced"

        # A download the server cuts: one message, the local file kept.
        program.open_folder("/cut")
        click(*file_list)
        type_text("cut")
        keys("ctrl+shift+d")
        # The save dialog asks itself before it names an existing file.
        in_file_dialog(os.path.join(local, "cut.bin"), then=("y",))
        answer_question("Return")
        assert read(os.path.join(local, "cut.bin")) == b"keep", "the cut download replaced the local file"

        # Only the transfer's own session was cut: the window is online.
        # Ctrl+F disconnects, and from the user name field connects again.
        keys("ctrl+f")
        time.sleep(1.0)
        click(*user_name)
        keys("ctrl+f")
        time.sleep(1.5)
        keys("ctrl+n")
        time.sleep(0.8)
        type_text("again")
        keys("Return")
        wait_for(lambda: os.path.isdir(os.path.join(root, "again")), what="a folder made after connecting again")

        # Closing the window saves the site kept with Ctrl+I.
        errors = program.close()
        # The cause depends on the moment the server went (before or after
        # the passive data connection was made); the outcome does not.
        told = [line for line in errors.splitlines()
                if line.startswith("veldra: Download of cut.bin failed: ")
                and line.endswith("The existing local file was kept.")]
        assert len(told) == 1, errors
        assert len([line for line in errors.splitlines() if line.startswith("veldra: ")]) == 1, errors
        with open(os.path.join(home, ".config", "Tarnwick", "Veldra.ini")) as settings:
            text = settings.read()
        assert "Site0.Address=127.0.0.1:%d" % port in text, text
        assert "Site0.UserName=tester" in text, text
        # The password went to the secret service, not into the file.
        assert "secret" not in text, text
        print("end-to-end: connect, shortcuts from the folder box, upload, download, delete asked, "
              "overwrite asked, a cut download told, reconnect, close: all seen on disk")


if __name__ == "__main__":
    main()
