// Folder transfers over several connections at once: whole trees both ways
// with their time stamps (uploads through MFMT), the stop commands in the
// middle, a server that takes fewer connections than asked for, and the
// first error ending it all.
#include "transferwindow.h"

#include "keepalive.h"
#include "operationflags.h"
#include "partfile.h"
#include "remotebrowser.h"
#include "remotepane.h"
#include "sessionlogview.h"

#include <QAction>

using namespace Qt::StringLiterals;

namespace {

QDateTime Listed(const QDateTime &utc)
{
    return ParseDateText(ListedDateText(utc));
}

// folders/sub folders/files: "baum/o2/u1/d17.bin" and so on.
QMap<QString, QByteArray> NestedTree(int folders, int subFolders, int filesEach, qsizetype maxSize)
{
    QMap<QString, QByteArray> tree;
    quint32 seed = 1;
    for (int folder = 0; folder < folders; ++folder) {
        for (int sub = 0; sub < subFolders; ++sub) {
            for (int file = 0; file < filesEach; ++file, ++seed) {
                const QString path = u"baum/o%1/u%2/d%3.bin"_s.arg(folder).arg(sub).arg(file);
                tree.insert(path, RandomBytes(qsizetype(seed * 7919) % maxSize, seed));
            }
        }
    }
    return tree;
}

QMap<QString, QByteArray> WithFolders(const QMap<QString, QByteArray> &files)
{
    QMap<QString, QByteArray> tree = files;
    for (auto file = files.begin(); file != files.end(); ++file) {
        for (qsizetype slash = file.key().indexOf(u'/'); slash > 0;
             slash = file.key().indexOf(u'/', slash + 1))
            tree.insert(file.key().left(slash + 1), QByteArray());
    }
    return tree;
}

int CountOf(const QStringList &commands, const QString &verb)
{
    return int(
        commands
            .filter(QRegularExpression(u"^"_s + verb + u"( |$)"_s, QRegularExpression::CaseInsensitiveOption))
            .size());
}

} // namespace

class ParallelTest : public QObject {
    Q_OBJECT

private:
    TransferWindow m_window;

private slots:
    void initTestCase() { RemoteSessionFixture::InstallProgramServices(); }
    void cleanup() { m_window.Close(); }

    // 300 files in nested folders, down with their time stamps and up again,
    // byte for byte, while four connections share the files.
    void treeBothWays_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("pyftpdlib") << Kind::Pyftpdlib;
        QTest::newRow("vsftpd") << Kind::Vsftpd;
    }

    void treeBothWays()
    {
        QFETCH(Kind, kind);
        const QMap<QString, QByteArray> files = NestedTree(5, 3, 20, 6000);
        QCOMPARE(files.size(), 300);
        QMap<QString, QByteArray> serverFiles = files;
        serverFiles.insert(u"ziel/"_s, {});
        RealFtpServer server({.kind = kind, .files = serverFiles});
        QMap<QString, QDateTime> times;
        int minute = 0;
        for (auto file = files.begin(); file != files.end(); ++file) {
            times[file.key()] = RecentMinute(2, ++minute);
            QVERIFY(SetModified(server.rootDir() + u'/' + file.key(), times[file.key()]));
        }
        START_OR_SKIP(server, kind);
        QVERIFY(m_window.Open(server, kind == Kind::Pyftpdlib));
        TFTPqvx &window = *m_window.Window();
        window.Settings.Parallel_Transfers = 4;
        server.clearTranscript();

        m_window.Download({u"baum"_s});
        QCOMPARE(m_window.Panel(2), u"Fertig"_s);
        QCOMPARE(TreeOf(m_window.LocalRoot()), WithFolders(files));
        for (auto time = times.begin(); time != times.end(); ++time)
            QCOMPARE(QFileInfo(m_window.Local(time.key())).lastModified(), Listed(time.value()));
        const QStringList commands = server.commands();
        QCOMPARE(CountOf(commands, u"USER"_s), 4);
        QCOMPARE(CountOf(commands, u"RETR"_s), 300);
        QCOMPARE(CountOf(commands, u"SIZE"_s), 0);
        QVERIFY(!window.Main().Flags.OperationBusy && !window.Main().Flags.TransferActive);

        window.Browser()->ChangeRemoteFolder(u"ziel"_s);
        window.Local()->List->Reload();
        m_window.Upload({u"baum"_s});
        QTRY_VERIFY(!window.Main().Flags.OperationBusy);
        QCOMPARE(TreeOf(server.rootDir() + u"/ziel"_s), WithFolders(files));
        QCOMPARE(CountOf(server.commands(), u"STOR"_s), 300);
        QCOMPARE(m_window.ShownFolder(), u"/ziel"_s);
        // Each connection gives its files the local time where the server
        // offers MFMT (pyftpdlib does, this vsftpd does not).
        const bool keepsTimes = TIdFTP::HasFeature(window.Main().Features, u"MFMT"_s);
        QCOMPARE(keepsTimes, kind == Kind::Pyftpdlib);
        QCOMPARE(CountOf(server.commands(), u"MFMT"_s), keepsTimes ? 300 : 0);
        if (keepsTimes) {
            for (auto time = times.begin(); time != times.end(); ++time)
                QCOMPARE(QFileInfo(server.rootDir() + u"/ziel/"_s + time.key()).lastModified(),
                         Listed(time.value()));
        }
    }

    // Each folder of a tree is listed once, on the way in, under the path
    // the walk's own PWD gave; on the way back the pane shows the folder
    // above again from memory.
    void eachFolderListedOnce()
    {
        const QMap<QString, QByteArray> files = NestedTree(2, 2, 2, 100);
        RealFtpServer server({.files = files});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        m_window.Window()->Settings.Parallel_Transfers = 1;
        server.clearTranscript();

        m_window.Download({u"baum"_s});
        QCOMPARE(m_window.Panel(2), u"Fertig"_s);
        QCOMPARE(TreeOf(m_window.LocalRoot()), WithFolders(files));
        // "baum", two folders in it and two in each: seven folders entered,
        // then the root listed once at the end.
        const QStringList commands = server.commands();
        QCOMPARE(CountOf(commands, u"CWD"_s), 7);
        QCOMPARE(CountOf(commands, u"MLSD"_s) + CountOf(commands, u"LIST"_s), 7 + 1);
        // One for each folder entered, one for the start, one for the last listing.
        QCOMPARE(CountOf(commands, u"PWD"_s), 7 + 2);
        QCOMPARE(m_window.ShownFolder(), u"/"_s);
        QCOMPARE(m_window.List()->Rows()->Count(), 2);
    }

    // Nothing is fetched twice or left out when the prompts are answered in
    // the middle of the walk, whatever the number of connections.
    void promptsStayInOrder_data()
    {
        QTest::addColumn<int>("connections");
        QTest::newRow("one after the other") << 1;
        QTest::newRow("four at once") << 4;
    }

    void promptsStayInOrder()
    {
        QFETCH(int, connections);
        QMap<QString, QByteArray> files;
        for (const QString &folder : {u"a"_s, u"b"_s, u"c"_s}) {
            for (int file = 0; file < 8; ++file)
                files.insert(u"baum/%1/f%2.txt"_s.arg(folder).arg(file), "server " + folder.toUtf8());
        }
        RealFtpServer server({.files = files});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        m_window.Window()->Settings.Parallel_Transfers = connections;
        const QStringList existing{u"baum/a/f1.txt"_s, u"baum/a/f5.txt"_s, u"baum/b/f2.txt"_s,
                                   u"baum/c/f7.txt"_s};
        for (const QString &name : existing) {
            QVERIFY(QDir().mkpath(QFileInfo(m_window.Local(name)).path()));
            QVERIFY(WriteFileContent(m_window.Local(name), "local"));
        }
        {
            // "Nein" for the first, "Ja" for the second, then "Ja zu allen".
            const OverwriteAnswers prompts({u"Button3"_s, u"Button1"_s, u"Button2"_s});
            m_window.Download({u"baum"_s});
            QCOMPARE(prompts.Questions(),
                     (QStringList{m_window.Local(existing[0]), m_window.Local(existing[1]),
                                  m_window.Local(existing[2])}));
        }
        QCOMPARE(m_window.Panel(2), u"Fertig"_s);
        for (auto file = files.begin(); file != files.end(); ++file) {
            const QByteArray expected = file.key() == existing[0] ? QByteArray("local") : file.value();
            QCOMPARE(FileContent(m_window.Local(file.key())), expected);
        }
    }

    // The abort button cuts the running files, the menu item lets them
    // finish; either way the queue is dropped and every file there is
    // whole. What arrived of a cut file stays in its part file, and a second
    // download continues it with "Fortsetzen" to the whole tree.
    void stopInTheMiddle_data()
    {
        QTest::addColumn<bool>("button");
        QTest::newRow("abort button") << true;
        QTest::newRow("menu item") << false;
    }

    void stopInTheMiddle()
    {
        QFETCH(bool, button);
        QMap<QString, QByteArray> files;
        for (int file = 0; file < 12; ++file)
            files.insert(u"baum/f%1.bin"_s.arg(file, 2, 10, QChar(u'0')), RandomBytes(96 * 1024, file + 1));
        // The server sends two thirds of a file at once and pauses for its
        // rate before the rest, so the stop meets the running files halfway.
        RealFtpServer server({.commandDelayMs = 10, .rateLimit = 32 * 1024, .files = files});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        TFTPqvx &window = *m_window.Window();
        window.Settings.Parallel_Transfers = 4;

        QTimer pressCancel;
        pressCancel.setInterval(5);
        bool pressed = false;
        // Pressed once the first four files (one per connection) are whole
        // and a later one is halfway: that one waits for the server's pause,
        // where a file of the first four could be just ending.
        connect(&pressCancel, &QTimer::timeout, [&] {
            const QFileInfoList arrived = QDir(m_window.Local(u"baum"_s)).entryInfoList(QDir::Files);
            const auto isPart = [](const QFileInfo &file) {
                return file.fileName().endsWith(u".glimra-part"_s);
            };
            const auto whole = std::count_if(arrived.begin(), arrived.end(), std::not_fn(isPart));
            const bool halfway = std::any_of(arrived.begin(), arrived.end(), [&](const QFileInfo &file) {
                return isPart(file) && file.size() > 0;
            });
            if (pressed || !window.Remote()->SpeedButton10->isEnabled() || whole < 4 || !halfway)
                return;
            pressed = true;
            if (button)
                window.Remote()->SpeedButton10->click();
            else
                window.Remote()->Datentransferabbrechen1->trigger();
        });
        pressCancel.start();
        m_window.Download({u"baum"_s});
        pressCancel.stop();

        QVERIFY(pressed);
        QCOMPARE(m_window.Panel(2), u"Abgebrochen"_s);
        const QMap<QString, QByteArray> arrived = TreeOf(m_window.LocalRoot());
        const qsizetype partFiles = QStringList(arrived.keys()).filter(u".glimra-part"_s).size();
        QVERIFY2(arrived.size() - 1 - partFiles < files.size(), "the stop came too late to test anything");
        for (auto file = arrived.begin(); file != arrived.end(); ++file) {
            if (file.key().endsWith(u'/'))
                continue;
            const QString complete = file.key().chopped(file.key().endsWith(u".glimra-part"_s) ? 12 : 0);
            // A part file may hold every byte when the stop came before the
            // server confirmed the file.
            QVERIFY2(files.value(complete).startsWith(file.value()), qPrintable(file.key()));
        }
        QVERIFY2(button ? partFiles > 0 : partFiles == 0, qPrintable(QString::number(partFiles)));
        QVERIFY(!window.Main().Flags.OperationBusy && !window.Main().Flags.TransferActive);

        server.clearTranscript();
        {
            // "Fortsetzen" where it is offered, the whole files stay.
            PromptAnswer<Tfrageueberschreiben> answer([](Tfrageueberschreiben &prompt, int) {
                (prompt.Button6->isVisible() ? prompt.Button6 : prompt.Button3)->click();
            });
            m_window.Download({u"baum"_s});
        }
        QCOMPARE(m_window.Panel(2), u"Fertig"_s);
        QCOMPARE(TreeOf(m_window.LocalRoot()), WithFolders(files));
        QCOMPARE(CountOf(server.commands(), u"REST"_s), partFiles);
    }

    // While the extra connections move the files, the window's own session
    // has nothing to say; the keep-alive speaks for it, so that a server's
    // idle time does not end it in the middle of a long folder.
    void keepAliveWhileTheFilesMove()
    {
        QMap<QString, QByteArray> files;
        for (int file = 0; file < 4; ++file)
            files.insert(u"baum/f%1.bin"_s.arg(file), RandomBytes(500 * 1024, file + 1));
        RealFtpServer server({.rateLimit = 200 * 1024, .files = files});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        TFTPqvx &window = *m_window.Window();
        window.Settings.Parallel_Transfers = 4;
        window.KeepAliveTimer()->SetInterval(1);
        server.clearTranscript();

        m_window.Download({u"baum"_s});
        window.KeepAliveTimer()->SetInterval(0);
        QCOMPARE(m_window.Panel(2), u"Fertig"_s);
        QCOMPARE(TreeOf(m_window.LocalRoot()), WithFolders(files));
        QVERIFY2(CountOf(server.commands(), u"NOOP"_s) >= 1, qPrintable(server.commands().join(u" | "_s)));
        VERIFY_IN_STEP_ON_REAL_SERVER(window.Main().Connection);
    }

    // vsftpd limits the connections from one address: the pool works with
    // the extra connections it gets, and with none the window's own session
    // moves the files.
    void serverTakesFewerConnections_data()
    {
        QTest::addColumn<int>("maxPerIp");
        QTest::newRow("one extra connection") << 2;
        QTest::newRow("no extra connection") << 1;
    }

    void serverTakesFewerConnections()
    {
        QFETCH(int, maxPerIp);
        const QMap<QString, QByteArray> files = NestedTree(2, 2, 10, 3000);
        RealFtpServer server({.kind = Kind::Vsftpd, .maxPerIp = maxPerIp, .files = files});
        START_OR_SKIP(server, Kind::Vsftpd);
        QVERIFY(m_window.Open(server, false));
        m_window.Window()->Settings.Parallel_Transfers = 4;

        m_window.Download({u"baum"_s});
        QCOMPARE(m_window.Panel(2), u"Fertig"_s);
        QCOMPARE(TreeOf(m_window.LocalRoot()), WithFolders(files));
    }

    // Four connections decide what one decides. "Abbrechen" in the question
    // lets every file decided before it arrive (also those only queued),
    // and at the first file no extra connection logs in at all.
    void cancelInTheQuestionKeepsWhatWasDecided_data()
    {
        QTest::addColumn<int>("existing"); // the file that exists locally and is asked about
        QTest::newRow("at the last file") << 6;
        QTest::newRow("at the first file") << 1;
    }

    void cancelInTheQuestionKeepsWhatWasDecided()
    {
        QFETCH(int, existing);
        QMap<QString, QByteArray> files;
        for (int file = 1; file <= 6; ++file)
            files.insert(u"baum/n%1.bin"_s.arg(file), RandomBytes(150 * 1000, file));
        // pyftpdlib holds a file back once a second's worth of it went out.
        RealFtpServer server({.rateLimit = 100 * 1000, .files = files});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QMap<int, QMap<QString, QByteArray>> results;
        for (int connections : {1, 4}) {
            QVERIFY(m_window.Open(server));
            m_window.Window()->Settings.Parallel_Transfers = connections;
            const QString asked = u"baum/n%1.bin"_s.arg(existing);
            QVERIFY(QDir().mkpath(m_window.Local(u"baum"_s)));
            QVERIFY(WriteFileContent(m_window.Local(asked), "alt"));
            server.clearTranscript();
            {
                OverwriteAnswers answers({u"Button5"_s});
                m_window.Download({u"baum"_s});
                QCOMPARE(answers.Questions().size(), 1);
            }
            QCOMPARE(m_window.Panel(2), u"Abgebrochen"_s);
            results[connections] = TreeOf(m_window.LocalRoot());
            if (existing == 1)
                QCOMPARE(server.commands().filter(u"USER"_s).size(), 0);
            m_window.Close();
        }
        QMap<QString, QByteArray> expected;
        for (auto file = files.begin(); file != files.end() && file.key() != u"baum/n%1.bin"_s.arg(existing);
             ++file)
            expected.insert(file.key(), file.value());
        expected.insert(u"baum/"_s, {});
        expected.insert(u"baum/n%1.bin"_s.arg(existing), "alt");
        QCOMPARE(results[1], expected);
        QCOMPARE(results[4], results[1]);
    }

    // A file the server refuses ends the walk as it does on one connection:
    // the files before it are whole, the files already running on other
    // connections complete, no part file stays, and the log names the file
    // and the reply, marked with the connection that heard it.
    void aRefusedFileEndsTheWalk()
    {
        QMap<QString, QByteArray> files;
        for (int file = 1; file <= 8; ++file)
            files.insert(u"baum/f%1.bin"_s.arg(file), RandomBytes(60 * 1000, file));
        RealFtpServer server({.kind = Kind::Vsftpd, .files = files});
        QVERIFY(QFile::setPermissions(server.rootDir() + u"/baum/f5.bin"_s, {}));
        START_OR_SKIP(server, Kind::Vsftpd);
        QMap<int, QMap<QString, QByteArray>> results;
        for (int connections : {1, 4}) {
            QVERIFY(m_window.Open(server, false));
            m_window.Window()->Settings.Parallel_Transfers = connections;
            m_window.Download({u"baum"_s});
            QCOMPARE(m_window.Panel(2), u"Abgebrochen"_s);
            const QStringList log = m_window.Window()->Log()->Lines();
            const QStringList refusal = log.filter(u"f5.bin: 550"_s);
            QVERIFY2(!refusal.isEmpty(), qPrintable(log.join(u'\n')));
            QVERIFY2(log.filter(QRegularExpression(u"PASS (?!\\(HIDDEN\\))"_s)).isEmpty(),
                     qPrintable(log.join(u'\n')));
            if (connections > 1) {
                const QStringList marked = log.filter(u"[Verbindung "_s);
                QVERIFY2(!marked.filter(u"Gesendet: RETR"_s, Qt::CaseInsensitive).isEmpty(),
                         qPrintable(log.join(u'\n')));
                const QStringList replies = marked.filter(QRegularExpression(u"^Erh\\.: 550"_s));
                QVERIFY2(!replies.isEmpty(), qPrintable(log.join(u'\n')));
                QCOMPARE(SessionLogView::TextColor(replies.first(), false), QColor(Qt::red));
            }
            results[connections] = TreeOf(m_window.LocalRoot());
            m_window.Close();
        }
        for (int connections : {1, 4}) {
            const QMap<QString, QByteArray> &arrived = results[connections];
            for (int file = 1; file <= 4; ++file) {
                const QString name = u"baum/f%1.bin"_s.arg(file);
                QCOMPARE(arrived.value(name), files.value(name));
            }
            for (auto file = arrived.begin(); file != arrived.end(); ++file) {
                QVERIFY2(!file.key().contains(u"glimra-part"_s), qPrintable(file.key()));
                if (!file.key().endsWith(u'/'))
                    QCOMPARE(file.value(), files.value(file.key()));
            }
            QVERIFY(!arrived.contains(u"baum/f5.bin"_s));
        }
        QVERIFY(!results[1].contains(u"baum/f6.bin"_s));
    }

    // While the files move, the speed counts from the operation's start
    // (the connections move files while the walk lists the next folders),
    // panel 0 names a file that is moving, and panel 2 does not say
    // "Fertig" before the last file is there.
    void progressTellsWhatMoves()
    {
        QMap<QString, QByteArray> files;
        for (int file = 1; file <= 40; ++file)
            files.insert(u"baum/o%1/p%2.bin"_s.arg((file - 1) / 8).arg(file, 2, 10, QChar(u'0')),
                         RandomBytes(20 * 1000, file));
        // Entering a folder and fetching a file take a while, so the
        // connections move files while the walk goes on.
        RealFtpServer server(
            {.commandDelayMs = 100, .delayedCommands = {u"CWD"_s, u"RETR"_s}, .files = files});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        for (int connections : {1, 4}) {
            QVERIFY(m_window.Open(server));
            TFTPqvx &window = *m_window.Window();
            window.Settings.Parallel_Transfers = connections;
            double firstSpeed = 0;
            QStringList problems;
            QTimer sample;
            sample.setInterval(5);
            connect(&sample, &QTimer::timeout, [&] {
                const QMap<QString, QByteArray> arrived = TreeOf(m_window.LocalRoot());
                const qsizetype complete =
                    std::count_if(arrived.keyBegin(), arrived.keyEnd(),
                                  [](const QString &path) { return path.endsWith(u".bin"_s); });
                if (complete == files.size())
                    return;
                if (firstSpeed == 0 && window.Main().Flags.TransferActive)
                    firstSpeed = window.Session()->Progress().Speed();
                // One connection shows its listings' "Fertig" between the files as it always did.
                if (connections > 1 && m_window.Panel(2) == u"Fertig"_s && complete > 0)
                    problems.append(u"Fertig with %1 files there"_s.arg(complete));
                const QString shown = m_window.Panel(0);
                if (shown.startsWith(u'p') && shown.mid(1, 2).toInt() > complete + connections + 1)
                    problems.append(u"%1 shown with %2 files there"_s.arg(shown).arg(complete));
            });
            QElapsedTimer clock;
            clock.start();
            sample.start();
            m_window.Download({u"baum"_s});
            sample.stop();
            const double averageSpeed = 40 * 20 * 1000 / 1024.0 / (double(clock.elapsed()) / 1000.0);
            QCOMPARE(m_window.Panel(2), u"Fertig"_s);
            QCOMPARE(TreeOf(m_window.LocalRoot()), WithFolders(files));
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u"; "_s)));
            // One connection shows each file's own speed.
            if (connections > 1)
                QVERIFY2(firstSpeed > 0 && firstSpeed < 3 * averageSpeed,
                         qPrintable(u"%1 connections: first %2 KB/s, average %3 KB/s"_s.arg(connections)
                                        .arg(firstSpeed)
                                        .arg(averageSpeed)));
            m_window.Close();
        }
    }

    // The first error of the pool ends the operation with its message.
    void firstErrorEndsTheOperation()
    {
        QMap<QString, QByteArray> files;
        for (int file = 0; file < 12; ++file)
            files.insert(u"baum/f%1.txt"_s.arg(file, 2, 10, QChar(u'0')), "content");
        RealFtpServer server({.files = files});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        m_window.Window()->Settings.Parallel_Transfers = 3;
        m_window.Window()->Settings.No_Prompt_Overwrite = true;
        // A folder where a file is to go cannot be replaced.
        QVERIFY(QDir().mkpath(m_window.Local(u"baum/f05.txt/drin"_s)));

        m_window.Download({u"baum"_s});
        QVERIFY2(m_window.Panel(2).contains(u"kann nicht angelegt werden"_s), qPrintable(m_window.Panel(2)));
        QVERIFY(!m_window.Window()->Main().Flags.OperationBusy);
        const QStringList left = QDir(m_window.Local(u"baum"_s)).entryList(QDir::Files | QDir::Hidden);
        QVERIFY(left.filter(u"glimra-part"_s).isEmpty());
        for (const QString &name : left)
            QCOMPARE(FileContent(m_window.Local(u"baum/"_s + name)), QByteArray("content"));
    }
};

QTEST_MAIN(ParallelTest)
#include "test_parallel.moc"
