// Results files read back what was written, whatever the names hold; where
// saved hits go when their names are taken or would leave the folder.

#include "enginetesthelpers.h"
#include "resultsfile.h"
#include "savetargets.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

using Answer = SaveTargets::Answer;
Q_DECLARE_METATYPE(QList<Answer>)

class ResultsFileTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void namesComeBackAsWritten_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("Windows-1252") << u"Größe.txt"_s << u"Größe.txt"_s;
        QTest::newRow("beyond Windows-1252") << u"Ωmega ☃.txt"_s << u"Ωmega ☃.txt"_s;
        QTest::newRow("equals sign") << u"a=b.txt"_s << u"a=b.txt"_s;
        QTest::newRow("line breaks cannot pose as keys") << u"x\r\nServer=evil"_s << u"x  Server=evil"_s;
        QTest::newRow("a bracket line") << u"x\n[9]"_s << u"x [9]"_s;
    }

    void namesComeBackAsWritten()
    {
        QFETCH(QString, name);
        QFETCH(QString, readBack);
        const QString file = m_dir->filePath(u"liste.toserve"_s);
        QVERIFY(ResultsFile::Write(file, {{name, u"host"_s, u"/"_s, u"1"_s, QString(), QString()}}));
        const auto hits = ResultsFile::Read(file);
        QVERIFY(hits);
        QCOMPARE(hits->size(), 1);
        QCOMPARE(hits->first().name, readBack);
        QCOMPARE(hits->first().server, u"host"_s);
    }

    void suggestedNamesCarryAFreeNumber_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("suggestion");
        QTest::newRow("first number")
            << u"readme.txt"_s << QStringList{u"readme.txt"_s} << u"readme(1).txt"_s;
        QTest::newRow("next free number")
            << u"readme.txt"_s << QStringList{u"readme.txt"_s, u"readme(1).txt"_s, u"readme(2).txt"_s}
            << u"readme(3).txt"_s;
        QTest::newRow("no extension") << u"README"_s << QStringList{u"README"_s} << u"README(1)"_s;
        QTest::newRow("last dot") << u"archiv.tar.gz"_s << QStringList{} << u"archiv.tar(1).gz"_s;
    }

    void suggestedNamesCarryAFreeNumber()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, existing);
        QFETCH(QString, suggestion);
        for (const QString &file : existing)
            QVERIFY(WriteFileContent(m_dir->filePath(file), "x"));
        QCOMPARE(SaveTargets::SuggestedName(name, m_dir->path() + u'/'), suggestion);
    }

    void safeNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("safe");
        QTest::newRow("plain") << u"lied.mp3"_s << true;
        QTest::newRow("dots inside") << u"..lied..mp3"_s << true;
        QTest::newRow("parent") << u".."_s << false;
        QTest::newRow("current") << u"."_s << false;
        QTest::newRow("slash") << u"../x"_s << false;
        QTest::newRow("backslash") << u"..\\x"_s << false;
        QTest::newRow("empty") << QString() << false;
    }

    void safeNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, safe);
        QCOMPARE(SaveTargets::IsSafeName(name), safe);
    }

    // Four files, of which those marked exist; the answers are given in turn.
    void answersDecideTheTargets_data()
    {
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<QStringList>("targets");
        QTest::addColumn<int>("questions");
        QTest::newRow("replace one, then asked again")
            << QList<Answer>{Answer::Replace, Answer::Keep}
            << QStringList{u"a.txt"_s, u"b.txt"_s, QString(), u"d.txt"_s} << 2;
        QTest::newRow("replace all") << QList<Answer>{Answer::ReplaceAll}
                                     << QStringList{u"a.txt"_s, u"b.txt"_s, u"c.txt"_s, u"d.txt"_s} << 1;
        QTest::newRow("keep all") << QList<Answer>{Answer::KeepAll}
                                  << QStringList{u"a.txt"_s, QString(), QString(), u"d.txt"_s} << 1;
        QTest::newRow("rename all") << QList<Answer>{Answer::RenameAll}
                                    << QStringList{u"a.txt"_s, u"b(1).txt"_s, u"c(1).txt"_s, u"d.txt"_s} << 1;
        QTest::newRow("rename one to the typed name")
            << QList<Answer>{Answer::Rename, Answer::Replace}
            << QStringList{u"a.txt"_s, u"getippt"_s, u"c.txt"_s, u"d.txt"_s} << 2;
        QTest::newRow("stop") << QList<Answer>{Answer::Stop} << QStringList{u"a.txt"_s, QString()} << 1;
    }

    void answersDecideTheTargets()
    {
        QFETCH(QList<Answer>, answers);
        QFETCH(QStringList, targets);
        QFETCH(int, questions);
        for (const QString &existing : {u"b.txt"_s, u"c.txt"_s})
            QVERIFY(WriteFileContent(m_dir->filePath(existing), "x"));
        const QString folder = m_dir->path() + u'/';
        SaveTargets saving(folder);
        int asked = 0;
        const SaveTargets::Ask ask = [&](const QString &, const QString &, QString &typed) {
            typed = u"getippt"_s;
            return answers.value(asked++, Answer::Keep);
        };
        QStringList chosen;
        for (const QString &name : {u"a.txt"_s, u"b.txt"_s, u"c.txt"_s, u"d.txt"_s}) {
            const QString target = saving.TargetFor(name, ask);
            chosen.append(target.isEmpty() ? QString() : target.mid(folder.size()));
            if (saving.Stopped())
                break;
            // What is saved exists afterwards.
            if (!target.isEmpty())
                QVERIFY(WriteFileContent(target, "x"));
        }
        QCOMPARE(chosen, targets);
        QCOMPARE(asked, questions);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir; // new for every test
};

QTEST_GUILESS_MAIN(ResultsFileTest)
#include "test_resultsfile.moc"
