#pragma once

// Helpers shared by the engine's tests. Header only, so that the support
// library itself stays free of the engine.

#include "partfile.h"
#include "realftpserver.h"
#include "scriptedserver.h"
#include "tidftp.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

// Bytes of every value; the same seed gives the same bytes.
inline QByteArray RandomBytes(qsizetype size, quint32 seed = 42)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

inline QByteArray FileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline bool WriteFileContent(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The size of the largest file in a folder: how far a download has got,
// whatever name it writes to.
// Every file below a folder with its bytes, by relative path; folders end in "/".
inline QMap<QString, QByteArray> TreeOf(const QString &root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator entries(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    const QDir base(root);
    while (entries.hasNext()) {
        const QFileInfo entry = entries.nextFileInfo();
        const QString relative = base.relativeFilePath(entry.filePath());
        if (entry.isDir())
            tree.insert(relative + u'/', QByteArray());
        else
            tree.insert(relative, FileContent(entry.filePath()));
    }
    return tree;
}

// What a cut download leaves: partial data under the target's part name,
// marked as this program's.
inline void LeavePartialData(const QString &target, const QByteArray &bytes)
{
    PartFile part(target, PartFile::Leftover::Keep);
    QVERIFY(part.Open());
    QCOMPARE(part.Device().write(bytes), bytes.size());
}

inline qint64 LargestFileIn(const QString &folder)
{
    qint64 largest = 0;
    for (const QFileInfo &file : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
        largest = std::max(largest, file.size());
    return largest;
}

inline RealFtpServer::Options ImplicitTls(RealFtpServer::Kind kind)
{
    RealFtpServer::Options options;
    options.kind = kind;
    options.implicitTls = true;
    return options;
}

// The columns "kind" and "passive": both real servers in both data modes.
inline void AddServerAndModeRows()
{
    QTest::addColumn<RealFtpServer::Kind>("kind");
    QTest::addColumn<bool>("passive");
    QTest::newRow("pyftpdlib passive") << RealFtpServer::Kind::Pyftpdlib << true;
    QTest::newRow("pyftpdlib active") << RealFtpServer::Kind::Pyftpdlib << false;
    QTest::newRow("vsftpd passive") << RealFtpServer::Kind::Vsftpd << true;
    QTest::newRow("vsftpd active") << RealFtpServer::Kind::Vsftpd << false;
}

// On a server whose folder holds only "daten.bin" with the payload: lists
// it, downloads it and uploads it again as "hoch.bin", each byte-exact.
// Check QTest::currentTestFailed() afterwards.
inline void VerifyListDownloadUpload(TIdFTP &ftp, const RealFtpServer &server, const QByteArray &payload)
{
    QStringList lines;
    ftp.List(lines);
    QVERIFY2(lines.size() == 1 && lines.first().endsWith(u" daten.bin"), qPrintable(lines.join(u'\n')));
    ftp.SetTransferType(ftBinary);
    QBuffer down;
    down.open(QIODevice::WriteOnly);
    QVERIFY2(ftp.Retrieve(QStringLiteral("daten.bin"), down), qPrintable(server.serverLog()));
    QCOMPARE(down.data(), payload);
    QBuffer up(&down.buffer());
    up.open(QIODevice::ReadOnly);
    QVERIFY2(ftp.Store(up, QStringLiteral("hoch.bin")), qPrintable(server.serverLog()));
    QCOMPARE(FileContent(server.rootDir() + QStringLiteral("/hoch.bin")), payload);
}

// A session on the scripted server, connected but not logged in: transfers
// and commands need only a live control connection.
inline bool ConnectWithoutLogin(TIdFTP &ftp, ScriptedServer &server, bool passive = true)
{
    if (!server.start())
        return false;
    ftp.Host = QStringLiteral("127.0.0.1");
    ftp.Port = server.port();
    ftp.Passive = passive;
    return ftp.OpenConnection();
}

// The command that VERIFY_IN_STEP sends; a scripted server answers it with echo().
inline const QString kInStepMarker = QStringLiteral("NOOP in step");

// What is wrong when the session is out of step with the server: empty when
// one more command gets the reply that belongs to it, else what came instead.
inline QString InStepProblem(TIdTCPConnection &session, const QString &command, const QString &expectedStart)
{
    if (!session.IsConnected())
        return QStringLiteral("the session is closed");
    session.SendCommand(command, -1);
    const QString reply = session.LastReplyLine();
    return reply.startsWith(expectedStart) ? QString()
                                           : QStringLiteral("%1 got the reply \"%2\"").arg(command, reply);
}

// After any operation against a scripted server whose script goes on with
// echo(): nothing the server said before is left unread.
#define VERIFY_IN_STEP(session)                                                                              \
    do {                                                                                                     \
        const QString problem_ =                                                                             \
            InStepProblem((session), kInStepMarker, QStringLiteral("200 ") + kInStepMarker);                 \
        QVERIFY2(problem_.isEmpty(), qPrintable(problem_));                                                  \
    } while (false)

// The same against a real server: PWD gets its 257 with the folder in quotes,
// an answer no transfer or abort leaves behind.
#define VERIFY_IN_STEP_ON_REAL_SERVER(session)                                                               \
    do {                                                                                                     \
        const QString problem_ = InStepProblem((session), QStringLiteral("PWD"), QStringLiteral("257 \""));  \
        QVERIFY2(problem_.isEmpty(), qPrintable(problem_));                                                  \
    } while (false)

// Starts a real server, or skips the test where that kind cannot run here.
// A macro, so that skipping and failing end the test function itself.
#define START_OR_SKIP(server, kind)                                                                          \
    do {                                                                                                     \
        QString reason_;                                                                                     \
        if (!RealFtpServer::isAvailable((kind), &reason_))                                                   \
            QSKIP(qPrintable(reason_));                                                                      \
        QVERIFY2((server).start(&reason_), qPrintable(reason_));                                             \
    } while (false)
