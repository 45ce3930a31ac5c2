// The delete prompt: its texts, one answer per button and key, the window
// frame, and the end of a long path in view.
#include "programstart.h"
#include "tfragedelete.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace Qt::StringLiterals;

class DeletePromptTest : public QObject {
    Q_OBJECT

private:
    // Asks once; the action runs from a timer while the prompt is up.
    DeleteAnswer AskAndDo(Tfragedelete &prompt, const QString &path, const std::function<void()> &action)
    {
        QTimer::singleShot(0, &prompt, [&prompt, action] {
            QTRY_VERIFY(prompt.isVisible());
            action();
        });
        return prompt.Ask(path, u"Datei"_s);
    }

private slots:
    void initTestCase() { InstallGermanLanguage(*QCoreApplication::instance()); }

    void texts()
    {
        Tfragedelete prompt;
        QString shownPath, kind;
        AskAndDo(prompt, u"/pub/a.txt"_s, [&] {
            shownPath = prompt.Edit1->text();
            kind = prompt.Label3->text();
            prompt.Button2->click();
        });
        QCOMPARE(prompt.windowTitle(), u"Das Löschen eines FTP Objektes bestätigen"_s);
        QCOMPARE(prompt.Label1->text(), u"Das Objekt"_s);
        QCOMPARE(prompt.Label2->text(), u"wirklich unwiderruflich löschen?"_s);
        QCOMPARE(shownPath, u"/pub/a.txt"_s);
        QCOMPARE(kind, u"Datei"_s);
        QVERIFY(prompt.Edit1->isReadOnly());
        const QStringList captions{prompt.OKBtn->text(), prompt.Button1->text(), prompt.Button2->text(),
                                   prompt.CancelBtn->text()};
        QCOMPARE(captions, (QStringList{u"Ja"_s, u"Ja zu allen"_s, u"Nein"_s, u"Abbrechen"_s}));
    }

    void answers_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<DeleteAnswer>("answer");
        QTest::newRow("Ja") << u"OKBtn"_s << DeleteAnswer::Yes;
        QTest::newRow("Ja zu allen") << u"Button1"_s << DeleteAnswer::YesToAll;
        QTest::newRow("Nein") << u"Button2"_s << DeleteAnswer::No;
        QTest::newRow("Abbrechen") << u"CancelBtn"_s << DeleteAnswer::Cancel;
        QTest::newRow("Enter") << u"Return"_s << DeleteAnswer::Yes;
        QTest::newRow("Enter on Nein") << u"Return:Button2"_s << DeleteAnswer::No;
        QTest::newRow("Enter on Abbrechen") << u"Return:CancelBtn"_s << DeleteAnswer::Cancel;
        QTest::newRow("Esc") << u"Escape"_s << DeleteAnswer::Cancel;
        QTest::newRow("window frame") << u"Frame"_s << DeleteAnswer::Closed;
    }
    void answers()
    {
        QFETCH(QString, gesture);
        Tfragedelete prompt;
        // The prompt is reused: a second question gets its own answer.
        for (int round = 0; round < 2; ++round) {
            const DeleteAnswer answer = AskAndDo(prompt, u"/x"_s, [&] {
                QWidget *focused = QApplication::focusWidget();
                if (gesture.startsWith(u"Return:"_s)) {
                    auto *button = prompt.findChild<QPushButton *>(gesture.mid(7));
                    button->setFocus(Qt::TabFocusReason);
                    QTest::keyClick(button, Qt::Key_Return);
                } else if (gesture == u"Return"_s)
                    QTest::keyClick(focused ? focused : &prompt, Qt::Key_Return);
                else if (gesture == u"Escape"_s)
                    QTest::keyClick(focused ? focused : &prompt, Qt::Key_Escape);
                else if (gesture == u"Frame"_s)
                    prompt.close();
                else
                    prompt.findChild<QPushButton *>(gesture)->click();
            });
            QTEST(answer, "answer");
            QVERIFY(!prompt.isVisible());
        }
    }

    void longPathShowsItsEnd()
    {
        Tfragedelete prompt;
        const QString path = u"/"_s + QString(u"sehr_langer_ordnername/"_s).repeated(12) + u"ende.txt"_s;
        int caret = -1;
        bool endVisible = false;
        AskAndDo(prompt, path, [&] {
            caret = prompt.Edit1->cursorPosition();
            // Once drawn, the field shows the caret, and with it the text's end.
            prompt.Edit1->grab();
            const QRect field = prompt.Edit1->rect();
            const QRect caretRect = prompt.Edit1->inputMethodQuery(Qt::ImCursorRectangle).toRect();
            endVisible = field.contains(caretRect.center());
            prompt.Button2->click();
        });
        QCOMPARE(caret, path.size());
        QVERIFY(endVisible);
        QVERIFY(prompt.Edit1->fontMetrics().horizontalAdvance(path) > prompt.Edit1->width());
    }
};

QTEST_MAIN(DeletePromptTest)
#include "test_deleteprompt.moc"
