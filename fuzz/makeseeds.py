#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

The seeds are the inputs of the tests (listing lines, replies, INI files,
stored passwords, connection lists) in each target's input layout: a few
switch bytes first, then the bytes the parser reads. Run it again after
adding test data worth fuzzing from; the file names are hashes, so seeds
that exist are kept as they are.
"""
import hashlib
import os
import re

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def write(target, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    name = hashlib.sha1(data).hexdigest()[:16]
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"', "0": "\0"}


def unescape(literal):
    """A C++ string literal's text: \\uXXXX, \\xNN and the short escapes."""
    def one(match):
        escape = match.group(1)
        if escape[0] in "ux":
            return chr(int(escape[1:], 16))
        return ESCAPES.get(escape, escape)
    return re.sub(r"\\(u[0-9a-fA-F]{4}|x[0-9a-fA-F]{2}|.)", one, literal)


def cpp_strings(path):
    """Every u"..." string literal of a test source, unescaped."""
    text = open(os.path.join(ROOT, path), encoding="utf-8").read()
    for literal in re.findall(r'u"((?:[^"\\]|\\.)*)"', text):
        yield unescape(literal)


def listing_seeds():
    lines = [s for s in cpp_strings("tests/engine/test_listingparser.cpp") if len(s) > 8]
    lines += [s for s in cpp_strings("tests/engine/test_listingparser_datetext.cpp") if len(s) > 8]
    for i, line in enumerate(lines):
        mlsd = 1 if ("type=" in line.lower() or "modify=" in line.lower()) else 0
        strategy = (i % 4) << 1
        write("listing", bytes([mlsd | strategy | 0x08, 2, 30]) + line.encode("utf-8"))
        write("listing", bytes([mlsd | 0x10 | 0x06, 0, 0]) + line.encode("cp1252", "replace"))


REPLIES = [
    b"220 ready\r\n",
    b"220-Welcome\r\n  220-more\r\n220 ready\r\n",
    b"220-Welcome\r\n220-more\r\n220 ready\r\n230 Login successful.\r\n",
    b"214-The following commands are recognized:\r\n USER PASS PASV EPSV FEAT MLSD SIZE UTF8\r\n214 Help OK.\r\n",
    b"211-Features:\r\n EPRT\r\n EPSV\r\n MDTM\r\n MLST type*;size*;modify*;\r\n SIZE\r\n UTF8\r\n211 End\r\n",
    b"227 Entering Passive Mode (127,0,0,1,195,80).\r\n",
    b"229 Entering Extended Passive Mode (|||50000|)\r\n",
    b"257 \"/pub/Gr\xc3\xb6\xc3\x9fe\" is the current directory\r\n",
    b"257 \"/pub/Gr\xf6\xdfe\" is current\r\n",
    b"213 5368709120\r\n",
    b"+OK ready\r\n-ERR no\r\n",
    b"150 Opening data connection.\r\n226 Transfer complete.\r\n",
    b"426 Connection closed; transfer aborted.\r\n226 ABOR command successful.\r\n200 NOOP ok\r\n",
    b"500 Syntax error\r\n",
    b"220-a\r\nxyz\r\n220 b\r\n",
    b"220 no line end",
    b"\r\n\r\n   \r\n220 after blanks\r\n",
]


def reply_seeds():
    for i, reply in enumerate(REPLIES):
        write("reply", bytes([i % 0x80, 0]) + reply)
        write("reply", bytes([(i * 5) % 0x80 | 0x40, 7]) + reply)
    write("reply", bytes([0x80, 0]) + b"220-" + b"x" * 60 + b"\r\n")
    write("reply", bytes([0x80, 0]) + b"y" * 64)


def ftpreplies_seeds():
    pasv = REPLIES[5]
    pwd = REPLIES[7]
    size = REPLIES[9]
    help_reply = REPLIES[3]
    feat = REPLIES[4]
    ok = b"250 CWD ok\r\n"
    script = pasv + pwd + b"200 Type set\r\n" + size + b"200 Type set\r\n" + help_reply + feat + b"200 UTF8 on\r\n" + ok
    for order in range(5):
        write("ftpreplies", bytes([order << 3, 0]) + script)
        write("ftpreplies", bytes([(order << 3) | 1, 5]) + script)
    write("ftpreplies", bytes([0, 0]) + b"227 Entering Passive Mode (10,0,0,7,4,1)\r\n")
    write("ftpreplies", bytes([1, 0]) + b"227 Entering Passive Mode (8,8,8,8,4,1)\r\n")
    write("ftpreplies", bytes([1, 0]) + b"227 =0,0,0,0,255,255\r\n")
    write("ftpreplies", bytes([0, 0]) + b"227 Entering Passive Mode (127,0,0,2,300,1)\r\n")


def ini_texts():
    text = open(os.path.join(ROOT, "tests/connections/test_tinifile.cpp"), encoding="utf-8").read()
    for literal in re.findall(r'QByteArray\("((?:[^"\\]|\\.)*)"\)', text):
        yield unescape(literal).encode("latin-1")
    yield "[Verbindung]\r\nFTP_Server=ftp.example.org\r\nFTPOrdner=/pub/Größe\r\n".encode("utf-8")
    yield "[Verbindung]\r\nFTP_Server=ftp.example.org\r\nFTPOrdner=/pub/Größe\r\n".encode("cp1252")
    yield b"\xef\xbb\xbf[BOM]\r\nA=1\r\n"
    yield b"[Zeit]\r\nTimeDif=01.01.2026 02:30:00\r\nWert=1,5\r\nBool=-1\r\nZahl= 42 \r\n"


def inifile_seeds():
    for i, text in enumerate(ini_texts()):
        value = "Ã¼ber".encode("cp1252") if i % 2 else "Größe".encode("utf-8")
        write("inifile", bytes([i * 37 % 256, len(value) | (0x80 if i % 2 else 0)]) + value + text)


def password_seeds():
    lines = open(os.path.join(ROOT, "tests/connections/test_passwordscramble.cpp"), encoding="utf-8").read()
    for password, stored in re.findall(r'<< u"((?:[^"\\]|\\.)*)"_s << u"((?:[^"\\]|\\.)*)"_s', lines):
        write("password", stored.encode("utf-8"))
        write("password", unescape(password).encode("utf-8"))


PROFILE = (
    "[Mein Server]\r\nanonymous=0\r\nFTP_Server=ftp.example.org\r\nFTP_Port=21\r\nFTP_User=ich\r\n"
    "FTP_Pass=eutq31bc\r\nFTP_Passive=-1\r\nProxy_Use=0\r\nProxy_Port=4421\r\nFW_Art=2\r\nSocket_Use=0\r\n"
    "Socket_Port=1080\r\nTimeout=5000\r\nFTPOrdner=/pub\r\nLocalFolder=/tmp\r\nLog=-1\r\nMaxentry=1000\r\n"
    "MLSD=-1\r\nDateTimeNo=0\r\nDateTimeManuel=-1\r\nTimeDif=09.12.2026 02:30:00\r\nTimeDifvz=+\r\nssl=-1\r\n"
    "SSLMethod=2\r\nComment0=Größe\r\n"
)


def connectionfile_seeds():
    write("connectionfile", PROFILE.encode("utf-8"))
    write("connectionfile", PROFILE.encode("cp1252"))
    write("connectionfile", b"[Kurz]\r\nFTP_Server=127.0.0.1\r\nFTP_Port=70000\r\n")


SIGNATURE = b"[ORNA FTP Glimra Tessaline FTP Ferbindungsliste Update]\r\nVersion=7\r\n"


def listed(name, group, server):
    return b"[" + name + b"]\r\nGruppe=" + group + b"\r\nFTP_Server=" + server + b"\r\nFTPOrdner=/pub\r\n"


def listmerge_seeds():
    five = SIGNATURE + b"".join(listed(n, b"Linux", n.lower() + b".example")
                                for n in [b"Alpha", b"Bravo", b"Charlie", b"Delta", b"Echo"])
    write("listmerge", bytes([0b01010101, 0]) + five)
    write("listmerge", bytes([0b00000010, 3]) + five)
    write("listmerge", bytes([0, 1]) + SIGNATURE + listed(b"Tief", b"Linux\\Debian\\Spiegel", b"d.example"))
    write("listmerge", bytes([1, 0]) + SIGNATURE + listed(b"Flucht", b"..\\..\\etc", b"x.example"))
    write("listmerge", bytes([1, 0]) + SIGNATURE + listed(b"Gr\xf6\xdfe", b"Gr\xfcne", b"g.example"))


RESULTS_SIGNATURE = b"[ORNA FTP Glimra Tessaline Suchergebnisse]\r\nsignatur=\r\n"


def hit_section(row, name, folder):
    return (b"\r\n[" + str(row).encode() + b"]\r\nAttr=-rw-r--r--\r\nDate=09.12.2026 21:30\r\n"
            b"Size=4.096\r\nOrdner=" + folder + b"\r\nServer=ftp.example.org\r\nName=" + name + b"\r\n")


def resultsfile_seeds():
    rows = [(b"lied.mp3", b"/pub/musik"), ("Größe.txt".encode("utf-8"), b"/"), (b"a=b.txt", b"/x/y")]
    written = b"\r\n" + RESULTS_SIGNATURE + b"".join(hit_section(i, *row) for i, row in enumerate(rows))
    write("resultsfile", written)
    write("resultsfile", written.replace("Größe".encode("utf-8"), "Größe".encode("cp1252")))
    write("resultsfile", written.replace(b"\r\n", b"\n"))
    write("resultsfile", b"\xef\xbb\xbf" + written)
    write("resultsfile", b"".join(hit_section(i, *row) for i, row in enumerate(rows)))
    write("resultsfile", hit_section(7, b"x", b"/") + RESULTS_SIGNATURE.lower() + hit_section(7, b"y", b"/z"))
    write("resultsfile", RESULTS_SIGNATURE + b"[0]\r\nName=n\r\nname=m\r\n[kaputt\r\nServer=s\r\n[]\r\n")


if __name__ == "__main__":
    listing_seeds()
    reply_seeds()
    ftpreplies_seeds()
    inifile_seeds()
    password_seeds()
    connectionfile_seeds()
    listmerge_seeds()
    resultsfile_seeds()
