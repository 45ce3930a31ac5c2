// The overwrite rules and the two prompt windows that ask before a file is
// replaced.

#include "operationflags.h"
#include "overwritedecision.h"
#include "promptanswer.h"
#include "tasrewrdlg.h"
#include "tfrageueberschreiben.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(OverwriteAnswer)
Q_DECLARE_METATYPE(TransferChoice)
Q_DECLARE_METATYPE(TasrewrDlg::Answer)

namespace {

const QDateTime kExisting(QDate(2024, 3, 5), QTime(10, 20, 30, 0), Qt::UTC);

// How a test closes a prompt.
enum class Gesture { Click, Enter, Escape, Frame, FocusAndEnter };

void Answer(QDialog &dialog, Gesture gesture, const QString &button)
{
    switch (gesture) {
    case Gesture::Click:
        dialog.findChild<QPushButton *>(button)->click();
        break;
    case Gesture::Enter:
        QTest::keyClick(&dialog, Qt::Key_Return);
        break;
    case Gesture::Escape:
        QTest::keyClick(&dialog, Qt::Key_Escape);
        break;
    case Gesture::Frame:
        dialog.close();
        break;
    case Gesture::FocusAndEnter: {
        // The user tabs to a button and presses Enter there.
        auto *target = dialog.findChild<QPushButton *>(button);
        target->setFocus(Qt::TabFocusReason);
        QTest::keyClick(target, Qt::Key_Return);
        break;
    }
    }
}

} // namespace

Q_DECLARE_METATYPE(Gesture)

class PromptsTest : public QObject {
    Q_OBJECT

private slots:
    void overwriteRules_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("resumable");
        QTest::addColumn<qint64>("sourceLaterMs"); // source time minus existing time
        QTest::addColumn<bool>("newOnly");
        QTest::addColumn<bool>("noPrompt");
        QTest::addColumn<bool>("yesToAll");
        QTest::addColumn<bool>("noToAll");
        QTest::addColumn<OverwriteAnswer>("answer");
        QTest::addColumn<TransferChoice>("choice");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QString>("flagsAfter"); // Y yes to all, N no to all, C cancel

        const auto Y = OverwriteAnswer::Yes;
        const auto skip = TransferChoice::Skip;
        const auto replace = TransferChoice::Replace;
        const auto resume = TransferChoice::Continue;
        QTest::newRow("missing target: no question")
            << false << false << 0LL << true << false << false << true << Y << replace << false << u"N"_s;
        QTest::newRow("new only, equal times")
            << true << false << 0LL << true << true << false << false << Y << skip << false << u""_s;
        QTest::newRow("new only, 1 ms counts as equal")
            << true << false << 1LL << true << true << false << false << Y << skip << false << u""_s;
        QTest::newRow("new only, 2 ms later")
            << true << false << 2LL << true << true << false << false << Y << replace << false << u""_s;
        QTest::newRow("new only, existing is newer")
            << true << false << -60000LL << true << true << false << false << Y << skip << false << u""_s;
        QTest::newRow("new only, still asks") << true << false << 60000LL << true << false << false << false
                                              << OverwriteAnswer::No << skip << true << u""_s;
        QTest::newRow("no to all wins over no prompt")
            << true << false << 0LL << false << true << false << true << Y << skip << false << u"N"_s;
        QTest::newRow("yes to all") << true << false << 0LL << false << false << true << false << Y << replace
                                    << false << u"Y"_s;
        QTest::newRow("no prompt") << true << false << 0LL << false << true << false << false << Y << replace
                                   << false << u""_s;
        QTest::newRow("answer Ja") << true << false << 0LL << false << false << false << false << Y << replace
                                   << true << u""_s;
        QTest::newRow("answer Ja zu allen") << true << false << 0LL << false << false << false << false
                                            << OverwriteAnswer::YesToAll << replace << true << u"Y"_s;
        QTest::newRow("answer Nein") << true << false << 0LL << false << false << false << false
                                     << OverwriteAnswer::No << skip << true << u""_s;
        QTest::newRow("answer Nein zu allen") << true << false << 0LL << false << false << false << false
                                              << OverwriteAnswer::NoToAll << skip << true << u"N"_s;
        QTest::newRow("answer Abbrechen") << true << false << 0LL << false << false << false << false
                                          << OverwriteAnswer::Cancel << skip << true << u"C"_s;
        // Partial data: "Fortsetzen" continues it; where no question is
        // asked, it is started over rather than trusted.
        QTest::newRow("answer Fortsetzen") << true << true << 0LL << false << false << false << false
                                           << OverwriteAnswer::Continue << resume << true << u""_s;
        QTest::newRow("only partial data is asked about")
            << false << true << 0LL << true << false << false << false << OverwriteAnswer::Continue << resume
            << true << u""_s;
        QTest::newRow("only partial data, no prompt starts over")
            << false << true << 0LL << false << true << false << false << Y << replace << false << u""_s;
        QTest::newRow("only partial data, no to all starts over")
            << false << true << 0LL << false << false << false << true << Y << replace << false << u"N"_s;
        QTest::newRow("smaller file, new only keeps a newer one")
            << true << true << -60000LL << true << false << false << false << Y << skip << false << u""_s;
        QTest::newRow("nothing to continue: Fortsetzen replaces")
            << true << false << 0LL << false << false << false << false << OverwriteAnswer::Continue
            << replace << true << u""_s;
    }

    void overwriteRules()
    {
        QFETCH(bool, exists);
        QFETCH(bool, resumable);
        QFETCH(qint64, sourceLaterMs);
        QFETCH(bool, newOnly);
        QFETCH(bool, noPrompt);
        QFETCH(bool, yesToAll);
        QFETCH(bool, noToAll);
        QFETCH(OverwriteAnswer, answer);
        QFETCH(TransferChoice, choice);
        QFETCH(bool, asked);
        QFETCH(QString, flagsAfter);

        OperationFlags flags;
        flags.YesToAll = yesToAll;
        flags.NoToAll = noToAll;
        const ExistingTarget target{exists, kExisting.addMSecs(sourceLaterMs), kExisting, resumable};
        bool wasAsked = false;
        const TransferChoice decided = DecideTransfer(target, {newOnly, noPrompt}, flags, [&] {
            wasAsked = true;
            return answer;
        });
        QCOMPARE(decided, choice);
        QCOMPARE(wasAsked, asked);
        QCOMPARE(flags.YesToAll, flagsAfter.contains(u'Y'));
        QCOMPARE(flags.NoToAll, flagsAfter.contains(u'N'));
        QCOMPARE(flags.CancelRequested, flagsAfter.contains(u'C'));
    }

    void unknownRemoteTimeIsNeverNewer()
    {
        OperationFlags flags;
        QCOMPARE(DecideTransfer({true, QDateTime(), kExisting}, {true, true}, flags,
                                [] { return OverwriteAnswer::Yes; }),
                 TransferChoice::Skip);
    }

    void overwritePrompt_data()
    {
        QTest::addColumn<Gesture>("gesture");
        QTest::addColumn<QString>("button");
        QTest::addColumn<OverwriteAnswer>("expected");
        QTest::newRow("Ja") << Gesture::Click << u"Button1"_s << OverwriteAnswer::Yes;
        QTest::newRow("Ja zu allen") << Gesture::Click << u"Button2"_s << OverwriteAnswer::YesToAll;
        QTest::newRow("Nein") << Gesture::Click << u"Button3"_s << OverwriteAnswer::No;
        QTest::newRow("Nein zu allen") << Gesture::Click << u"Button4"_s << OverwriteAnswer::NoToAll;
        QTest::newRow("Abbrechen") << Gesture::Click << u"Button5"_s << OverwriteAnswer::Cancel;
        QTest::newRow("Enter replaces") << Gesture::Enter << QString() << OverwriteAnswer::Yes;
        QTest::newRow("Enter on Nein keeps") << Gesture::FocusAndEnter << u"Button3"_s << OverwriteAnswer::No;
        QTest::newRow("Enter on Abbrechen stops")
            << Gesture::FocusAndEnter << u"Button5"_s << OverwriteAnswer::Cancel;
        QTest::newRow("Enter on Nein zu allen")
            << Gesture::FocusAndEnter << u"Button4"_s << OverwriteAnswer::NoToAll;
        QTest::newRow("Esc stops") << Gesture::Escape << QString() << OverwriteAnswer::Cancel;
        QTest::newRow("window frame stops") << Gesture::Frame << QString() << OverwriteAnswer::Cancel;
        QTest::newRow("Fortsetzen") << Gesture::Click << u"Button6"_s << OverwriteAnswer::Continue;
    }

    void overwritePrompt()
    {
        QFETCH(Gesture, gesture);
        QFETCH(QString, button);
        QFETCH(OverwriteAnswer, expected);

        Tfrageueberschreiben prompt;
        QCOMPARE(prompt.windowTitle(), u"Datei überschreiben"_s);
        const OverwriteQuestion question{
            u"/home/u/a.txt"_s, u"05.03.2024 10:20:30"_s, SizeText(12),
            u"a.txt"_s,         u"06.03.2024 11:00:00"_s, SizeText(3000000000LL)};
        // "Fortsetzen" is there only when the question offers it.
        const bool offered = expected == OverwriteAnswer::Continue;
        QStringList shown;
        bool continueShown = !offered;
        PromptAnswer<Tfrageueberschreiben> answer([&](Tfrageueberschreiben &dialog, int) {
            shown = {dialog.Edit1->text(), dialog.Label4->text(), dialog.Label2->text(),
                     dialog.Edit2->text(), dialog.Label5->text(), dialog.Label6->text()};
            continueShown = dialog.Button6->isVisible();
            Answer(dialog, gesture, button);
        });
        OverwriteQuestion asked = question;
        asked.offerContinue = offered;
        QCOMPARE(prompt.Ask(asked), expected);
        QCOMPARE(continueShown, offered);
        QCOMPARE(prompt.Button6->text(), u"Fortsetzen"_s);
        QCOMPARE(answer.Answered(), 1);
        QCOMPARE(shown, (QStringList{u"/home/u/a.txt"_s, u"05.03.2024 10:20:30"_s, u"12 Byte"_s, u"a.txt"_s,
                                     u"06.03.2024 11:00:00"_s, u"3000000000 Byte"_s}));
        QVERIFY(!prompt.isVisible());
    }

    // The five answers keep their places, "Fortsetzen" comes after them
    // where it is offered, and every caption is shown whole.
    void overwritePromptButtons_data()
    {
        QTest::addColumn<bool>("offerContinue");
        QTest::newRow("five answers") << false;
        QTest::newRow("with Fortsetzen") << true;
    }

    void overwritePromptButtons()
    {
        QFETCH(bool, offerContinue);
        Tfrageueberschreiben prompt;
        QStringList order;
        QStringList cut;
        PromptAnswer<Tfrageueberschreiben> answer([&](Tfrageueberschreiben &dialog, int) {
            QList<QPushButton *> shown;
            for (QPushButton *button : dialog.findChildren<QPushButton *>()) {
                if (button->isVisible())
                    shown << button;
            }
            std::sort(shown.begin(), shown.end(),
                      [](const QPushButton *a, const QPushButton *b) { return a->x() < b->x(); });
            for (const QPushButton *button : shown) {
                order << button->text();
                QStyleOptionButton option;
                option.initFrom(button);
                option.text = button->text();
                const QRect room =
                    button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
                if (button->fontMetrics().horizontalAdvance(button->text()) > room.width() ||
                    button->width() < button->sizeHint().width() ||
                    !dialog.rect().contains(button->geometry()))
                    cut << button->text();
            }
            dialog.Button3->click();
        });
        OverwriteQuestion question{u"/home/u/ein/recht/langer/pfad/zur/vorhandenen/datei.txt"_s,
                                   u"05.03.2024 10:20:30"_s,
                                   SizeText(12),
                                   u"datei.txt"_s,
                                   u"06.03.2024 11:00:00"_s,
                                   SizeText(3000000000LL)};
        question.offerContinue = offerContinue;
        QCOMPARE(prompt.Ask(question), OverwriteAnswer::No);
        QStringList expected{u"Ja"_s, u"Ja zu allen"_s, u"Nein"_s, u"Nein zu allen"_s, u"Abbrechen"_s};
        if (offerContinue)
            expected << u"Fortsetzen"_s;
        QCOMPARE(order, expected);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u", "_s)));
    }

    void renamePrompt_data()
    {
        QTest::addColumn<Gesture>("gesture");
        QTest::addColumn<QString>("button");
        QTest::addColumn<TasrewrDlg::Answer>("expected");
        QTest::newRow("Ja") << Gesture::Click << u"Button1"_s << TasrewrDlg::Answer::Replace;
        QTest::newRow("Ja zu allen") << Gesture::Click << u"Button2"_s << TasrewrDlg::Answer::ReplaceAll;
        QTest::newRow("Nein zu allen") << Gesture::Click << u"Button4"_s << TasrewrDlg::Answer::KeepAll;
        QTest::newRow("Umbenennen") << Gesture::Click << u"Button5"_s << TasrewrDlg::Answer::Rename;
        QTest::newRow("Alle umbenennen") << Gesture::Click << u"Button6"_s << TasrewrDlg::Answer::RenameAll;
        QTest::newRow("Abbrechen") << Gesture::Click << u"Button7"_s << TasrewrDlg::Answer::Stop;
        QTest::newRow("Enter keeps") << Gesture::Enter << QString() << TasrewrDlg::Answer::Keep;
        QTest::newRow("Enter on Umbenennen")
            << Gesture::FocusAndEnter << u"Button5"_s << TasrewrDlg::Answer::Rename;
        QTest::newRow("Esc keeps") << Gesture::Escape << QString() << TasrewrDlg::Answer::Keep;
        QTest::newRow("window frame keeps all") << Gesture::Frame << QString() << TasrewrDlg::Answer::KeepAll;
    }

    void renamePrompt()
    {
        QFETCH(Gesture, gesture);
        QFETCH(QString, button);
        QFETCH(TasrewrDlg::Answer, expected);

        QTemporaryDir folder;
        TasrewrDlg prompt;
        PromptAnswer<TasrewrDlg> answer([&](TasrewrDlg &dialog, int) {
            dialog.Edit1->setText(u"neu.txt"_s);
            Answer(dialog, gesture, button);
        });
        QCOMPARE(prompt.Ask(u"Die Datei \"a.txt\" bereits vorhanden. Wie möchten Sie vorgehen?"_s, u"a.txt"_s,
                            folder.path() + u'/'),
                 expected);
        QCOMPARE(prompt.NewName(), u"neu.txt"_s);
        QVERIFY(prompt.Label1->text().startsWith(u"Die Datei \"a.txt\""_s));
    }

    // Renaming is offered only while the typed name is free in the folder.
    void renameNeedsAFreeName()
    {
        QTemporaryDir folder;
        QFile taken(folder.filePath(u"vorhanden.txt"_s));
        QVERIFY(taken.open(QIODevice::WriteOnly));
        QVERIFY(QDir(folder.path()).mkdir(u"ordner"_s));
        TasrewrDlg prompt;
        QList<bool> enabled;
        PromptAnswer<TasrewrDlg> answer([&](TasrewrDlg &dialog, int) {
            for (const QString &name :
                 {u"vorhanden.txt"_s, u"frei.txt"_s, u"ordner"_s, QString(), u"a|b"_s}) {
                dialog.Edit1->setText(name);
                enabled << (dialog.Button5->isEnabled() && dialog.Button6->isEnabled());
            }
            dialog.Button3->click();
        });
        QCOMPARE(prompt.Ask(u"?"_s, u"vorhanden.txt"_s, folder.path() + u'/'), TasrewrDlg::Answer::Keep);
        QCOMPARE(enabled, (QList<bool>{false, true, false, false, true}));
    }
};

QTEST_MAIN(PromptsTest)
#include "test_prompts.moc"
