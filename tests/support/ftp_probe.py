#!/usr/bin/python3
"""A small independent FTP client that checks the test servers answer.

Runs the given actions in order over one session and prints what it saw,
one line per item, as UTF-8:

  list / nlst / mlsd        LIST <line>, NLST <name>, MLSD <name>
  feat                      FEAT <line>
  cmd:<command>             REPLY <reply>
  upload:<local>:<remote>   STORED <remote>
  download:<remote>:<local> FETCHED <remote>

A failing step prints "ERROR <reply or reason>" and ends with exit code 1.
"""

import argparse
import ftplib
import socket
import ssl
import sys


class ImplicitTlsFtp(ftplib.FTP_TLS):
    """FTP_TLS that starts TLS at connect instead of sending AUTH TLS."""

    reuse_session = True
    handshake_first = False

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self._control = None

    @property
    def sock(self):
        return self._control

    @sock.setter
    def sock(self, connection):
        if connection is not None and not isinstance(connection, ssl.SSLSocket):
            connection = self.context.wrap_socket(connection, server_hostname=self.host)
        self._control = connection

    def ntransfercmd(self, cmd, rest=None):
        if self.handshake_first and self.passiveserver:
            return self.handshake_then_command(cmd, rest)
        connection, size = ftplib.FTP.ntransfercmd(self, cmd, rest)
        return self.secured(connection), size

    def secured(self, connection):
        if not self._prot_p:
            return connection
        session = self.sock.session if self.reuse_session else None
        return self.context.wrap_socket(connection, server_hostname=self.host, session=session)

    def handshake_then_command(self, cmd, rest):
        """Secures the passive data connection before sending the command, as curl does."""
        connection = self.secured(socket.create_connection(self.makepasv(), self.timeout))
        if rest is not None:
            self.sendcmd("REST %s" % rest)
        reply = self.sendcmd(cmd)
        if reply[0] == "2":
            reply = self.getresp()
        if reply[0] != "1":
            connection.close()
            raise ftplib.error_reply(reply)
        return connection, None


def parse_arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--implicit-tls", action="store_true")
    parser.add_argument("--ca-file", help="verify the server against this certificate")
    parser.add_argument("--no-session-reuse", action="store_true")
    parser.add_argument("--handshake-first", action="store_true",
                        help="secure a passive data connection before sending the command")
    parser.add_argument("--active", action="store_true")
    parser.add_argument("--encoding", default="utf-8")
    parser.add_argument("actions", nargs="*")
    return parser.parse_args()


def connect(arguments):
    if not arguments.implicit_tls:
        client = ftplib.FTP(encoding=arguments.encoding)
    else:
        context = ssl.create_default_context(cafile=arguments.ca_file)
        if not arguments.ca_file:
            context.check_hostname = False
            context.verify_mode = ssl.CERT_NONE
        client = ImplicitTlsFtp(context=context, encoding=arguments.encoding)
        client.reuse_session = not arguments.no_session_reuse
        client.handshake_first = arguments.handshake_first
    client.connect("127.0.0.1", arguments.port, timeout=10)
    print("WELCOME " + client.getwelcome())
    client.login(arguments.user, arguments.password)
    if arguments.implicit_tls:
        client.prot_p()
    client.set_pasv(not arguments.active)
    return client


def run(client, action):
    kind, _, rest = action.partition(":")
    if kind == "list":
        client.retrlines("LIST", lambda line: print("LIST " + line))
    elif kind == "nlst":
        client.retrlines("NLST", lambda line: print("NLST " + line))
    elif kind == "mlsd":
        for name, _ in client.mlsd():
            print("MLSD " + name)
    elif kind == "feat":
        for line in client.sendcmd("FEAT").splitlines():
            print("FEAT " + line)
    elif kind == "cmd":
        print("REPLY " + client.sendcmd(rest))
    elif kind == "upload":
        local, remote = rest.split(":", 1)
        with open(local, "rb") as source:
            client.storbinary("STOR " + remote, source)
        print("STORED " + remote)
    elif kind == "download":
        remote, local = rest.split(":", 1)
        with open(local, "wb") as target:
            client.retrbinary("RETR " + remote, target.write)
        print("FETCHED " + remote)
    else:
        raise ValueError("unknown action " + action)


def main():
    sys.stdout.reconfigure(encoding="utf-8", errors="backslashreplace")
    arguments = parse_arguments()
    try:
        client = connect(arguments)
        for action in arguments.actions:
            run(client, action)
        client.quit()
    except (ftplib.Error, OSError, EOFError, ValueError) as error:
        print("ERROR %s" % error)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
