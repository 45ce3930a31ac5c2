#include "tinifile.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// One edit per entry: "w|section|key|value", "e|section" or "d|section|key".
void ApplyEdits(TIniFile &ini, const QStringList &edits)
{
    for (const QString &edit : edits) {
        const QStringList part = edit.split(u'|');
        if (part[0] == u"w")
            ini.WriteString(part[1], part[2], part.value(3));
        else if (part[0] == u"e")
            ini.EraseSection(part[1]);
        else if (part[0] == u"d")
            ini.DeleteKey(part[1], part[2]);
    }
}

} // namespace

class TIniFileTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(u"test.ini"_s);
        QFile::remove(m_path);
    }

    void writesExactBytes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("new file gets a blank line and the section")
            << QByteArray() << QStringList{u"w|Web|FTP_Server|ftp.example.org"_s}
            << QByteArray("\r\n[Web]\r\nFTP_Server=ftp.example.org\r\n");
        QTest::newRow("new keys go directly under the header")
            << QByteArray("[Web]\r\nA=1\r\n") << QStringList{u"w|Web|B|2"_s, u"w|Web|C|3"_s}
            << QByteArray("[Web]\r\nC=3\r\nB=2\r\nA=1\r\n");
        QTest::newRow("a rewritten key keeps its place, its value changes")
            << QByteArray("[Web]\r\nA=1\r\nB=2\r\nC=3\r\n") << QStringList{u"w|web|b|neu"_s}
            << QByteArray("[Web]\r\nA=1\r\nb=neu\r\nC=3\r\n");
        QTest::newRow("only the text before the first = is the key")
            << QByteArray("[S]\r\nK=a=b\r\nK2=x\r\n") << QStringList{u"w|S|K2|y"_s}
            << QByteArray("[S]\r\nK=a=b\r\nK2=y\r\n");
        QTest::newRow("key names are not trimmed")
            << QByteArray("[S]\r\nK =1\r\n") << QStringList{u"w|S|K|2"_s}
            << QByteArray("[S]\r\nK=2\r\nK =1\r\n");
        QTest::newRow("a new section is appended after a blank line")
            << QByteArray("[A]\r\nx=1\r\n") << QStringList{u"w|B|y|2"_s}
            << QByteArray("[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
        QTest::newRow("the first of two equal headers counts")
            << QByteArray("[A]\r\nx=1\r\n[a]\r\nx=2\r\n") << QStringList{u"w|A|x|3"_s}
            << QByteArray("[A]\r\nx=3\r\n[a]\r\nx=2\r\n");
        QTest::newRow("an empty value removes the key")
            << QByteArray("[A]\r\nx=1\r\ny=2\r\n") << QStringList{u"w|A|x|"_s}
            << QByteArray("[A]\r\ny=2\r\n");
        QTest::newRow("erasing removes the header up to the next header")
            << QByteArray("[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n\r\n[C]\r\nz=3\r\n") << QStringList{u"e|b"_s}
            << QByteArray("[A]\r\nx=1\r\n\r\n[C]\r\nz=3\r\n");
        QTest::newRow("erasing removes a second header of the name too")
            << QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n[a]\r\nx=2\r\n") << QStringList{u"e|A"_s}
            << QByteArray("[B]\r\ny=2\r\n");
        QTest::newRow("deleting a key")
            << QByteArray("[A]\r\nx=1\r\ny=2\r\n") << QStringList{u"d|A|Y"_s} << QByteArray("[A]\r\nx=1\r\n");
        QTest::newRow("LF files come back with CR LF")
            << QByteArray("[A]\nx=1\n") << QStringList{u"w|A|x|2"_s} << QByteArray("[A]\r\nx=2\r\n");
        QTest::newRow("a key of a later section is not taken for the first")
            << QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n") << QStringList{u"w|A|y|3"_s}
            << QByteArray("[A]\r\ny=3\r\nx=1\r\n[B]\r\ny=2\r\n");
        QTest::newRow("a line that is no header still ends the section")
            << QByteArray("[A]\r\nx=1\r\n[kaputt\r\ny=2\r\n") << QStringList{u"w|A|y|3"_s}
            << QByteArray("[A]\r\ny=3\r\nx=1\r\n[kaputt\r\ny=2\r\n");
        QTest::newRow("line breaks in a value cannot make new keys")
            << QByteArray("[A]\r\n") << QStringList{u"w|A|x|1\r\n[B]\nz=2"_s}
            << QByteArray("[A]\r\nx=1 [B] z=2\r\n");
        QTest::newRow("a character outside Windows-1252 makes the file UTF-8")
            << QByteArray("[A]\r\nx=Gr\xf6\xdf"
                          "e\r\n")
            << QStringList{u"w|A|y|Ωmega"_s}
            << QByteArray("[A]\r\ny=\xce\xa9mega\r\nx=Gr\xc3\xb6\xc3\x9f"
                          "e\r\n");
        QTest::newRow("umlauts alone are written in Windows-1252") << QByteArray("[A]\r\nx=Gr\xc3\xb6\xc3\x9f"
                                                                                 "e\r\n")
                                                                   << QStringList{u"w|A|y|1"_s}
                                                                   << QByteArray("[A]\r\ny=1\r\nx=Gr\xf6\xdf"
                                                                                 "e\r\n");
        QTest::newRow("code page bytes that spell UTF-8 make the file UTF-8")
            << QByteArray("[A]\r\n") << QStringList{u"w|A|x|Ã¼ber"_s}
            << QByteArray("[A]\r\nx=\xc3\x83\xc2\xbc"
                          "ber\r\n");
        QTest::newRow("a mark that is text stays behind the one reading drops")
            << QByteArray("\xef\xbb\xbf\xef\xbb\xbf[A]\r\n") << QStringList{u"w|B|x|1"_s}
            << QByteArray("\xef\xbb\xbf\xef\xbb\xbf[A]\r\n\r\n[B]\r\nx=1\r\n");
    }

    void writesExactBytes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, edits);
        QFETCH(QByteArray, after);
        if (!before.isNull())
            WriteBytes(m_path, before);
        {
            TIniFile ini(m_path);
            ApplyEdits(ini, edits);
        }
        QCOMPARE(ReadBytes(m_path), after);
    }

    void editsThatChangeNothingLeaveTheFileAlone_data()
    {
        QTest::addColumn<QStringList>("edits");
        QTest::newRow("only reading") << QStringList{};
        QTest::newRow("empty value of an absent key") << QStringList{u"w|A|nichts|"_s};
        QTest::newRow("empty value in an absent section") << QStringList{u"w|Fehlt|x|"_s};
        QTest::newRow("erasing an absent section") << QStringList{u"e|Fehlt"_s};
        QTest::newRow("writing the value that is there") << QStringList{u"w|A|x|1"_s};
    }

    void editsThatChangeNothingLeaveTheFileAlone()
    {
        QFETCH(QStringList, edits);
        // LF line ends and UTF-8: any rewrite would show in the bytes.
        const QByteArray original("[A]\nx=1\ny=Gr\xc3\xb6\xc3\x9f"
                                  "e\n");
        WriteBytes(m_path, original);
        const QDateTime stamp = QDateTime::currentDateTime().addDays(-3);
        {
            QFile file(m_path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(stamp, QFileDevice::FileModificationTime));
        }
        {
            TIniFile ini(m_path);
            QCOMPARE(ini.ReadString(u"a"_s, u"Y"_s, QString()), u"Größe"_s);
            ApplyEdits(ini, edits);
            QVERIFY(!ini.Modified());
        }
        QCOMPARE(ReadBytes(m_path), original);
        QCOMPARE(QFileInfo(m_path).lastModified(), stamp);
    }

    void readsFilesOfTheOldPlatform()
    {
        WriteBytes(m_path, "[Gr\xfc\xdf"
                           "e]\r\nOrdner=/\x84"
                           "Daten\x93"
                           "/\x80\r\n\r\n[Zwei]\r\nx=1\r\n");
        const TIniFile ini(m_path);
        QCOMPARE(ini.ReadSections(), (QStringList{u"Grüße"_s, u"Zwei"_s}));
        QCOMPARE(ini.ReadString(u"GRÜßE"_s, u"ordner"_s, QString()), u"/„Daten“/€"_s);
    }

    void readsValuesWithTheirDefaults_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("asInteger");
        QTest::addColumn<int>("asBool"); // -1: the default

        QTest::newRow("minus one") << u"-1"_s << -1 << 1;
        QTest::newRow("zero") << u"0"_s << 0 << 0;
        QTest::newRow("any number is true") << u"7"_s << 7 << 1;
        QTest::newRow("blanks around a number") << u" 42 "_s << 42 << 1;
        QTest::newRow("True") << u"tRUE"_s << 99 << 1;
        QTest::newRow("False") << u"FALSE"_s << 99 << 0;
        QTest::newRow("text") << u"ja"_s << 99 << -1;
        QTest::newRow("number with text") << u"12abc"_s << 99 << -1;
        QTest::newRow("empty") << QString() << 99 << -1;
    }

    void readsValuesWithTheirDefaults()
    {
        QFETCH(QString, stored);
        QFETCH(int, asInteger);
        QFETCH(int, asBool);
        WriteBytes(m_path, "[S]\r\nk=" + stored.toLatin1() + "\r\n");
        const TIniFile ini(m_path);
        QCOMPARE(ini.ReadInteger(u"S"_s, u"k"_s, 99), asInteger);
        const bool expected = asBool == -1 ? true : asBool == 1;
        QCOMPARE(ini.ReadBool(u"S"_s, u"k"_s, true), expected);
        if (asBool == -1)
            QCOMPARE(ini.ReadBool(u"S"_s, u"k"_s, false), false);
    }

    void writesTypedValues()
    {
        {
            TIniFile ini(m_path);
            ini.WriteBool(u"S"_s, u"an"_s, true);
            ini.WriteBool(u"S"_s, u"aus"_s, false);
            ini.WriteInteger(u"S"_s, u"zahl"_s, -17);
            ini.WriteFloat(u"S"_s, u"bruch"_s, 1234.5);
            ini.WriteDateTime(u"S"_s, u"mitternacht"_s, QDateTime(QDate(2024, 3, 9), QTime(0, 0)));
            ini.WriteDateTime(u"S"_s, u"zeit"_s, QDateTime(QDate(2024, 3, 9), QTime(1, 30, 5)));
        }
        QCOMPARE(ReadBytes(m_path),
                 QByteArray("\r\n[S]\r\nzeit=09.03.2024 01:30:05\r\nmitternacht=09.03.2024\r\n"
                            "bruch=1234,5\r\nzahl=-17\r\naus=0\r\nan=-1\r\n"));
        const TIniFile ini(m_path);
        QCOMPARE(ini.ReadFloat(u"S"_s, u"bruch"_s, 0), 1234.5);
    }

    void dateTimesReadBackInEveryLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
        QTest::newRow("US English") << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("Japanese") << QLocale(QLocale::Japanese, QLocale::Japan);
        QTest::newRow("C") << QLocale::c();
    }

    void dateTimesReadBackInEveryLocale()
    {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        const QDateTime values[] = {QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58)),
                                    QDateTime(QDate(2031, 1, 2), QTime(0, 0)),
                                    QDateTime(QDate(2024, 7, 1), QTime(13, 0, 1))};
        {
            TIniFile ini(m_path);
            for (int i = 0; i < 3; ++i)
                ini.WriteDateTime(u"S"_s, QString::number(i), values[i]);
        }
        const TIniFile ini(m_path);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(ini.ReadDateTime(u"S"_s, QString::number(i), QDateTime()), values[i]);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

    void germanDatesReadAnywhereAndGarbageGivesTheDefault()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        WriteBytes(m_path, "[S]\r\nalt=20.03.2023 01:30:00\r\nkaputt=gestern\r\n");
        const TIniFile ini(m_path);
        const QDateTime fallback(QDate(2000, 1, 1), QTime(0, 0));
        QCOMPARE(ini.ReadDateTime(u"S"_s, u"alt"_s, fallback), QDateTime(QDate(2023, 3, 20), QTime(1, 30)));
        QCOMPARE(ini.ReadDateTime(u"S"_s, u"kaputt"_s, fallback), fallback);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

    void listsSectionsAndKeys()
    {
        WriteBytes(m_path, "[A]\r\nx=1\r\n\r\ny=\r\nnur text\r\n[B]\r\n[]\r\n[a]\r\nz=1\r\n");
        const TIniFile ini(m_path);
        QCOMPARE(ini.ReadSections(), (QStringList{u"A"_s, u"B"_s}));
        QCOMPARE(ini.ReadSection(u"a"_s), (QStringList{u"x"_s, u"y"_s}));
        QCOMPARE(ini.ReadSectionValues(u"A"_s), (QStringList{u"x=1"_s, u"y="_s, u"nur text"_s}));
        QVERIFY(ini.ValueExists(u"A"_s, u"Y"_s));
        QCOMPARE(ini.ReadString(u"A"_s, u"y"_s, u"leer"_s), u"leer"_s);
        QVERIFY(!ini.SectionExists(u"C"_s));
    }

    void rewritesAReadOnlyFile()
    {
        WriteBytes(m_path, "[A]\r\nx=1\r\n");
        QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::ReadUser));
        {
            TIniFile ini(m_path);
            ini.WriteString(u"A"_s, u"x"_s, u"2"_s);
            QVERIFY(ini.UpdateFile());
        }
        QCOMPARE(ReadBytes(m_path), QByteArray("[A]\r\nx=2\r\n"));
        QVERIFY(QFile::permissions(m_path) & QFile::WriteOwner);
    }

    void aFileThatCannotBeWrittenIsReported()
    {
        TIniFile ini(m_dir.filePath(u"fehlt/test.ini"_s));
        ini.WriteString(u"A"_s, u"x"_s, u"1"_s);
        QVERIFY(!ini.UpdateFile());
        QVERIFY(ini.Modified());
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

QTEST_GUILESS_MAIN(TIniFileTest)
#include "test_tinifile.moc"
