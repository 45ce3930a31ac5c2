#!/usr/bin/python3
"""The demo FTP server that ./run.sh starts beside Glimra.

    demo-server.py start --watch PID [--port 2121]

prepares a small sample tree under the data root (QvxORNAFTPGlimra/demo/ in
the documents folder), adds a connection named "Demo" to the connection
tree when the tree has none, and makes sure a demo server serves the sample
tree on 127.0.0.1. The server runs as long as one of the programs it
watches runs: ./run.sh hands over its own process id, which becomes
Glimra's, so the server ends with Glimra however Glimra ends. A second
./run.sh while the first Glimra still runs shares the running server.
"""

import argparse
import base64
import os
import re
import socket
import struct
import subprocess
import sys
import time
import zlib

DEFAULT_PORT = 2121
USER = "demo"
PASSWORD = "glimra-demo"
BANNER = "Glimra Demo-Server bereit."
CONNECTION_NAME = "Demo"
WATCH_INTERVAL = 1.0


# --- where things live ----------------------------------------------------------

def documents_folder():
    """The documents folder as Qt finds it: user-dirs.dirs, else ~/Documents."""
    home = os.path.expanduser("~")
    config = os.environ.get("XDG_CONFIG_HOME") or os.path.join(home, ".config")
    try:
        with open(os.path.join(config, "user-dirs.dirs"), encoding="utf-8") as dirs:
            for line in dirs:
                match = re.match(r'^XDG_DOCUMENTS_DIR="?(.*?)"?\s*$', line)
                if match:
                    path = match.group(1).replace("$HOME", home)
                    if os.path.isabs(path):
                        return path
    except OSError:
        pass
    return os.path.join(home, "Documents")


def data_root():
    return os.path.join(documents_folder(), "QvxORNAFTPGlimra")


def state_folder():
    cache = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    folder = os.path.join(cache, "glimra", "demo-server")
    os.makedirs(folder, exist_ok=True)
    return folder


def pid_file():
    return os.path.join(state_folder(), "server.pid")


def watchers_file():
    return os.path.join(state_folder(), "watchers")


# --- the sample tree ------------------------------------------------------------

def write_png(path, width, height, pixel):
    """A true-colour PNG; pixel(x, y) gives (red, green, blue)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(path, "wb") as image:
        image.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                    + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


def gradient(x, y):
    return (x * 255 // 319, y * 255 // 239, 160)


def checkerboard(x, y):
    return (230, 230, 230) if (x // 40 + y // 40) % 2 else (40, 70, 140)


def rings(x, y):
    distance = int(((x - 160) ** 2 + (y - 120) ** 2) ** 0.5)
    return (255, 200, 0) if (distance // 16) % 2 else (200, 40, 40)


def sunset(x, y):
    if y > 170:
        return (20, 40 + (y - 170), 90)
    if (x - 160) ** 2 + (y - 170) ** 2 < 50 ** 2:
        return (255, 220, 120)
    return (255, 120 + y // 3, 60 + y // 4)


TEXTS = {
    "Willkommen.txt":
        "Willkommen beim Demo-Server von Glimra!\n\n"
        "Dieser kleine FTP-Server läuft nur auf diesem Rechner (127.0.0.1) und\n"
        "endet mit Glimra. Sie dürfen hier alles ausprobieren: Dateien herunter-\n"
        "und hochladen, umbenennen, löschen, Ordner anlegen.\n\n"
        "Die Dateien liegen in Ihrem Dokumente-Ordner unter\n"
        "QvxORNAFTPGlimra/demo/.\n",
    "Texte/Einkaufsliste.txt": "Brot\nKäse\nÄpfel\nMilch\nKaffee\n",
    "Texte/Gedicht.txt":
        "Über allen Gipfeln\nIst Ruh,\nIn allen Wipfeln\nSpürest du\nKaum einen Hauch;\n",
    "Texte/Größen und Umlaute.txt": "Ein Dateiname mit Umlauten und Leerzeichen.\n",
    "Archiv/2023/Bericht.txt": "Jahresbericht 2023\n\n" + "Alles lief nach Plan.\n" * 40,
}

IMAGES = {
    "Bilder/Farbverlauf.png": gradient,
    "Bilder/Schachbrett.png": checkerboard,
    "Bilder/Ringe.png": rings,
    "Bilder/Sonnenuntergang.png": sunset,
}


def prepare_sample_tree(root):
    """Fills the demo folder once; what the user changed later stays."""
    if os.path.isdir(root):
        return
    for relative, text in TEXTS.items():
        path = os.path.join(root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8", newline="\r\n") as file:
            file.write(text)
    for relative, pixel in IMAGES.items():
        path = os.path.join(root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        write_png(path, 320, 240, pixel)
    # Big enough that a download shows its progress.
    with open(os.path.join(root, "Archiv", "Messdaten.bin"), "wb") as data:
        data.write(os.urandom(16 * 1024 * 1024))
    os.makedirs(os.path.join(root, "Hochladen"), exist_ok=True)


# --- the "Demo" connection --------------------------------------------------------

def scramble_password(password):
    """How Glimra stores passwords in its connection files."""
    key = b"Wandeler5K"
    state = (sum(key) + len(key)) % 256
    base = state
    previous = 0
    output = bytearray()
    for index, byte in enumerate(password.encode("cp1252")):
        scrambled = (byte + key[index % len(key)] + state + previous) % 256
        state = (scrambled - base) % 256
        previous = byte
        output.append(scrambled)
    return base64.b64encode(bytes(output)).decode("ascii")


def section_names(ini_path):
    with open(ini_path, "rb") as ini:
        text = ini.read().decode("utf-8", errors="replace")
    return [line[1:-1] for line in text.splitlines()
            if len(line) > 2 and line.startswith("[") and line.endswith("]")]


def tree_has_connection(tree, name):
    for folder, _, files in os.walk(tree):
        for file in files:
            if file.lower() == "inhalt.ini" and any(
                    section.lower() == name.lower()
                    for section in section_names(os.path.join(folder, file))):
                return True
    return False


def add_demo_connection(tree, port):
    """Appends the section to the top group's connection file (CR LF, ASCII)."""
    if tree_has_connection(tree, CONNECTION_NAME):
        return False
    os.makedirs(tree, exist_ok=True)
    lines = ["", "[" + CONNECTION_NAME + "]",
             "FTP_Server=127.0.0.1",
             "FTP_Port=%d" % port,
             "FTP_User=" + USER,
             "FTP_Pass=" + scramble_password(PASSWORD),
             "FTP_Passive=-1",
             "Comment0=Der Demo-Server, den ./run.sh mit Glimra startet."]
    with open(os.path.join(tree, "inhalt.ini"), "ab") as ini:
        ini.write(("\r\n".join(lines) + "\r\n").encode("ascii"))
    return True


# --- watching ----------------------------------------------------------------------

def is_alive(pid):
    try:
        with open("/proc/%d/stat" % pid, encoding="ascii", errors="replace") as stat:
            # The state follows the command name in parentheses; Z is a zombie.
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


def read_pids(path):
    try:
        with open(path, encoding="ascii") as file:
            return [int(word) for word in file.read().split() if word.isdigit()]
    except OSError:
        return []


def add_watcher(pid):
    with open(watchers_file(), "a", encoding="ascii") as file:
        file.write("%d\n" % pid)


def running_server():
    """The process id of a demo server that still runs, or None."""
    for pid in read_pids(pid_file()):
        try:
            with open("/proc/%d/cmdline" % pid, "rb") as cmdline:
                arguments = cmdline.read().split(b"\0")
        except OSError:
            continue
        if is_alive(pid) and any(a.endswith(b"demo-server.py") for a in arguments) and b"serve" in arguments:
            return pid
    return None


def port_is_free(port):
    with socket.socket() as probe:
        probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            probe.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


def greeting(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=2) as connection:
            return connection.recv(200).decode("utf-8", errors="replace")
    except OSError:
        return ""


def wait_until(condition, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.05)
    return condition()


# --- the commands --------------------------------------------------------------------

def start(arguments):
    root = data_root()
    demo = os.path.join(root, "demo")
    prepare_sample_tree(demo)
    add_demo_connection(os.path.join(root, "Inhaltsverzeichnis"), arguments.port)

    if running_server() is not None:
        add_watcher(arguments.watch)
        # A server that found no watcher left gives up its pid file first
        # and looks once more; when it is gone now, it did not see us.
        if running_server() is not None:
            print("Demo-Server läuft bereits auf Port %d." % arguments.port)
            return 0

    if not port_is_free(arguments.port):
        if BANNER in greeting(arguments.port):
            # A demo server without its state: with nobody to watch it ends soon.
            wait_until(lambda: port_is_free(arguments.port), 5)
        if not port_is_free(arguments.port):
            print("Port %d ist belegt; der Demo-Server startet nicht." % arguments.port, file=sys.stderr)
            return 1

    with open(watchers_file(), "w", encoding="ascii") as file:
        file.write("%d\n" % arguments.watch)
    with open(os.path.join(state_folder(), "server.log"), "wb") as log:
        subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve",
                          "--port", str(arguments.port), "--root", demo],
                         stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    if not wait_until(lambda: BANNER in greeting(arguments.port), 10):
        print("Der Demo-Server kam nicht hoch; siehe %s." % os.path.join(state_folder(), "server.log"),
              file=sys.stderr)
        return 1
    print("Demo-Server: ftp://127.0.0.1:%d, Benutzer %s, Kennwort %s (Verbindung \"%s\")."
          % (arguments.port, USER, PASSWORD, CONNECTION_NAME))
    return 0


def anyone_watching():
    return any(is_alive(pid) for pid in read_pids(watchers_file()))


def serve(arguments):
    sys.modules["OpenSSL"] = None  # no TLS here; pyftpdlib starts faster without it
    import logging
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer

    class DemoHandler(FTPHandler):
        """pyftpdlib as a new user's first server should look: names are
        UTF-8 and OPTS UTF8 ON says so, and MLSD lists permissions too."""

        def __init__(self, *args, **kwargs):
            super().__init__(*args, **kwargs)
            if "unix.mode" in self._available_facts:
                self._current_facts.append("unix.mode")

        def ftp_OPTS(self, line):
            if line.strip().upper() in ("UTF8 ON", "UTF8"):
                self.respond("200 Always in UTF8 mode.")
            else:
                super().ftp_OPTS(line)

    authorizer = DummyAuthorizer()
    authorizer.add_user(USER, PASSWORD, arguments.root, perm="elradfmwMT")
    handler = DemoHandler
    handler.authorizer = authorizer
    handler.banner = BANNER
    logging.basicConfig(level=logging.INFO, format="%(asctime)s %(message)s")
    server = FTPServer(("127.0.0.1", arguments.port), handler)
    logging.info("Demo-Server auf 127.0.0.1:%d, Ordner %s", arguments.port, arguments.root)
    with open(pid_file(), "w", encoding="ascii") as file:
        file.write("%d\n" % os.getpid())
    try:
        while True:
            next_check = time.monotonic() + WATCH_INTERVAL
            while time.monotonic() < next_check:
                server.ioloop.loop(0.2, blocking=False)
            if anyone_watching():
                continue
            # Give up the pid file before the last look, so that a new
            # watcher either is seen here or starts a server of its own.
            try:
                os.remove(pid_file())
            except OSError:
                pass
            if not anyone_watching():
                break
            with open(pid_file(), "w", encoding="ascii") as file:
                file.write("%d\n" % os.getpid())
    finally:
        server.close_all()
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    start_parser = commands.add_parser("start")
    start_parser.add_argument("--watch", type=int, required=True,
                              help="the process whose end ends the server")
    start_parser.add_argument("--port", type=int, default=DEFAULT_PORT)
    serve_parser = commands.add_parser("serve")
    serve_parser.add_argument("--port", type=int, required=True)
    serve_parser.add_argument("--root", required=True)
    arguments = parser.parse_args()
    return start(arguments) if arguments.command == "start" else serve(arguments)


if __name__ == "__main__":
    sys.exit(main())
