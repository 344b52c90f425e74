#!/usr/bin/python3
"""An office user with real X events: a server reachable by IPv6 only,
over TLS, through the office's HTTP proxy (tinyproxy, with a password).

In the site manager (Ctrl+S) the user makes a new site, types the server's
address as "ftpes://[::1]:port" into Host, the user and password, and on
the Proxy page chooses "HTTP CONNECT" with the proxy's address and
log-in; then Connect. The certificate is trusted once. The remote folder
"site" is dragged onto the local tree's home folder: it arrives byte for
byte, and the Transfers page shows each file "Verified (SHA-256)". The
proxy saw the connections: its log names the tunnels.

Usage: networks_e2e.py VELDRA SUPPORT_DIR SERVERS_DIR
"""
import os
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Veldra, descendants, session, start_keyring, start_server, wait_for  # noqa: E402
from folders_e2e import same_trees  # noqa: E402
from sftp_e2e import drag  # noqa: E402


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def start_tinyproxy(servers, work, user, password):
    port = free_port()
    config = os.path.join(work, "tinyproxy.conf")
    log = os.path.join(work, "tinyproxy.log")
    with open(config, "w") as out:
        out.write("Port %d\nListen 127.0.0.1\nTimeout 60\nMaxClients 50\nAllow 127.0.0.1\nLogLevel Connect\n"
                  "BasicAuth %s %s\n" % (port, user, password))
        if os.geteuid() == 0:
            out.write("User nobody\nGroup nogroup\n")
    # In the foreground it logs to its output, which this file takes.
    with open(log, "w") as output:
        proxy = subprocess.Popen([os.path.join(servers, "usr", "bin", "tinyproxy"), "-d", "-c", config],
                                 stdout=output, stderr=subprocess.STDOUT)
    wait_for(lambda: socket.socket().connect_ex(("127.0.0.1", port)) == 0, 10, "tinyproxy")
    return proxy, port, log


def fill(program, dialog, name, text, role="text"):
    """A field of the dialog found by its name, clicked, its text typed
    over (the main window has fields of the same names)."""
    field = program.bus.control(dialog, name, role)
    assert field is not None, "no %s named %r" % (role, name)
    program.click(*program.bus.centre(field))
    program.keys("ctrl+a")
    program.type_text(text)


def main():
    veldra, support, servers = sys.argv[1], sys.argv[2], sys.argv[3]
    with session("veldra-networks-") as (work, display, bus, processes):
        root, home = os.path.join(work, "root"), os.path.join(work, "home")
        site = os.path.join(root, "pub", "site")
        os.makedirs(os.path.join(site, "css"))
        os.makedirs(home)
        for path, size in ((os.path.join(site, "index.html"), 900), (os.path.join(site, "css", "big.bin"), 400_000)):
            with open(path, "wb") as out:
                out.write(os.urandom(size))
        open(os.path.join(root, ".hash"), "w").close()  # the server hashes files (HASH, SHA-256)
        key, cert = os.path.join(work, "key.pem"), os.path.join(work, "cert.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                        "-days", "2", "-subj", "/CN=localhost"], check=True, capture_output=True)
        server, port = start_server(support, root, "--host", "::1", "--tls", cert + "," + key)
        processes.append(server)
        proxy, proxy_port, proxy_log = start_tinyproxy(servers, work, "office", "pass")
        processes.append(proxy)

        start_keyring(home)  # the site's password goes there
        program = Veldra(veldra, display, bus, home)
        processes.append(program.process)
        program.keys("ctrl+s")
        wait_for(lambda: display.shown("^Site Manager$"), what="the site manager")
        time.sleep(0.5)
        manager = bus.control(program.app, "Site Manager", "dialog")
        assert manager is not None, "no site manager on the bus"
        program.keys("alt+n")
        program.type_text("Office server")
        program.keys("Return")
        fill(program, manager, "Host", "ftpes://[::1]:%d" % port)
        program.keys("Tab")
        fill(program, manager, "User", "tester")
        fill(program, manager, "Password", "secret", "password text")
        # The Proxy page: the kind chosen from the list by keys.
        program.click(*bus.centre(bus.control(manager, "Proxy", "page tab")))
        # A list that cannot be typed into reads out its choice.
        program.click(*bus.centre(bus.control(manager, "As in Settings", "combo box")))
        program.keys(*["Down"] * 5, "Return")
        fill(program, manager, "Proxy host", "127.0.0.1")
        fill(program, manager, "Proxy port", str(proxy_port))
        fill(program, manager, "Proxy user", "office")
        fill(program, manager, "Proxy password", "pass", "password text")
        program.keys("alt+c")  # the manager's Connect
        program.answer_question("alt+o")  # Trust Once
        status = lambda: bus.control(program.app, "Connection status").description  # noqa: E731
        wait_for(lambda: status() == "Status: Online", 20, "the connection through the proxy")
        program.open_folder("/pub")

        # "site" dragged from the remote folder tree onto the local tree's
        # home folder, in steps, as a hand drags.
        drag(display, program.place("site", "table cell"), program.place("Home", "table cell"))
        arrived = os.path.join(home, "site")
        wait_for(lambda: os.path.isfile(os.path.join(arrived, "css", "big.bin")) and same_trees(site, arrived), 30,
                 "the folder through the proxy")

        # The Transfers page says what the server's hashes proved.
        program.click(*program.place("Transfers", "page tab"))
        transfers = bus.control(program.app, "Transfers", "tree")
        verified = lambda: [node.name for node in descendants(transfers) if node.name == "Verified (SHA-256)"]  # noqa
        wait_for(lambda: len(verified()) == 2, 10, "two files shown verified")
        shot = os.environ.get("VELDRA_E2E_SHOTS")
        if shot:
            display.screenshot(os.path.join(shot, "networks-verified.png"))
        with open(proxy_log, errors="replace") as text:
            tunnels = sum("CONNECT [::1]:%d" % port in line for line in text)
        assert tunnels >= 2, "the proxy saw %d tunnels" % tunnels
        program.close()
        with open(os.path.join(home, ".config", "Tarnwick", "Veldra.ini"), encoding="utf-8") as settings:
            text = settings.read()
        assert "Proxy=http" in text and "ProxyPort=%d" % proxy_port in text, "the site's proxy was not kept"
        print("networks end-to-end: a site at [::1] over TLS through tinyproxy, made in the site manager with "
              "its own proxy, gave a folder byte for byte, each file verified by the server's SHA-256 "
              "(%d tunnels in the proxy's log)" % tunnels)


if __name__ == "__main__":
    main()
