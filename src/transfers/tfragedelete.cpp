#include "tfragedelete.h"

#include "promptwindow.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace PromptWindow;

// exec() returns 0 when the window frame closes the prompt.
static_assert(int(DeleteAnswer::Closed) == QDialog::Rejected);

Tfragedelete::Tfragedelete(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"Tfragedelete"_s);
    setWindowTitle(u"Das Löschen eines FTP Objektes bestätigen"_s);
    setModal(true);

    Label1 = Text(u"Label1"_s, u"Das Objekt"_s);
    Label3 = Text(u"Label3"_s);
    Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Edit1 = ReadOnlyField(u"Edit1"_s);
    Label2 = Text(u"Label2"_s, u"wirklich unwiderruflich löschen?"_s);
    Image1 = Icon(u"Image1"_s, QStyle::SP_MessageBoxWarning, *this);
    Image2 = Icon(u"Image2"_s, QStyle::SP_DriveNetIcon, *this);
    Image3 = Icon(u"Image3"_s, QStyle::SP_FileIcon, *this);
    Image4 = Icon(u"Image4"_s, QStyle::SP_ArrowRight, *this);
    Image5 = Icon(u"Image5"_s, QStyle::SP_TrashIcon, *this);

    OKBtn = AddAnswerButton(u"Ja"_s, u"OKBtn"_s, DeleteAnswer::Yes);
    OKBtn->setDefault(true);
    Button1 = AddAnswerButton(u"Ja zu allen"_s, u"Button1"_s, DeleteAnswer::YesToAll);
    Button2 = AddAnswerButton(u"Nein"_s, u"Button2"_s, DeleteAnswer::No);
    CancelBtn = AddAnswerButton(u"Abbrechen"_s, u"CancelBtn"_s, DeleteAnswer::Cancel);

    auto *heading = new QHBoxLayout;
    heading->addWidget(Label1);
    heading->addStretch();
    heading->addWidget(Label3);
    auto *images = new QHBoxLayout;
    for (QLabel *image : {Image1, Image2, Image3, Image4, Image5})
        images->addWidget(image);
    images->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *button : {OKBtn, Button1, Button2, CancelBtn})
        buttons->addWidget(button);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addWidget(Edit1);
    layout->addWidget(Label2);
    layout->addSpacing(6);
    layout->addLayout(images);
    layout->addLayout(buttons);
    setMinimumWidth(420);
}

QPushButton *Tfragedelete::AddAnswerButton(const QString &caption, const QString &name, DeleteAnswer answer)
{
    auto *button = new QPushButton(caption);
    button->setObjectName(name);
    // Enter presses the focused button, as in the overwrite prompts.
    button->setAutoDefault(true);
    connect(button, &QPushButton::clicked, this, [this, answer] { done(int(answer)); });
    return button;
}

DeleteAnswer Tfragedelete::Ask(const QString &remotePath, const QString &kindText)
{
    Edit1->setText(remotePath);
    Label3->setText(kindText);
    CentreOnScreen(*this);
    return DeleteAnswer(exec());
}

void Tfragedelete::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    OKBtn->setFocus();
    // A long path shows its end, where the object's own name stands.
    Edit1->setCursorPosition(int(Edit1->text().size()));
}

void Tfragedelete::keyPressEvent(QKeyEvent *event)
{
    // Esc answers "Abbrechen"; only the window frame closes without an answer.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        CancelBtn->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
