#!/usr/bin/python3
"""SFTP in the built program, with real X events, against OpenSSH's sshd.

The user types sftp://ftptest@127.0.0.1:PORT and a password: the host key
question comes (Enter trusts it once), the home folder lists, a folder
with blanks, UTF-8 and a Latin-1 byte in its names is dragged down onto the
local tree and another one up onto the remote list, both byte for byte,
and the queue's own connections ask nothing. Then a second run logs in with
a key from an SSH agent, no password typed, and trusts the key always.

Runs as root only (sshd runs as the test user "ftptest", which
scripts/setup.sh makes); elsewhere it says why and is skipped (77).

Usage: sftp_e2e.py VELDRA SUPPORT_DIR SERVERS_DIR
"""
import os
import pwd
import shutil
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Veldra, session, wait_for  # noqa: E402
from folders_e2e import same_trees  # noqa: E402

USER, PASSWORD = "ftptest", "Sesame-42"


def start_sshd(work, servers, root):
    """sshd as the test user on a free port; returns the process and port."""
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    for program in ("usr/sbin/sshd", "usr/lib/openssh/sftp-server"):
        shutil.copy(os.path.join(servers, program), work)
    subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", os.path.join(work, "host_key")], check=True)
    with open(os.path.join(work, "sshd_config"), "w") as config:
        config.write("Port %d\nListenAddress 127.0.0.1\nHostKey %s/host_key\nPidFile none\nStrictModes no\n"
                     "UsePAM yes\nKbdInteractiveAuthentication yes\nAuthorizedKeysFile %s/authorized_keys\n"
                     "Subsystem sftp %s/sftp-server -d %s\n" % (port, work, work, work, root))
    subprocess.run(["chown", "-R", USER + ":", work], check=True)
    os.chmod(work, 0o755)
    server = subprocess.Popen(["setpriv", "--reuid=" + USER, "--regid=" + USER, "--clear-groups",
                               os.path.join(work, "sshd"), "-D", "-e", "-f", os.path.join(work, "sshd_config")],
                              stderr=subprocess.PIPE, text=True)
    while "Server listening" not in server.stderr.readline():
        pass
    return server, port


def drag(display, start, end):
    display.xdotool("mousemove", str(start[0]), str(start[1]), "mousedown", "1")
    for step in range(1, 11):
        display.xdotool("mousemove", str(start[0] + (end[0] - start[0]) * step // 10),
                        str(start[1] + (end[1] - start[1]) * step // 10))
        time.sleep(0.05)
    time.sleep(0.3)
    display.xdotool("mouseup", "1")


def log_in(program, port, password=None):
    program.click(*program.place("FTP Address", "combo box"))
    program.type_text("sftp://%s@127.0.0.1:%d" % (USER, port))
    if password:
        program.keys("Tab", "Tab")
        program.type_text(password)
    program.keys("Return")


def main():
    veldra, support, servers = sys.argv[1], sys.argv[2], sys.argv[3]
    if os.geteuid() != 0 or not os.path.exists(os.path.join(servers, "usr/sbin/sshd")):
        print("skipped: sshd runs as the test user, which takes root and the unpacked sshd")
        sys.exit(77)
    try:
        pwd.getpwnam(USER)
    except KeyError:
        print("skipped: the test user %s is missing (scripts/setup.sh makes it)" % USER)
        sys.exit(77)
    with session("veldra-sftp-") as (work, display, bus, processes):
        os.chmod(work, 0o755)
        root, home, server_dir = (os.path.join(work, name) for name in ("root", "home", "sshd"))
        site = os.path.join(root, "site")
        deep = os.path.join(site, "level one", "two \u00e9t\u00e9")
        up = os.path.join(home, "up here")
        for folder in (deep, up, server_dir):
            os.makedirs(folder)
        for path, size in ((os.path.join(site, "a file.txt"), 10), (os.path.join(deep, "deep file.bin"), 300_000),
                           (os.path.join(up, "local \u00e9.bin"), 200_000)):
            with open(path, "wb") as out:
                out.write(os.urandom(size))
        with open(os.path.join(site.encode(), b"caf\xe9.bin"), "wb") as out:
            out.write(b"latin-1 name")
        subprocess.run(["chown", "-R", USER + ":", root], check=True)
        server, port = start_sshd(server_dir, servers, root)
        processes.append(server)

        program = Veldra(veldra, display, bus, home)
        processes.append(program.process)
        log_in(program, port, PASSWORD)
        program.answer_question("Return")  # the unknown host key: trust once
        wait_for(lambda: program.shows("site", "table cell"), 20, "the home folder's listing")

        drag(display, program.place("site", "table cell"), program.place("Home", "table cell"))
        arrived = os.path.join(home, "site")
        wait_for(lambda: os.path.isfile(os.path.join(arrived, "level one", "two \u00e9t\u00e9", "deep file.bin"))
                 and same_trees(site, arrived), 20, "the dragged folder down")

        # Up: the local folder from the tree onto the remote file list.
        program.click(*program.place("Home", "table cell"))
        program.keys("Right")
        wait_for(lambda: program.shows("up here", "table cell"), 10, "the home folder's children in the tree")
        drag(display, program.place("up here", "table cell"), program.place("Remote files", "list", left=True))
        wait_for(lambda: os.path.isdir(os.path.join(root, "up here")) and same_trees(up, os.path.join(root, "up here")),
                 20, "the dragged folder up")
        # The queue's connections took the host key and the password as the
        # log-in settled them: no question came.
        assert not display.shown("^Veldra$"), "a question came during the transfers"
        program.close()

        # A key from an agent, no password: trusted always this time.
        key = os.path.join(work, "key")
        subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", key], check=True)
        shutil.copy(key + ".pub", os.path.join(server_dir, "authorized_keys"))
        agent_socket = os.path.join(work, "agent.sock")
        agent = subprocess.Popen(["ssh-agent", "-D", "-a", agent_socket], stdout=subprocess.DEVNULL)
        processes.append(agent)
        wait_for(lambda: os.path.exists(agent_socket), 5, "the agent")
        subprocess.run(["ssh-add", "-q", key], env=dict(os.environ, SSH_AUTH_SOCK=agent_socket), check=True,
                       stderr=subprocess.DEVNULL)
        program = Veldra(veldra, display, bus, home, env={"SSH_AUTH_SOCK": agent_socket})
        processes.append(program.process)
        log_in(program, port)
        program.answer_question("alt+a")  # trust always
        wait_for(lambda: program.shows("site", "table cell"), 20, "the listing after the agent's log-in")
        known = os.path.join(home, ".config", "Tarnwick", "known_hosts")
        with open(known) as text:
            assert text.read().startswith("[127.0.0.1]:%d ssh-ed25519 " % port), "the key was not kept"
        program.close()
        print("sftp end-to-end: host key asked and trusted, a password and an agent's key logged in, a folder "
              "down and another up byte for byte, the queue's connections asked nothing")


if __name__ == "__main__":
    main()
