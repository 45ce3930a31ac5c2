#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

// A scripted FTP server on 127.0.0.1 for protocol tests: it serves one
// client with a fixed list of steps on a thread of its own, with blocking
// sockets. Every line the client sends is recorded, so a test compares the
// exact command transcript. Every wait has a time-out and the server closes
// all its sockets when the script is done, so a test never hangs on it.
//
//   ScriptedServer server;
//   server.reply("220 ready").answer("331 pw?").answer("230 in");
//   server.start();
//   ... drive the client ...
//   QCOMPARE(server.transcript(), (QStringList{"USER u", "PASS p", ...}));
class ScriptedServer {
public:
    ScriptedServer();
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer &) = delete;
    ScriptedServer &operator=(const ScriptedServer &) = delete;

    // --- the script; steps run in the order they are added -------------------
    // Raw bytes on the control connection.
    ScriptedServer &send(const QByteArray &bytes);
    // One reply line; CR LF is appended.
    ScriptedServer &reply(const QByteArray &line);
    // Reads one command line into the transcript.
    ScriptedServer &command();
    // Reads one command, then replies.
    ScriptedServer &answer(const QByteArray &line);
    // Reads one command and answers "200 " followed by that command, so the
    // client can tell this answer from every other (see VERIFY_IN_STEP).
    ScriptedServer &echo();
    // Reads one command (EPSV or PASV) and opens a data port. To EPSV it
    // replies 229 with the port; to PASV with the format, %1 replaced by
    // "127,0,0,1,p1,p2" and %2 by "p1,p2" alone. A test of PASV replies
    // refuses EPSV first.
    ScriptedServer &passive(const QByteArray &format = "227 Entering Passive Mode (%1).");
    // Accepts the data connection the client opens after passive().
    ScriptedServer &acceptData();
    // Connects to the address of the last PORT command.
    ScriptedServer &connectData();
    ScriptedServer &sendData(const QByteArray &bytes);
    // Reads the data connection until the client closes it.
    ScriptedServer &receiveData();
    // Sends the bytes again and again until the client closes the data
    // connection (a listing without end), but no more than atMost bytes.
    ScriptedServer &sendDataUntilClosed(const QByteArray &bytes, qint64 atMost);
    ScriptedServer &closeData();
    // Closes the data connection with a TCP reset.
    ScriptedServer &resetData();
    ScriptedServer &closeControl();
    // Closes the control connection with a TCP reset.
    ScriptedServer &resetControl();
    ScriptedServer &pause(int milliseconds);

    // After the last step the server keeps recording commands until the
    // client closes or this many milliseconds pass without one (default 2000).
    void setDrainTimeout(int milliseconds);

    // Listens on 127.0.0.1 on a free port and runs the script for the first
    // client. False when no port could be opened.
    bool start();
    int port() const;

    // These wait until the script and the drain are over.
    QStringList transcript();
    QList<QByteArray> rawTranscript();
    QByteArray receivedData();
    // Empty when every step went as planned, else what went wrong first.
    QString failure();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
