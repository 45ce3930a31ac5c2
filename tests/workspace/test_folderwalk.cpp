// What keeps recursive walks inside their folder, against scripted servers
// that answer PWD and MLST the ways real ones do: those that resolve links,
// those that keep the typed path, and those with a "unique" fact.
#include "enginetesthelpers.h"
#include "folderwalk.h"
#include "scriptedserver.h"
#include "tidftp.h"

#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(FolderWalk::Step)

namespace {

QByteArray Pwd(const char *path)
{
    return "257 \"" + QByteArray(path) + "\" is the current directory.";
}

QByteArray Mlst(const char *unique)
{
    return "250-Listing:\r\n type=dir;unique=" + QByteArray(unique) + "; /x\r\n250 End MLST.";
}

const QByteArray kOk = "250 OK.";

} // namespace

class FolderWalkTest : public QObject {
    Q_OBJECT

private slots:
    // The walk starts in /start and enters /start/sub: a folder row when
    // the link column is null, else a link naming that target. An entered
    // folder is left again.
    void enteringAFolder_data()
    {
        QTest::addColumn<QStringList>("features");
        QTest::addColumn<QString>("link");
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<FolderWalk::Step>("step");
        QTest::addColumn<QStringList>("transcript");
        using Step = FolderWalk::Step;
        const QStringList plain{u"PWD"_s, u"CWD /start/sub"_s, u"PWD"_s};
        const QString folderRow;

        QTest::newRow("a subfolder, left by CDUP")
            << QStringList() << folderRow << QList<QByteArray>{Pwd("/start"), kOk, Pwd("/start/sub"), kOk}
            << Step::Entered << plain + QStringList{u"CDUP"_s};
        QTest::newRow("refused") << QStringList() << folderRow
                                 << QList<QByteArray>{Pwd("/start"), "550 No such directory."}
                                 << Step::Refused << QStringList{u"PWD"_s, u"CWD /start/sub"_s};
        QTest::newRow("a folder row that lands elsewhere")
            << QStringList() << folderRow << QList<QByteArray>{Pwd("/start"), kOk, Pwd("/else"), kOk}
            << Step::Skipped << plain + QStringList{u"CWD /start"_s};
        QTest::newRow("a link that lands elsewhere, left the way it came")
            << QStringList() << u"../else"_s << QList<QByteArray>{Pwd("/start"), kOk, Pwd("/else"), kOk}
            << Step::Entered << plain + QStringList{u"CWD /start"_s};
        QTest::newRow("a link the server resolves to the folder above")
            << QStringList() << u"../.."_s << QList<QByteArray>{Pwd("/start"), kOk, Pwd("/"), kOk}
            << Step::Skipped << plain + QStringList{u"CWD /start"_s};
        QTest::newRow("a link naming the start, the server keeps its path")
            << QStringList() << u".."_s << QList<QByteArray>{Pwd("/start"), kOk, Pwd("/start/sub"), kOk}
            << Step::Skipped << plain + QStringList{u"CWD /start"_s};
        QTest::newRow("a link naming a sibling, the server keeps its path")
            << QStringList() << u"../nachbar"_s
            << QList<QByteArray>{Pwd("/start"), kOk, Pwd("/start/sub"), kOk} << Step::Entered
            << plain + QStringList{u"CDUP"_s};

        // The server has MLST: the start is "s1", the root above it "r0".
        const auto uniqueRow = [&](const char *name, const char *unique, Step step, const QString &leave) {
            QTest::newRow(name) << QStringList{u"MLST"_s} << folderRow
                                << QList<QByteArray>{Pwd("/start"),     Mlst("s1"),   Mlst("r0"), kOk,
                                                     Pwd("/start/sub"), Mlst(unique), kOk}
                                << step << QStringList{u"PWD"_s, u"MLST"_s, u"MLST /"_s, u"CWD /start/sub"_s,
                                                       u"PWD"_s, u"MLST"_s, leave};
        };
        uniqueRow("a folder row that is the start again", "s1", Step::Skipped, u"CWD /start"_s);
        uniqueRow("a folder row that is the root above the start", "r0", Step::Skipped, u"CWD /start"_s);
        uniqueRow("a folder row that is a folder of its own", "n2", Step::Entered, u"CDUP"_s);
    }

    void enteringAFolder()
    {
        QFETCH(QStringList, features);
        QFETCH(QString, link);
        QFETCH(QList<QByteArray>, replies);
        ScriptedServer server;
        for (const QByteArray &reply : replies)
            server.command().send(reply + "\r\n");
        TIdFTP ftp;
        QVERIFY(ConnectWithoutLogin(ftp, server));

        FolderWalk walk(ftp, features, FolderWalk::Revisits::Allowed);
        const FolderWalk::Step step =
            link.isNull() ? walk.Enter(u"/start/sub"_s) : walk.EnterLink(u"/start/sub"_s, link);
        QTEST(step, "step");
        if (step == FolderWalk::Step::Entered)
            walk.ReturnToParent();
        ftp.CloseConnection();
        QTEST(server.transcript(), "transcript");
    }

    // The judgement alone: the walk runs /start, /start/a; aboveStart holds
    // the unique fact "r0".
    void leadingBack_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("unique");
        QTest::addColumn<QString>("alias");
        QTest::addColumn<bool>("back");
        QTest::newRow("a child") << u"/start/a/b"_s << u"b3"_s << QString() << false;
        QTest::newRow("the current folder") << u"/start/a"_s << QString() << QString() << true;
        QTest::newRow("the root") << u"/"_s << QString() << QString() << true;
        QTest::newRow("a folder named like the start") << u"/start2"_s << QString() << QString() << false;
        QTest::newRow("unique of the start") << u"/start/a/b"_s << u"s1"_s << QString() << true;
        QTest::newRow("unique above the start") << u"/start/a/b"_s << u"r0"_s << QString() << true;
        QTest::newRow("alias of the start") << u"/start/a/b"_s << QString() << u"/start"_s << true;
        QTest::newRow("alias of a sibling") << u"/start/a/b"_s << QString() << u"/start/c"_s << false;
        QTest::newRow("alias a folder of the walk came in by")
            << u"/start/a/b"_s << QString() << u"/x/y"_s << true;
        QTest::newRow("PWD unknown") << QString() << QString() << QString() << false;
    }

    void leadingBack()
    {
        QFETCH(QString, path);
        QFETCH(QString, unique);
        QFETCH(QString, alias);
        const QList<FolderIdentity> walk{{u"/start"_s, u"s1"_s, QString()},
                                         {u"/start/a"_s, u"a2"_s, u"/x/y"_s}};
        QTEST(LeadsBackIntoWalk(walk, {u"r0"_s}, {path, unique, alias}), "back");
    }

    void resolvingLinkTargets_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("resolved");
        QTest::newRow("sibling") << u"/a/b"_s << u"../c"_s << u"/a/c"_s;
        QTest::newRow("itself") << u"/a/b"_s << u"."_s << u"/a/b"_s;
        QTest::newRow("beyond the root") << u"/a"_s << u"../../.."_s << u"/"_s;
        QTest::newRow("absolute") << u"/a"_s << u"/srv/ftp/./x/"_s << u"/srv/ftp/x"_s;
        QTest::newRow("from the root") << u"/"_s << u"x"_s << u"/x"_s;
        QTest::newRow("no folder known") << QString() << u"x"_s << QString();
        QTest::newRow("no target listed") << u"/a"_s << QString() << QString();
    }

    void resolvingLinkTargets()
    {
        QFETCH(QString, folder);
        QFETCH(QString, target);
        QTEST(ResolveLinkTarget(folder, target), "resolved");
    }
};

QTEST_MAIN(FolderWalkTest)
#include "test_folderwalk.moc"
