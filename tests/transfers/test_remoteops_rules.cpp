// The rules of the remote file operations that need no server: the name of
// a new folder, the lines a delete walk reads, the move prompt, the names
// of link rows and the answers of the delete prompt.
#include "operationflags.h"
#include "remoteoperationrules.h"
#include "remoterow.h"

#include <QTest>

using namespace Qt::StringLiterals;

class RemoteOperationRulesTest : public QObject {
    Q_OBJECT

private slots:
    void newFolderName_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty folder") << QStringList{u".."_s} << u"Neuer_Ordner"_s;
        QTest::newRow("first taken") << QStringList{u".."_s, u"Neuer_Ordner"_s} << u"Neuer_Ordner(1)"_s;
        QTest::newRow("two taken, listed backwards")
            << QStringList{u"Neuer_Ordner(1)"_s, u"Neuer_Ordner"_s} << u"Neuer_Ordner(2)"_s;
        QTest::newRow("other case does not count")
            << QStringList{u"neuer_ordner"_s, u"NEUER_ORDNER"_s} << u"Neuer_Ordner"_s;
        QTest::newRow("gap before the first")
            << QStringList{u"Neuer_Ordner(1)"_s, u"Neuer_Ordner(2)"_s} << u"Neuer_Ordner"_s;
        QTest::newRow("blank before the number is another name")
            << QStringList{u"Neuer_Ordner"_s, u"Neuer_Ordner (1)"_s} << u"Neuer_Ordner(1)"_s;
    }
    void newFolderName()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, expected);
        QCOMPARE(NewFolderName(existing), expected);
    }

    void linesOfAFolderBeingDeleted_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("mayNameEntry");
        QTest::newRow("unix file") << u"-rw-r--r--   1 ftp  ftp  3 Oct 12  2003 a"_s << true;
        QTest::newRow("total heading") << u"total 12345678901234"_s << false;
        QTest::newRow("total in capitals") << u"TOTAL 12345678901234"_s << false;
        QTest::newRow("fourteen characters") << u"type=dir; abcd"_s << false;
        QTest::newRow("fifteen characters") << u"type=dir; abcde"_s << true;
        QTest::newRow("file named total") << u"type=file;size=1;modify=20240101000000; total"_s << true;
    }
    void linesOfAFolderBeingDeleted()
    {
        QFETCH(QString, line);
        QFETCH(bool, mayNameEntry);
        QCOMPARE(MayNameEntry(line), mayNameEntry);
    }

    void movePrompt_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("two entries") << QStringList{u"a.txt"_s, u"b c"_s}
                                     << u"Bewegen \"a.txt; b c; \" nach..."_s;
        QTest::newRow("nothing but ..") << QStringList{} << u"Bewegen \"\" nach..."_s;
    }
    void movePrompt()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, prompt);
        QCOMPARE(MovePrompt(names), prompt);
    }

    void serverNames_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("serverName");
        QTest::newRow("link") << u"ln -> ../data/x"_s << u"l---------"_s << u"ln"_s;
        QTest::newRow("link with blanks") << u"my link -> a b"_s << u"l---------"_s << u"my link"_s;
        QTest::newRow("file with an arrow in its name")
            << u"a -> b.txt"_s << u"----------"_s << u"a -> b.txt"_s;
        QTest::newRow("folder") << u"pub"_s << u"d---------"_s << u"pub"_s;
    }
    void serverNames()
    {
        QFETCH(QString, caption);
        QFETCH(QString, info);
        QFETCH(QString, serverName);
        RemoteRow row;
        row.name = caption;
        row.info = info;
        QCOMPARE(ServerName(row), serverName);
    }

    void deleteDecision_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<bool>("yesToAllBefore");
        QTest::addColumn<DeleteAnswer>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("deleted");
        QTest::addColumn<bool>("yesToAllAfter");
        QTest::addColumn<bool>("cancelAfter");
        QTest::newRow("Ja") << true << false << DeleteAnswer::Yes << true << true << false << false;
        QTest::newRow("Ja zu allen") << true << false << DeleteAnswer::YesToAll << true << true << true
                                     << false;
        QTest::newRow("Nein") << true << false << DeleteAnswer::No << true << false << false << false;
        QTest::newRow("Abbrechen") << true << false << DeleteAnswer::Cancel << true << false << false << true;
        QTest::newRow("window frame")
            << true << false << DeleteAnswer::Closed << true << false << false << false;
        QTest::newRow("after Ja zu allen")
            << true << true << DeleteAnswer::Cancel << false << true << true << false;
        QTest::newRow("no confirmation")
            << false << false << DeleteAnswer::Cancel << false << true << false << false;
    }
    void deleteDecision()
    {
        QFETCH(bool, confirm);
        QFETCH(bool, yesToAllBefore);
        QFETCH(DeleteAnswer, answer);
        OperationFlags flags;
        flags.YesToAll = yesToAllBefore;
        bool asked = false;
        const bool deleted = DecideDelete(confirm, flags, [&] {
            asked = true;
            return answer;
        });
        QTEST(asked, "asked");
        QTEST(deleted, "deleted");
        QTEST(flags.YesToAll, "yesToAllAfter");
        QTEST(flags.CancelRequested, "cancelAfter");
        QVERIFY(!flags.NoToAll);
    }
};

QTEST_GUILESS_MAIN(RemoteOperationRulesTest)
#include "test_remoteops_rules.moc"
