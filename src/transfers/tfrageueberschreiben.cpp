#include "tfrageueberschreiben.h"

#include "promptwindow.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace PromptWindow;

namespace {

constexpr int kFieldWidth = 440;

} // namespace

Tfrageueberschreiben::Tfrageueberschreiben(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"Tfrageueberschreiben"_s);
    setWindowTitle(u"Datei überschreiben"_s);
    setModal(true);

    Label1 = Text(u"Label1"_s, u"Vorhandene Datei:"_s);
    Edit1 = ReadOnlyField(u"Edit1"_s);
    Label4 = Text(u"Label4"_s);
    Label2 = Text(u"Label2"_s);
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label3 = Text(u"Label3"_s, u"Quelldatei"_s);
    Edit2 = ReadOnlyField(u"Edit2"_s);
    Label5 = Text(u"Label5"_s);
    Label6 = Text(u"Label6"_s);
    Label6->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Image1 = Icon(u"Image1"_s, QStyle::SP_FileIcon, *this);
    Image2 = Icon(u"Image2"_s, QStyle::SP_ArrowUp, *this);
    Image3 = Icon(u"Image3"_s, QStyle::SP_FileIcon, *this);

    auto *fields = new QGridLayout;
    fields->addWidget(Label1, 0, 0, 1, 2);
    fields->addWidget(Edit1, 1, 0, 1, 2);
    fields->addWidget(Label4, 2, 0);
    fields->addWidget(Label2, 2, 1);
    auto *icons = new QHBoxLayout;
    icons->addStretch();
    for (QLabel *image : {Image1, Image2, Image3})
        icons->addWidget(image);
    icons->addStretch();
    fields->addLayout(icons, 3, 0, 1, 2);
    fields->addWidget(Label3, 4, 0, 1, 2);
    fields->addWidget(Edit2, 5, 0, 1, 2);
    fields->addWidget(Label5, 6, 0);
    fields->addWidget(Label6, 6, 1);

    auto *buttons = new QHBoxLayout;
    Button1 = AddAnswer(u"Button1"_s, u"Ja"_s, OverwriteAnswer::Yes);
    Button2 = AddAnswer(u"Button2"_s, u"Ja zu allen"_s, OverwriteAnswer::YesToAll);
    Button3 = AddAnswer(u"Button3"_s, u"Nein"_s, OverwriteAnswer::No);
    Button4 = AddAnswer(u"Button4"_s, u"Nein zu allen"_s, OverwriteAnswer::NoToAll);
    Button5 = AddAnswer(u"Button5"_s, u"Abbrechen"_s, OverwriteAnswer::Cancel);
    // The extra answer comes after the five usual ones, which keep their places.
    Button6 = AddAnswer(u"Button6"_s, u"Fortsetzen"_s, OverwriteAnswer::Continue);
    Button1->setDefault(true);
    for (QPushButton *button : {Button1, Button2, Button3, Button4, Button5, Button6})
        buttons->addWidget(button);
    Button6->hide();

    // The fields give the window its designed width; the row of buttons may
    // make it wider, so that every caption is shown whole.
    Edit1->setMinimumWidth(kFieldWidth);
    Edit2->setMinimumWidth(kFieldWidth);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
}

QPushButton *Tfrageueberschreiben::AddAnswer(const QString &objectName, const QString &caption,
                                             OverwriteAnswer answer)
{
    return AnswerButton(*this, objectName, caption, m_answer, answer);
}

OverwriteAnswer Tfrageueberschreiben::Ask(const OverwriteQuestion &question)
{
    Edit1->setText(question.existingFile);
    Label4->setText(question.existingDate);
    Label2->setText(question.existingSize);
    Edit2->setText(question.sourceFile);
    Label5->setText(question.sourceDate);
    Label6->setText(question.sourceSize);
    Button6->setVisible(question.offerContinue);
    m_answer = OverwriteAnswer::Cancel;
    CentreOnScreen(*this);
    Button1->setFocus();
    exec();
    return m_answer;
}

void Tfrageueberschreiben::reject()
{
    // Esc and the window frame: stop the operation, replace nothing.
    m_answer = OverwriteAnswer::Cancel;
    QDialog::reject();
}
