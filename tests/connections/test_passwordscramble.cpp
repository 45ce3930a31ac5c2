#include "passwordscramble.h"

#include "textcodec.h"

#include <QRandomGenerator>
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
        QTest::newRow("Windows-1252 bytes that are UTF-8 of another text") << u"Ç©"_s << u"2u8="_s;
        QTest::newRow("degree sign after sharp s") << u"Maß°C"_s << u"YLOl3Hg="_s;
        QTest::newRow("UTF-8 behind a mark when a character does not fit") << u"Ωmega"_s << u"AlF9stKYE5XW"_s;
        QTest::newRow("astral plane") << u"😀"_s << u"AlF91AzztA=="_s;
        QTest::newRow("leading byte-order mark") << u"\uFEFFgeheim"_s << u"AlF90yZQH6HnQ6wn"_s;
        QTest::newRow("Windows-1252 text that spells the mark") << u"ï»¿x"_s << u"AlF9p8LjCTw2/A=="_s;
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

    // Random passwords of every kind of character read back as written, and
    // a password fits exactly when its stored form does.
    void randomPasswordsRoundTrip_data()
    {
        QTest::addColumn<QList<char32_t>>("alphabet");
        QTest::addColumn<QString>("prefix");
        const auto range = [](char32_t first, char32_t last) {
            QList<char32_t> characters;
            for (char32_t c = first; c <= last; ++c)
                characters.append(c);
            return characters;
        };
        const QList<char32_t> windowsSpecials = {u'€', u'‚', u'ƒ', u'„', u'…', u'†', u'‡', u'ˆ', u'‰',
                                                 u'Š', u'‹', u'Œ', u'Ž', u'‘', u'’', u'“', u'”', u'•',
                                                 u'–', u'—', u'˜', u'™', u'š', u'›', u'œ', u'ž', u'Ÿ'};
        QList<char32_t> bmp = range(0x100, 0xD7FF) + range(0xE000, 0xFFFD);
        QTest::newRow("ASCII") << range(0x20, 0x7E) << QString();
        QTest::newRow("Latin-1") << range(0xA0, 0xFF) << QString();
        QTest::newRow("Windows-1252 specials") << windowsSpecials << QString();
        QTest::newRow("Latin-1 and specials") << range(0xA0, 0xFF) + windowsSpecials << QString();
        QTest::newRow("beyond Windows-1252") << bmp << QString();
        QTest::newRow("mixed") << range(0x20, 0x7E) + range(0xA0, 0xFF) + bmp << QString();
        QTest::newRow("astral plane") << range(0x1F600, 0x1F64F) + range(0x20000, 0x200FF) << QString();
        QTest::newRow("leading byte-order mark") << range(0x20, 0xFF) << u"\uFEFF"_s;
        QTest::newRow("leading mark spelled in Windows-1252") << range(0x20, 0xFF) << u"ï»¿"_s;
    }

    void randomPasswordsRoundTrip()
    {
        QFETCH(QList<char32_t>, alphabet);
        QFETCH(QString, prefix);
        QRandomGenerator random(20240331);
        for (int round = 0; round < 300; ++round) {
            // Lengths around the limit come up as often as short ones.
            const int length = round % 3 == 0 ? int(random.bounded(400)) : int(random.bounded(24));
            QString password = prefix;
            while (password.size() < length)
                password += QString::fromUcs4(&alphabet[random.bounded(alphabet.size())], 1);
            const std::optional<QString> stored = ScramblePassword(password);
            QCOMPARE(stored.has_value(), PasswordFitsStorage(password));
            if (!stored)
                continue;
            QVERIFY(stored->size() <= kMaxScrambledLength);
            QCOMPARE(UnscramblePassword(*stored), std::optional<QString>(password));
        }
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
        QTest::newRow("mark and 381 UTF-8 bytes") << QString(190, u'Ω') + u'x' << true;
        QTest::newRow("mark and 382 UTF-8 bytes") << QString(191, u'Ω') << false;
        QTest::newRow("empty") << QString() << true;
    }

    void limitsAreEnforced()
    {
        QFETCH(QString, password);
        QFETCH(bool, fits);
        QCOMPARE(PasswordFitsStorage(password), fits);
        const auto stored = ScramblePassword(password);
        QCOMPARE(stored.has_value(), fits);
        if (fits && !password.isEmpty()) {
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
