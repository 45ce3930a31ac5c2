#!/usr/bin/python3
"""FTP server for Glimra's tests, run by RealFtpServer.

Listens on 127.0.0.1 (or ::1) on a port the system picks and writes "PORT <n>" as
the first line on stdout once the socket accepts connections. Every
command a client sends is appended to the transcript file, one per line,
as the server decoded it.
"""

import argparse
import logging
import os
import stat
import sys

if "--implicit-tls" not in sys.argv and "--explicit-tls" not in sys.argv:
    # pyftpdlib loads pyOpenSSL on import even when TLS is not used; without
    # it a plain server comes up in half the time.
    sys.modules["OpenSSL"] = None

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

FULL_PERMISSIONS = "elradfmwMT"
LISTING_COMMANDS = ("LIST", "NLST", "MLSD")


def parse_arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--transcript", required=True)
    parser.add_argument("--implicit-tls", action="store_true")
    parser.add_argument("--explicit-tls", action="store_true",
                        help="AUTH TLS before the login, TLS on every data connection")
    parser.add_argument("--certificate")
    parser.add_argument("--key")
    parser.add_argument("--latin1", action="store_true",
                        help="names travel as Windows-1252 bytes, no UTF8 feature")
    parser.add_argument("--no-mlsd", action="store_true")
    parser.add_argument("--no-epsv", action="store_true")
    parser.add_argument("--ipv6", action="store_true", help="listen on ::1")
    parser.add_argument("--unix-mode", action="store_true",
                        help="MLSD lines carry the UNIX.mode fact, as proftpd's do")
    parser.add_argument("--masquerade")
    parser.add_argument("--passive-ports", help="first-last")
    parser.add_argument("--command-delay", type=int, default=0,
                        help="milliseconds before each command is taken, like a distant server")
    parser.add_argument("--delayed-commands", default="",
                        help="comma-separated verbs the delay applies to; all when empty")
    parser.add_argument("--cut-first-transfer-after", type=int, default=0,
                        help="bytes after which the data connection of the first RETR, STOR "
                             "or APPE is closed, as a failing network would")
    parser.add_argument("--rate-limit", type=int, default=0,
                        help="bytes per second on data connections")
    parser.add_argument("--no-rest", action="store_true", help="REST is an unknown command")
    parser.add_argument("--raw-names", action="store_true",
                        help="names that are no UTF-8 travel as their bytes instead of as '?'")
    parser.add_argument("--ignore-rest", action="store_true",
                        help="REST is accepted with 350, yet RETR sends from the first byte")
    parser.add_argument("--zero-sizes", action="store_true",
                        help="listings give every file the size 0 (SIZE tells the truth)")
    parser.add_argument("--cut-downloads", choices=("226", "426"),
                        help="RETR sends 40 %% of the file, closes the data connection and "
                             "answers with this code: 226 as if complete, 426 as broken off")
    return parser.parse_args()


def transcoded(lines, codec):
    """Re-encodes UTF-8 listing lines (bytes) into the given codec."""
    for line in lines:
        yield line.decode("utf8", "surrogateescape").encode(codec, "replace")


class RecordingMixin:
    """Appends every received command line to the transcript."""

    transcript = None

    def pre_process_command(self, line, cmd, arg):
        self.transcript.write(line + "\n")
        self.transcript.flush()
        super().pre_process_command(line, cmd, arg)


class SlowCommandsMixin:
    """Takes each command only after a delay, as a server far away would
    answer it: a client waiting for the reply sees its wait run long."""

    command_delay = 0.0
    delayed_commands = frozenset()

    def pre_process_command(self, line, cmd, arg):
        if self.delayed_commands and cmd not in self.delayed_commands:
            super().pre_process_command(line, cmd, arg)
            return
        self.ioloop.call_later(self.command_delay, self.take_delayed_command, line, cmd, arg)

    def take_delayed_command(self, line, cmd, arg):
        if not self._closed:
            super().pre_process_command(line, cmd, arg)


class Latin1Mixin:
    """Speaks Windows-1252 on the wire; the names on disk stay UTF-8."""

    codec = "cp1252"
    answering_feat = False

    def decode(self, data):
        return data.decode(self.codec, self.unicode_errors)

    def push(self, text):
        if self.answering_feat:
            # The base class always announces UTF8; a Latin-1 server must not.
            text = text.replace(" UTF8\r\n", "")
        # FTPHandler.push would encode as UTF-8; hand the bytes to the layer below it.
        super(FTPHandler, self).push(text.encode(self.codec, self.unicode_errors))

    def ftp_FEAT(self, line):
        self.answering_feat = True
        try:
            super().ftp_FEAT(line)
        finally:
            self.answering_feat = False

    def push_dtp_data(self, data, isproducer=False, file=None, cmd=None):
        if cmd in LISTING_COMMANDS:
            if isproducer:
                data.iterator = transcoded(data.iterator, self.codec)
            else:
                data = b"".join(transcoded([data], self.codec))
        super().push_dtp_data(data, isproducer, file, cmd)


class CutDownloadsMixin:
    """Sends only the first 40 % of every downloaded file, as a server whose
    disk or process failed mid-file would."""

    def push_dtp_data(self, data, isproducer=False, file=None, cmd=None):
        if cmd == "RETR":
            content = file.read()
            data, isproducer = content[: len(content) * 40 // 100], False
        super().push_dtp_data(data, isproducer, file, cmd)


def broken_off_dtp_handler(base):
    class BrokenOffDtpHandler(base):
        """Answers 426 when a download's data connection closes."""

        def handle_close(self):
            if not self._closed and self.cmd == "RETR":
                self._resp = ("426 Connection closed; transfer aborted.", logging.info)
                self.transfer_finished = False
                self.close()
                return
            super().handle_close()

    return BrokenOffDtpHandler


class IgnoreRestMixin:
    """Agrees to REST and then sends the whole file all the same."""

    def ftp_REST(self, line):
        super().ftp_REST(line)
        self._restart_position = 0


class ZeroSizesFS(AbstractedFS):
    """Lists every file with the size 0, as servers do for files they cannot
    measure, or as a file that grew since the listing appears."""

    @staticmethod
    def _without_size(status):
        if not stat.S_ISREG(status.st_mode):
            return status
        values = list(status)
        values[stat.ST_SIZE] = 0
        return os.stat_result(values)

    def lstat(self, path):
        return self._without_size(super().lstat(path))

    def stat(self, path):
        return self._without_size(super().stat(path))


class UnixModeMixin:
    """Lists every entry's permissions in its MLSD line."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        if "unix.mode" in self._available_facts:
            self._current_facts.append("unix.mode")


class ImplicitTlsMixin:
    """Secures the control connection right at accept, before the greeting."""

    def handle(self):
        self.secure_connection(self.ssl_context)
        super().handle()

    def ftp_AUTH(self, line):
        self.respond("503 Already using TLS.")


FILE_TRANSFERS = ("RETR", "STOR", "APPE")


class CuttingDtpMixin:
    """Closes the data connection of the first file transfer after a given
    number of bytes and answers 426, as a connection that breaks off does.
    Listings pass untouched."""

    cut_after = 0
    cuts_left = 1
    _cut_at = None

    def _arm_cut(self):
        if self._cut_at is None and self.cmd in FILE_TRANSFERS and CuttingDtpMixin.cuts_left > 0:
            CuttingDtpMixin.cuts_left -= 1
            self._cut_at = self.cut_after

    def _cut(self):
        self._resp = ("426 Connection closed; transfer aborted.", logging.info)
        self.close()

    def use_sendfile(self):
        # Sent bytes are counted one send at a time.
        return False

    def send(self, data):
        self._arm_cut()
        if self._cut_at is not None:
            remaining = self._cut_at - self.tot_bytes_sent
            if remaining <= 0:
                self._cut()
                return 0
            data = data[:remaining]
        return super().send(data)

    def enable_receiving(self, type, cmd):
        super().enable_receiving(type, cmd)
        self._arm_cut()

    def handle_read(self):
        if self._cut_at is not None:
            self.ac_in_buffer_size = max(1, self._cut_at - self.tot_bytes_received)
        super().handle_read()
        if self._cut_at is not None and self.tot_bytes_received >= self._cut_at and not self._closed:
            self._cut()

    handle_read_event = handle_read


def patient_tls_dtp_handler():
    from pyftpdlib.handlers import TLS_DTPHandler

    class PatientTlsDtpHandler(TLS_DTPHandler):
        """Lets a client run the data connection's TLS handshake as soon as it
        connects, before it sends the transfer command (curl does). The base
        class takes any early input for a hang-up and drops the connection."""

        def readable(self):
            return self._ssl_accepting or super().readable()

    return PatientTlsDtpHandler


def handler_class(arguments):
    mixins = [RecordingMixin]
    if arguments.command_delay > 0:
        mixins.append(SlowCommandsMixin)
    if arguments.latin1:
        mixins.append(Latin1Mixin)
    if arguments.cut_downloads:
        mixins.append(CutDownloadsMixin)
    if arguments.unix_mode:
        mixins.append(UnixModeMixin)
    if arguments.ignore_rest:
        mixins.append(IgnoreRestMixin)
    tls = arguments.implicit_tls or arguments.explicit_tls
    if tls:
        from pyftpdlib.handlers import TLS_FTPHandler
        base = TLS_FTPHandler
    else:
        base = FTPHandler
    if arguments.implicit_tls:
        mixins.append(ImplicitTlsMixin)
    handler = type("GlimraTestHandler", tuple(mixins) + (base,), {})
    dtp = patient_tls_dtp_handler() if tls else DTPHandler
    dtp_mixins = []
    if arguments.cut_first_transfer_after > 0:
        dtp_mixins.append(CuttingDtpMixin)
    if arguments.rate_limit > 0:
        dtp_mixins.append(ThrottledDTPHandler)
    if dtp_mixins:
        dtp = type("GlimraTestDtpHandler", tuple(dtp_mixins) + (dtp,), {})
    handler.dtp_handler = dtp
    if arguments.cut_downloads == "426":
        handler.dtp_handler = broken_off_dtp_handler(handler.dtp_handler)
    handler.proto_cmds = dict(base.proto_cmds)
    refused = []
    if arguments.no_mlsd:
        refused += ["MLSD", "MLST"]
    if arguments.no_epsv:
        refused.append("EPSV")
    if arguments.no_rest:
        refused.append("REST")
    for command in refused:
        handler.proto_cmds.pop(command, None)
    return handler


def configure(handler, arguments):
    authorizer = DummyAuthorizer()
    authorizer.add_user(arguments.user, arguments.password, arguments.root, perm=FULL_PERMISSIONS)
    handler.authorizer = authorizer
    handler.abstracted_fs = ZeroSizesFS if arguments.zero_sizes else AbstractedFS
    handler.transcript = open(arguments.transcript, "a", encoding="utf8", errors="replace")
    handler.banner = "Glimra test server ready."
    handler.command_delay = arguments.command_delay / 1000.0
    handler.delayed_commands = frozenset(verb for verb in arguments.delayed_commands.upper().split(",") if verb)
    if arguments.raw_names:
        handler.unicode_errors = "surrogateescape"
    if arguments.masquerade:
        handler.masquerade_address = arguments.masquerade
    if arguments.cut_first_transfer_after > 0:
        handler.dtp_handler.cut_after = arguments.cut_first_transfer_after
    if arguments.rate_limit > 0:
        handler.dtp_handler.read_limit = arguments.rate_limit
        handler.dtp_handler.write_limit = arguments.rate_limit
    if arguments.passive_ports:
        first, last = (int(part) for part in arguments.passive_ports.split("-"))
        handler.passive_ports = list(range(first, last + 1))
    if arguments.implicit_tls or arguments.explicit_tls:
        handler.certfile = arguments.certificate
        handler.keyfile = arguments.key
        handler.tls_data_required = True
        # USER before AUTH TLS is refused, so no password ever travels in clear.
        handler.tls_control_required = arguments.explicit_tls


def main():
    arguments = parse_arguments()
    logging.basicConfig(stream=sys.stderr, level=logging.INFO,
                        format="%(asctime)s %(message)s")
    handler = handler_class(arguments)
    configure(handler, arguments)
    server = FTPServer(("::1" if arguments.ipv6 else "127.0.0.1", 0), handler)
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    sys.stdout = open(os.devnull, "w")
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
