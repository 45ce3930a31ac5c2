// Continuing cut transfers from the main window with "Fortsetzen", and the
// local times that uploads keep on the server (MFMT), against pyftpdlib:
// its first transfer breaks off after 40 %.
#include "transferwindow.h"

#include "operationflags.h"
#include "partfile.h"
#include "sessionlogview.h"

#include <QLabel>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kFile = RandomBytes(1000 * 1000, 11);
const qint64 kCut = kFile.size() * 4 / 10;

// What the overwrite prompt showed when it was answered.
struct Question {
    QString existingFile;
    QString existingSize;
    bool continueOffered = false;
};

// Whether a log line contains the text.
bool Logged(TFTPqvx &window, const QString &text)
{
    const QStringList &lines = window.Log()->Lines();
    return std::any_of(lines.begin(), lines.end(), [&](const QString &line) { return line.contains(text); });
}

} // namespace

class ResumeTest : public QObject {
    Q_OBJECT

private:
    TransferWindow m_window;

    // Answers each overwrite question with the button, noting what it showed;
    // before the answer, meanwhile runs (the server's file may change).
    void Answer(const QString &button, const std::function<void()> &meanwhile = {})
    {
        auto questions = std::make_shared<QList<Question>>();
        m_answer = std::make_unique<PromptAnswer<Tfrageueberschreiben>>(
            [questions, button, meanwhile](Tfrageueberschreiben &prompt, int) {
                questions->append({prompt.Edit1->text(), prompt.Label2->text(), prompt.Button6->isVisible()});
                if (meanwhile)
                    meanwhile();
                prompt.findChild<QPushButton *>(button)->click();
            });
        m_questions = questions;
    }
    QList<Question> Questions() const { return m_questions ? *m_questions : QList<Question>(); }

    void Upload(const QString &localPath) { emit m_window.Window()->Browser()->uploadRequested({localPath}); }

    std::unique_ptr<PromptAnswer<Tfrageueberschreiben>> m_answer;
    std::shared_ptr<QList<Question>> m_questions;

private slots:
    void initTestCase() { RemoteSessionFixture::InstallProgramServices(); }
    void cleanup()
    {
        m_answer.reset();
        m_questions.reset();
        m_window.Close();
    }

    // A download that broke off keeps what arrived beside the target, never
    // under its name; "Fortsetzen" fetches the rest with REST and gives the
    // file the remote time. A server without REST, or a file that shrank
    // meanwhile, gets the whole file, and the log says why.
    void continuesACutDownload_data()
    {
        QTest::addColumn<bool>("refuseRestart");
        QTest::addColumn<bool>("shrinks");
        QTest::addColumn<QString>("logged"); // empty: the rest came with REST
        QTest::newRow("with REST") << false << false << QString();
        QTest::newRow("server refuses REST") << true << false << u"Der Server lehnt REST ab"_s;
        QTest::newRow("server's file shrank meanwhile")
            << false << true << u"die Quelle (1000 Byte) ist kleiner als die vorhandenen Teildaten"_s;
    }

    void continuesACutDownload()
    {
        QFETCH(bool, refuseRestart);
        QFETCH(bool, shrinks);
        QFETCH(QString, logged);
        RealFtpServer server({.cutFirstTransferAfter = kCut, .refuseRestart = refuseRestart});
        const QString remote = server.rootDir() + u"/gross.bin"_s;
        QVERIFY(server.addFile(u"gross.bin"_s, kFile));
        QVERIFY(SetModified(remote, RecentMinute(3)));
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        const QString target = m_window.Local(u"gross.bin"_s);
        const QString part = PartFile::PartPath(target);

        m_window.Download({u"gross.bin"_s});
        QCOMPARE(m_window.Panel(2), u"Abgebrochen"_s);
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(QFileInfo(part).size(), kCut);

        const QByteArray expected = shrinks ? kFile.left(1000) : kFile;
        Answer(u"Button6"_s, [&] {
            if (shrinks)
                QVERIFY(WriteFileContent(remote, expected));
        });
        server.clearTranscript();
        m_window.Download({u"gross.bin"_s});
        QCOMPARE(Questions().size(), 1);
        QCOMPARE(Questions().first().existingFile, part);
        QCOMPARE(Questions().first().existingSize, SizeText(kCut));
        QVERIFY(Questions().first().continueOffered);
        QCOMPARE(FileContent(target), expected);
        QVERIFY(!QFileInfo::exists(part));
        if (!shrinks)
            QCOMPARE(QFileInfo(target).lastModified(), ParseDateText(ListedDateText(RecentMinute(3))));
        QCOMPARE(m_window.Panel(2), u"Fertig"_s);
        // A file that shrank is not even asked to continue.
        QCOMPARE(server.commands().contains(u"REST %1"_s.arg(kCut)), !shrinks);
        if (!logged.isEmpty())
            QVERIFY2(Logged(*m_window.Window(), logged), qPrintable(logged));
        VERIFY_IN_STEP_ON_REAL_SERVER(m_window.Window()->Main().Connection);
    }

    // A smaller local file of that name is continued from a copy: it stays
    // as it is until the whole file has arrived. "Ja" fetches it all anew,
    // and a file that is not smaller offers nothing to continue.
    void continuesASmallerLocalFile_data()
    {
        QTest::addColumn<qint64>("localSize");
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("offered");
        QTest::addColumn<bool>("restarted");
        QTest::newRow("Fortsetzen") << kCut << u"Button6"_s << true << true;
        QTest::newRow("Ja fetches it all") << kCut << u"Button1"_s << true << false;
        QTest::newRow("same size: nothing to continue")
            << qint64(kFile.size()) << u"Button1"_s << false << false;
    }

    void continuesASmallerLocalFile()
    {
        QFETCH(qint64, localSize);
        QFETCH(QString, button);
        QFETCH(bool, offered);
        QFETCH(bool, restarted);
        RealFtpServer server({.files = {{u"datei.bin"_s, kFile}}});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        const QString target = m_window.Local(u"datei.bin"_s);
        QVERIFY(WriteFileContent(target, kFile.left(localSize)));

        Answer(button);
        server.clearTranscript();
        m_window.Download({u"datei.bin"_s});
        QCOMPARE(Questions().size(), 1);
        QCOMPARE(Questions().first().existingFile, target);
        QCOMPARE(Questions().first().continueOffered, offered);
        QCOMPARE(FileContent(target), kFile);
        QCOMPARE(server.commands().contains(u"REST %1"_s.arg(localSize)), restarted);
        QCOMPARE(QDir(m_window.LocalRoot()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"datei.bin"_s});
    }

    // An upload that broke off leaves part of the file on the server; a
    // second upload offers "Fortsetzen" and sends the rest (REST + STOR, or
    // APPE where REST is refused).
    void continuesACutUpload_data()
    {
        QTest::addColumn<bool>("refuseRestart");
        QTest::addColumn<QString>("continuation");
        QTest::newRow("with REST") << false << u"STOR /gross.bin"_s;
        QTest::newRow("server refuses REST") << true << u"APPE /gross.bin"_s;
    }

    void continuesACutUpload()
    {
        QFETCH(bool, refuseRestart);
        QFETCH(QString, continuation);
        RealFtpServer server({.cutFirstTransferAfter = kCut, .refuseRestart = refuseRestart});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        const QString local = m_window.Local(u"gross.bin"_s);
        const QString remote = server.rootDir() + u"/gross.bin"_s;
        QVERIFY(WriteFileContent(local, kFile));

        Upload(local);
        QCOMPARE(QFileInfo(remote).size(), kCut);
        QVERIFY(!m_window.Window()->Main().Flags.OperationBusy);

        Answer(u"Button6"_s);
        server.clearTranscript();
        Upload(local);
        QCOMPARE(Questions().size(), 1);
        QVERIFY(Questions().first().continueOffered);
        QCOMPARE(Questions().first().existingSize, SizeText(kCut));
        QCOMPARE(FileContent(remote), kFile);
        QVERIFY(server.commands().contains(continuation));
        QCOMPARE(server.commands().contains(u"REST %1"_s.arg(kCut)), true);
        VERIFY_IN_STEP_ON_REAL_SERVER(m_window.Window()->Main().Connection);
    }

    // With the setting on, an uploaded file keeps its local time on a server
    // that offers MFMT, and an unchanged file is then not uploaded again by
    // "Nur neuere Dateien kopieren", whatever the fraction of its second.
    void uploadsKeepTheirTime_data()
    {
        QTest::addColumn<bool>("keepTime");
        QTest::newRow("setting on") << true;
        QTest::newRow("setting off") << false;
    }

    void uploadsKeepTheirTime()
    {
        QFETCH(bool, keepTime);
        RealFtpServer server({});
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server));
        TFTPqvx &window = *m_window.Window();
        QVERIFY(TIdFTP::HasFeature(window.Main().Features, u"MFMT"_s));
        window.Settings.Keep_Upload_Time = keepTime;
        const QString local = m_window.Local(u"alt.txt"_s);
        QVERIFY(WriteFileContent(local, "aus alten Zeiten"));
        const QDateTime old(QDate(2019, 5, 4), QTime(10, 20, 30, 640), QTimeZone::utc());
        QFile file(local);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
        file.close();

        Upload(local);
        const int row = RowNamed(m_window.List(), u"alt.txt"_s);
        QVERIFY(row > 0);
        const QDateTime listed = m_window.List()->Row(row).timestamp;
        if (keepTime)
            QCOMPARE(listed, ParseDateText(ListedDateText(old)));
        else
            QVERIFY(listed != ParseDateText(ListedDateText(old)));

        window.Settings.New_Only = true;
        window.Settings.No_Prompt_Overwrite = true;
        server.clearTranscript();
        Upload(local);
        QCOMPARE(server.commands().contains(u"STOR /alt.txt"_s), false);
    }
};

QTEST_MAIN(ResumeTest)
#include "test_resume.moc"
