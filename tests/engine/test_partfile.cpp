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
        if (existed)
            QVERIFY(WriteFileContent(target, "alt"));
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
    }

    void takenPartNamesAreSkipped()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(u"datei.bin"_s);
        QVERIFY(WriteFileContent(PartFile::PartPath(target), "fremd"));
        QVERIFY(QFile::link(u"nirgendwo"_s, PartFile::PartPath(target, 1)));
        PartFile part(target);
        QVERIFY(part.Open());
        QCOMPARE(part.Device().fileName(), PartFile::PartPath(target, 2));
        part.Device().write("neu");
        const QDateTime time(QDate(2020, 2, 29), QTime(12, 30, 15), QTimeZone::utc());
        QVERIFY(part.Commit(time));
        QCOMPARE(FileContent(target), QByteArray("neu"));
        QCOMPARE(QFileInfo(target).lastModified(), time);
        QCOMPARE(FileContent(PartFile::PartPath(target)), QByteArray("fremd"));
        QVERIFY(QFileInfo(PartFile::PartPath(target, 1)).isSymLink());
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
