#include "passwordscramble.h"

#include "textcodec.h"

#include <QTest>

using namespace Qt::StringLiterals;

class PasswordScrambleTest : public QObject {
    Q_OBJECT

private slots:
    // Expected texts worked out with a separate Python implementation of the
    // cipher (sum of the key's codes plus its length, Base64 of the output).
    void knownStoredTexts_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("stored");
        QTest::newRow("one letter") << u"a"_s << u"dA=="_s;
        QTest::newRow("word") << u"geheim"_s << u"eutq31bc"_s;
        QTest::newRow("letters and digits") << u"Passwort123"_s << u"Y7k/zWD2gBw6LCw="_s;
        QTest::newRow("longer than the key") << u"WandelerWandeler5K!"_s << u"asdIwjS1L7z+Ra8moRqUG2uhhg=="_s;
        QTest::newRow("e-mail address") << u"anonymous@example.com"_s << u"dOh3/Iwip0Gi5CSmMactuTN8hude"_s;
        QTest::newRow("Windows-1252 bytes") << u"Größe€"_s << u"WrjSTzzR"_s;
        QTest::newRow("Windows-1252 bytes that look like UTF-8") << u"Ã©"_s << u"1uc="_s;
        QTest::newRow("UTF-8 bytes when a character does not fit") << u"Ωmega"_s << u"4f3FP7Qs"_s;
        QTest::newRow("scrambled form with a zero byte") << u"e~"_s << u"eAA="_s;
        QTest::newRow("empty") << QString() << QString();
    }

    void knownStoredTexts()
    {
        QFETCH(QString, password);
        QFETCH(QString, stored);
        QCOMPARE(ScramblePassword(password), std::optional<QString>(stored));
        QCOMPARE(UnscramblePassword(stored), std::optional<QString>(password));
    }

    void everyByteValueRoundTrips()
    {
        QByteArray all;
        for (int byte = 1; byte < 256; ++byte) {
            const QString single = TextCodec::DecodeWindows1252(QByteArray(1, char(byte)));
            const auto stored = ScramblePassword(single);
            QVERIFY(stored);
            QCOMPARE(UnscramblePassword(*stored), std::optional<QString>(single));
            all.append(char(byte));
        }
        const QString everything = TextCodec::DecodeWindows1252(all);
        QCOMPARE(UnscramblePassword(ScramblePassword(everything).value()),
                 std::optional<QString>(everything));
        QCOMPARE(ScramblePassword(everything), ScramblePassword(everything));
    }

    void decodingStopsAtTheFirstForeignCharacter()
    {
        QCOMPARE(UnscramblePassword(u"eutq31bc!dA=="_s), std::optional<QString>(u"geheim"_s));
        QCOMPARE(UnscramblePassword(u"eutq31bc\r\n"_s), std::optional<QString>(u"geheim"_s));
    }

    void limitsAreEnforced_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("fits");
        QTest::newRow("384 ASCII bytes") << QString(384, u'x') << true;
        QTest::newRow("385 ASCII bytes") << QString(385, u'x') << false;
        QTest::newRow("384 umlauts are 384 bytes") << QString(384, u'ä') << true;
        QTest::newRow("200 Greek letters are 400 UTF-8 bytes") << QString(200, u'Ω') << false;
    }

    void limitsAreEnforced()
    {
        QFETCH(QString, password);
        QFETCH(bool, fits);
        QCOMPARE(PasswordFitsStorage(password), fits);
        const auto stored = ScramblePassword(password);
        QCOMPARE(stored.has_value(), fits);
        if (fits) {
            QCOMPARE(stored->size(), kMaxScrambledLength);
            QCOMPARE(UnscramblePassword(*stored), std::optional<QString>(password));
        }
    }

    void overlongStoredTextsAreRefused()
    {
        QVERIFY(UnscramblePassword(QString(512, u'A')));
        QVERIFY(!UnscramblePassword(QString(513, u'A')));
    }
};

QTEST_GUILESS_MAIN(PasswordScrambleTest)
#include "test_passwordscramble.moc"
