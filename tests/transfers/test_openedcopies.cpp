// The watch of opened copies, without windows or servers: which change is
// offered for saving back, when, and which copies count as unsaved.
#include "openedcopies.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kDownloaded(QDate(2024, 3, 1), QTime(10, 0), Qt::UTC);
const ServerIdentity kServer{u"127.0.0.1"_s, 2121, u"anna"_s};
const ServerIdentity kOtherServer{u"127.0.0.1"_s, 2122, u"anna"_s};

bool SetModifiedMs(const QString &path, qint64 msAfterDownload)
{
    const qint64 ms = kDownloaded.toMSecsSinceEpoch() + msAfterDownload;
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = ms / 1000;
    times[0].tv_nsec = times[1].tv_nsec = (ms % 1000) * 1000000;
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

bool WriteFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class OpenedCopiesTest : public QObject {
    Q_OBJECT

private slots:
    // Each step is an action ("edit <ms>", "remove", "look", "connect",
    // "ask", "no", "saving", "saved <ms>", "failed") or a check ("offer",
    // "none", "offer elsewhere", "unsaved", "settled"); times count from
    // the download.
    void offersEachChangeOnce_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("a change of one millisecond is none")
            << QStringList{u"edit 1"_s, u"look"_s, u"none"_s,  u"settled"_s,
                           u"edit 2"_s, u"look"_s, u"offer"_s, u"unsaved"_s};
        QTest::newRow("an earlier time is a change too")
            << QStringList{u"edit -5000"_s, u"look"_s, u"offer"_s};
        QTest::newRow("asked once; after No, asked at the next change") << QStringList{
            u"edit 1000"_s, u"look"_s,    u"offer"_s, u"ask"_s,  u"look"_s,      u"none"_s, u"no"_s,
            u"none"_s,      u"settled"_s, u"look"_s,  u"none"_s, u"edit 2000"_s, u"look"_s, u"offer"_s};
        QTest::newRow("a failed save waits for the next change")
            << QStringList{u"edit 1000"_s, u"look"_s,    u"ask"_s,       u"saving"_s, u"failed"_s, u"look"_s,
                           u"none"_s,      u"unsaved"_s, u"edit 3000"_s, u"look"_s,   u"offer"_s};
        QTest::newRow("a failed save is offered again at the next connect") << QStringList{
            u"edit 1000"_s, u"look"_s, u"ask"_s, u"saving"_s, u"failed"_s, u"connect"_s, u"offer"_s};
        QTest::newRow("saved: settled, and a connect offers nothing")
            << QStringList{u"edit 1000"_s, u"look"_s,    u"ask"_s,     u"saving"_s, u"saved 1000"_s,
                           u"look"_s,      u"settled"_s, u"connect"_s, u"none"_s};
        QTest::newRow("a change while the upload runs is offered after it") << QStringList{
            u"edit 1000"_s, u"look"_s,       u"ask"_s,     u"saving"_s, u"edit 2000"_s, u"look"_s,
            u"none"_s,      u"saved 1000"_s, u"unsaved"_s, u"look"_s,   u"offer"_s};
        QTest::newRow("offered only while its own server is connected")
            << QStringList{u"edit 1000"_s, u"look"_s, u"offer elsewhere"_s, u"offer"_s};
        QTest::newRow("a file replaced by an editor stays watched") << QStringList{
            u"remove"_s, u"look"_s, u"none"_s, u"settled"_s, u"edit 4000"_s, u"look"_s, u"offer"_s};
    }

    void offersEachChangeOnce()
    {
        QFETCH(QStringList, steps);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString copy = folder.filePath(u"seite.html"_s);
        QVERIFY(WriteFile(copy, "downloaded"));
        QVERIFY(SetModifiedMs(copy, 0));
        OpenedCopies copies;
        copies.Watch(copy, u"/www/seite.html"_s, kServer);

        for (const QString &step : std::as_const(steps)) {
            const QString action = step.section(u' ', 0, 0);
            const qint64 ms = step.section(u' ', 1).toLongLong();
            const QByteArray step8 = step.toUtf8();
            const char *where = step8.constData();
            if (action == u"edit"_s) {
                QVERIFY2(WriteFile(copy, "edited " + step8) && SetModifiedMs(copy, ms), where);
            } else if (action == u"remove"_s) {
                QVERIFY(QFile::remove(copy));
            } else if (action == u"look"_s) {
                copies.Look();
            } else if (action == u"connect"_s) {
                copies.ServerConnected();
            } else if (action == u"ask"_s) {
                copies.Asked(copy);
            } else if (action == u"no"_s) {
                copies.Declined(copy);
            } else if (action == u"saving"_s) {
                copies.Saving(copy);
            } else if (action == u"saved"_s) {
                copies.Saved(copy, kDownloaded.addMSecs(ms));
            } else if (action == u"failed"_s) {
                copies.NotSaved(copy);
            } else if (step == u"offer"_s) {
                const OpenedCopies::Copy *offered = copies.NextToOffer(kServer);
                QVERIFY2(offered && offered->remotePath == u"/www/seite.html"_s, where);
            } else if (step == u"offer elsewhere"_s) {
                QVERIFY2(!copies.NextToOffer(kOtherServer), where);
            } else if (step == u"none"_s) {
                QVERIFY2(!copies.NextToOffer(kServer), where);
            } else if (step == u"unsaved"_s) {
                QVERIFY2(copies.HasUnsavedChange(copy), where);
                QCOMPARE(copies.UnsavedCopies(), QStringList{copy});
            } else if (step == u"settled"_s) {
                QVERIFY2(!copies.HasUnsavedChange(copy), where);
                QVERIFY(copies.UnsavedCopies().isEmpty());
            } else {
                QFAIL(where);
            }
        }
    }

    // Several copies are watched at once; watching a path again starts afresh.
    void severalCopiesAndWatchingAgain()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString first = folder.filePath(u"a.txt"_s);
        const QString second = folder.filePath(u"b.txt"_s);
        for (const QString &path : {first, second})
            QVERIFY(WriteFile(path, "x") && SetModifiedMs(path, 0));
        OpenedCopies copies;
        copies.Watch(first, u"/a.txt"_s, kServer);
        copies.Watch(second, u"/b.txt"_s, kOtherServer);
        QVERIFY(SetModifiedMs(first, 1000) && SetModifiedMs(second, 1000));
        copies.Look();
        QCOMPARE(copies.NextToOffer(kServer)->localPath, first);
        QCOMPARE(copies.NextToOffer(kOtherServer)->localPath, second);
        QCOMPARE(copies.UnsavedCopies(), (QStringList{first, second}));

        copies.Watch(first, u"/neu/a.txt"_s, kServer);
        QVERIFY(!copies.HasUnsavedChange(first));
        QVERIFY(!copies.NextToOffer(kServer));
        QCOMPARE(copies.Find(first)->remotePath, u"/neu/a.txt"_s);
        copies.Forget(second);
        QVERIFY(!copies.Find(second));
        QVERIFY(copies.UnsavedCopies().isEmpty());
    }
};

QTEST_GUILESS_MAIN(OpenedCopiesTest)
#include "test_openedcopies.moc"
