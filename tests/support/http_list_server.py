#!/usr/bin/python3
"""HTTP server for the connection list update's tests, run by HttpListServer.

Serves the files of --root (over HTTPS with --certificate and --key) on
127.0.0.1 on a port the system picks and writes "PORT <n>" as the first
line on stdout once it accepts connections. The request line and headers of every request are appended to the
transcript file, followed by an empty line.

A few paths behave on purpose like servers the program must survive:
  /slow/<file>       the file, a few bytes every tenth of a second
  /huge-announced    announces a body beyond the program's limit
  /huge-unannounced  streams beyond the limit without announcing a length
"""

import argparse
import http.server
import ssl
import sys
import time

SLOW_PIECE = 16
SLOW_PAUSE = 0.1
HUGE = 17 * 1024 * 1024


def parse_arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--transcript", required=True)
    parser.add_argument("--certificate", help="serve HTTPS with this PEM certificate")
    parser.add_argument("--key", help="the certificate's PEM key")
    return parser.parse_args()


class ListHandler(http.server.SimpleHTTPRequestHandler):
    transcript = None

    def log_message(self, format, *args):
        pass

    def record_request(self):
        self.transcript.write(self.requestline + "\n" + str(self.headers))
        self.transcript.flush()

    def do_GET(self):
        self.record_request()
        if self.path.startswith("/slow/"):
            self.send_slowly(self.path[len("/slow"):])
        elif self.path == "/huge-announced":
            self.send_response(200)
            self.send_header("Content-Length", str(HUGE))
            self.end_headers()
            self.send_endlessly(HUGE)
        elif self.path == "/huge-unannounced":
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            self.send_endlessly(HUGE)
        else:
            super().do_GET()

    def send_slowly(self, path):
        with open(self.translate_path(path), "rb") as listed:
            body = listed.read()
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        for start in range(0, len(body), SLOW_PIECE):
            if not self.write(body[start:start + SLOW_PIECE]):
                return
            time.sleep(SLOW_PAUSE)

    def send_endlessly(self, size):
        piece = b"[Eintrag]\r\nGruppe=Viel\r\n" * 1024
        sent = 0
        while sent < size and self.write(piece):
            sent += len(piece)

    def write(self, data):
        """False once the client has gone."""
        try:
            self.wfile.write(data)
            self.wfile.flush()
            return True
        except (BrokenPipeError, ConnectionResetError):
            return False


def main():
    arguments = parse_arguments()
    ListHandler.transcript = open(arguments.transcript, "a", encoding="utf-8")
    handler = lambda *a, **k: ListHandler(*a, directory=arguments.root, **k)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    if arguments.certificate:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(arguments.certificate, arguments.key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print("PORT %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
