// The file a download is received into: the target keeps its content until
// the new one is complete, part names never take someone else's file and
// fit the file system's name limit, and a link stays a link.
#include "enginetesthelpers.h"
#include "partfile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimeZone>

#include <climits>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

QStringList FilesIn(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

class PartFileTest : public QObject {
    Q_OBJECT

private slots:
    void partNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("attempt");
        QTest::addColumn<QString>("part");
        const QString longName = QString(300, u'ä');
        QTest::newRow("plain") << u"a.txt"_s << 0 << u"a.txt.glimra-part"_s;
        QTest::newRow("taken once") << u"a.txt"_s << 1 << u"a.txt.glimra-part-1"_s;
        QTest::newRow("hidden") << u".profile"_s << 0 << u".profile.glimra-part"_s;
        // 2 bytes a letter: 121 letters and the suffix make 254 bytes.
        QTest::newRow("too long for the file system")
            << longName << 0 << QString(121, u'ä') + u".glimra-part"_s;
        // 4 bytes a face: 60 + 45 * 4 bytes and the suffix make 252 bytes.
        QTest::newRow("a character of two code units is never split")
            << QString(60, u'x') + u"😀"_s.repeated(80) << 0
            << QString(60, u'x') + u"😀"_s.repeated(45) + u".glimra-part"_s;
    }

    void partNames()
    {
        QFETCH(QString, name);
        QFETCH(int, attempt);
        const QString path = PartFile::PartPath(u"/tmp/ordner/"_s + name, attempt);
        QTEST(QFileInfo(path).fileName(), "part");
        QCOMPARE(QFileInfo(path).path(), u"/tmp/ordner"_s);
        QVERIFY(QFile::encodeName(QFileInfo(path).fileName()).size() <= NAME_MAX);
    }

    // What is under the target's name after each way a download can end.
    void replacing_data()
    {
        QTest::addColumn<bool>("existed");
        QTest::addColumn<bool>("committed");
        QTest::addColumn<QByteArray>("after"); // null: no file
        QTest::newRow("new file, complete") << false << true << QByteArray("neu");
        QTest::newRow("new file, given up") << false << false << QByteArray();
        QTest::newRow("old file, complete") << true << true << QByteArray("neu");
        QTest::newRow("old file, given up") << true << false << QByteArray("alt");
    }

    void replacing()
    {
        QFETCH(bool, existed);
        QFETCH(bool, committed);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString target = dir.filePath(u"datei.bin"_s);
        // The file replaced was read-only and readable by its group; the new
        // one keeps that, and its owner may write it.
        const auto ownerGroupOther = [](QFileDevice::Permissions permissions) {
            return permissions & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
        };
        if (existed) {
            QVERIFY(WriteFileContent(target, "alt"));
            QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        }
        {
            PartFile part(target);
            QVERIFY2(part.Open(), qPrintable(part.ErrorString()));
            QCOMPARE(part.Device().write("neu"), 3);
            // Until the commit, the target is as it was.
            QCOMPARE(FileContent(target), existed ? QByteArray("alt") : QByteArray("<missing>"));
            if (committed)
                QVERIFY2(part.Commit(), qPrintable(part.ErrorString()));
        }
        QCOMPARE(FilesIn(dir), after.isNull() ? QStringList() : QStringList{u"datei.bin"_s});
        if (!after.isNull())
            QCOMPARE(FileContent(target), after);
        if (existed && committed)
            QCOMPARE(ownerGroupOther(QFileInfo(target).permissions()),
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    }

    // A file under a part name that no download of this program left as
    // partial data is the user's, or one the same download fetches under
    // that name: it is never emptied, continued or renamed, and a part file
    // never takes a name the folder being fetched holds.
    void filesThatOnlyHaveThePartName_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("a file of the user's") << u"user"_s;
        QTest::newRow("a name of the fetched folder") << u"reserved"_s;
        QTest::newRow("put there while the part was written") << u"replaced"_s;
    }

    void filesThatOnlyHaveThePartName()
    {
        QFETCH(QString, situation);
        QTemporaryDir dir;
        const QString target = dir.filePath(u"f"_s);
        const QString partName = PartFile::PartPath(target);
        const QSet<QString> reserved =
            situation == u"reserved"_s ? QSet<QString>{u"f.glimra-part"_s} : QSet<QString>();
        if (situation == u"user"_s)
            QVERIFY(WriteFileContent(partName, "echt"));
        QVERIFY(!PartFile::PartialData(target, reserved).exists());
        {
            PartFile part(target, PartFile::Leftover::Keep, reserved);
            QVERIFY(part.Open());
            QCOMPARE(part.Device().fileName() != partName, situation != u"replaced"_s);
            part.Device().write("neu");
            if (situation == u"replaced"_s) {
                QVERIFY(WriteFileContent(dir.filePath(u"anders"_s), "echt"));
                QCOMPARE(std::rename(QFile::encodeName(dir.filePath(u"anders"_s)).constData(),
                                     QFile::encodeName(part.Device().fileName()).constData()),
                         0);
                QVERIFY(!part.Commit());
                QVERIFY2(part.ErrorString().contains(u"ersetzt"_s), qPrintable(part.ErrorString()));
            } else {
                QVERIFY(part.Commit());
                QCOMPARE(FileContent(target), QByteArray("neu"));
            }
        }
        if (situation == u"replaced"_s) {
            QCOMPARE(FileContent(partName), QByteArray("echt"));
            QVERIFY(!QFileInfo::exists(target));
        } else if (situation == u"user"_s) {
            QCOMPARE(FileContent(partName), QByteArray("echt"));
        }
        // Reserved for the fetched folder: only the target was written.
        if (situation == u"reserved"_s)
            QCOMPARE(FilesIn(dir), QStringList{u"f"_s});
    }

    // A link or a folder under a part name is skipped, whoever put it there.
    void takenPartNamesAreSkipped()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(u"datei.bin"_s);
        QVERIFY(QDir().mkdir(PartFile::PartPath(target)));
        QVERIFY(QFile::link(u"nirgendwo"_s, PartFile::PartPath(target, 1)));
        PartFile part(target);
        QVERIFY(part.Open());
        QCOMPARE(part.Device().fileName(), PartFile::PartPath(target, 2));
        part.Device().write("neu");
        const QDateTime time(QDate(2020, 2, 29), QTime(12, 30, 15), QTimeZone::utc());
        QVERIFY(part.Commit(time));
        QCOMPARE(FileContent(target), QByteArray("neu"));
        QCOMPARE(QFileInfo(target).lastModified(), time);
        QVERIFY(QFileInfo(PartFile::PartPath(target)).isDir());
        QVERIFY(QFileInfo(PartFile::PartPath(target, 1)).isSymLink());
    }

    // What an interrupted download leaves, and what the next one does with
    // it: start it over, or continue it. Only data under the first part
    // name is kept, since only that is found again.
    void partialDataIsKeptAndContinued_data()
    {
        QTest::addColumn<bool>("leftBehind"); // earlier partial data is there
        QTest::addColumn<bool>("targetThere");
        QTest::addColumn<bool>("continued");
        QTest::addColumn<QByteArray>("partAfterCut"); // null: no part file stays
        QTest::newRow("new download, cut") << false << false << false << QByteArray("neu");
        QTest::newRow("earlier data started over") << true << false << false << QByteArray("neu");
        QTest::newRow("earlier data continued") << true << false << true << QByteArray("vorneu");
        QTest::newRow("smaller target continued from a copy")
            << false << true << true << QByteArray("altneu");
        QTest::newRow("continued beside a target") << true << true << true << QByteArray("vorneu");
    }

    void partialDataIsKeptAndContinued()
    {
        QFETCH(bool, leftBehind);
        QFETCH(bool, targetThere);
        QFETCH(bool, continued);
        QFETCH(QByteArray, partAfterCut);
        QTemporaryDir dir;
        const QString target = dir.filePath(u"datei.bin"_s);
        if (leftBehind)
            LeavePartialData(target, "vor");
        if (targetThere)
            QVERIFY(WriteFileContent(target, "alt"));
        const QFileInfo partial = PartFile::PartialData(target);
        QCOMPARE(partial.filePath(), leftBehind    ? PartFile::PartPath(target)
                                     : targetThere ? target
                                                   : QString());
        {
            PartFile part(target, PartFile::Leftover::Keep);
            QVERIFY2(continued ? part.OpenToContinue() : part.Open(), qPrintable(part.ErrorString()));
            QCOMPARE(part.Device().fileName(), PartFile::PartPath(target));
            QCOMPARE(part.Device().pos(), part.Device().size());
            QCOMPARE(part.Device().write("neu"), 3);
        }
        QCOMPARE(FileContent(PartFile::PartPath(target)), partAfterCut);
        // The target is never touched by what was not completed.
        QCOMPARE(FileContent(target), targetThere ? QByteArray("alt") : QByteArray("<missing>"));

        PartFile again(target, PartFile::Leftover::Keep);
        QVERIFY(again.OpenToContinue());
        QVERIFY(again.Commit());
        QCOMPARE(FileContent(target), partAfterCut);
        QCOMPARE(FilesIn(dir), QStringList{u"datei.bin"_s});
    }

    void emptyAndStrayPartsAreNotKept_data()
    {
        QTest::addColumn<bool>("blockFirstName");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("nothing arrived") << false << QByteArray();
        QTest::newRow("under a second name") << true << QByteArray("neu");
    }

    void emptyAndStrayPartsAreNotKept()
    {
        QFETCH(bool, blockFirstName);
        QFETCH(QByteArray, written);
        QTemporaryDir dir;
        const QString target = dir.filePath(u"datei.bin"_s);
        if (blockFirstName)
            QVERIFY(QFile::link(u"nirgendwo"_s, PartFile::PartPath(target)));
        {
            PartFile part(target, PartFile::Leftover::Keep);
            QVERIFY(part.Open());
            part.Device().write(written);
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 blockFirstName ? QStringList{u"datei.bin.glimra-part"_s} : QStringList());
        QVERIFY(!PartFile::PartialData(target).exists());
    }

    // A part name that is a link to a file must not get that file written,
    // whether the download starts over or continues.
    void aLinkUnderThePartNameIsNeverWritten()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(u"datei.bin"_s);
        const QString victim = dir.filePath(u"wichtig.txt"_s);
        QVERIFY(WriteFileContent(victim, "wichtig"));
        QVERIFY(QFile::link(victim, PartFile::PartPath(target)));
        QVERIFY(!PartFile::PartialData(target).exists());
        PartFile fresh(target);
        QVERIFY(fresh.Open());
        QCOMPARE(fresh.Device().fileName(), PartFile::PartPath(target, 1));
        PartFile continued(target);
        QVERIFY(!continued.OpenToContinue());
        QCOMPARE(FileContent(victim), QByteArray("wichtig"));
    }

    // A link the user made keeps pointing where it did; the file it points
    // to gets the new content.
    void aLinkStaysALink()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"echt"_s));
        const QString real = dir.filePath(u"echt/datei.bin"_s);
        const QString link = dir.filePath(u"verweis.bin"_s);
        QVERIFY(WriteFileContent(real, "alt"));
        QVERIFY(QFile::link(u"echt/datei.bin"_s, link));
        PartFile part(link);
        QVERIFY(part.Open());
        part.Device().write("neu");
        QVERIFY(part.Commit());
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(FileContent(real), QByteArray("neu"));
        QCOMPARE(QDir(dir.filePath(u"echt"_s)).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"datei.bin"_s});
    }

    void aFolderIsNeverReplaced()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"ordner"_s));
        PartFile part(dir.filePath(u"ordner"_s));
        QVERIFY(!part.Open());
        QVERIFY(!part.ErrorString().isEmpty());
        QCOMPARE(FilesIn(dir), QStringList());
    }
};

QTEST_MAIN(PartFileTest)
#include "test_partfile.moc"
