#include "tasrewrdlg.h"

#include "promptwindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TasrewrDlg::TasrewrDlg(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"TasrewrDlg"_s);
    setWindowTitle(u"Datei überschreiben"_s);
    setModal(true);

    Label1 = PromptWindow::Text(u"Label1"_s);
    Label1->setWordWrap(true);
    Edit1 = new QLineEdit;
    Edit1->setObjectName(u"Edit1"_s);
    connect(Edit1, &QLineEdit::textChanged, this, &TasrewrDlg::CheckName);

    Button1 = AddAnswer(u"Button1"_s, u"Ja"_s, Answer::Replace);
    Button2 = AddAnswer(u"Button2"_s, u"Ja zu allen"_s, Answer::ReplaceAll);
    Button3 = AddAnswer(u"Button3"_s, u"Nein"_s, Answer::Keep);
    Button4 = AddAnswer(u"Button4"_s, u"Nein zu allen"_s, Answer::KeepAll);
    Button5 = AddAnswer(u"Button5"_s, u"Umbenennen"_s, Answer::Rename);
    Button6 = AddAnswer(u"Button6"_s, u"Alle umbenennen"_s, Answer::RenameAll);
    Button7 = AddAnswer(u"Button7"_s, u"Abbrechen"_s, Answer::Stop);
    Button3->setDefault(true);

    auto *buttons = new QGridLayout;
    buttons->addWidget(Button1, 0, 0);
    buttons->addWidget(Button2, 0, 1);
    buttons->addWidget(Button3, 0, 2);
    buttons->addWidget(Button4, 0, 3);
    buttons->addWidget(Button5, 1, 0);
    buttons->addWidget(Button6, 1, 1);
    buttons->addWidget(Button7, 1, 3);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Edit1);
    layout->addLayout(buttons);
    setMinimumWidth(420);
}

QPushButton *TasrewrDlg::AddAnswer(const QString &objectName, const QString &caption, Answer answer)
{
    return PromptWindow::AnswerButton(*this, objectName, caption, m_answer, answer);
}

TasrewrDlg::Answer TasrewrDlg::Ask(const QString &message, const QString &proposedName,
                                   const QString &targetFolder)
{
    Label1->setText(message);
    m_targetFolder = targetFolder;
    Edit1->setText(proposedName);
    CheckName();
    m_answer = Answer::Keep;
    PromptWindow::CentreOnScreen(*this);
    Edit1->setFocus();
    exec();
    return m_answer;
}

QString TasrewrDlg::NewName() const
{
    return Edit1->text();
}

void TasrewrDlg::CheckName()
{
    // A folder of that name is taken too: the file could not be saved there.
    const bool free = !QFileInfo::exists(m_targetFolder + Edit1->text());
    Button5->setEnabled(free);
    Button6->setEnabled(free);
}

void TasrewrDlg::reject()
{
    // Esc keeps this one file.
    m_answer = Answer::Keep;
    QDialog::reject();
}

void TasrewrDlg::closeEvent(QCloseEvent *event)
{
    // The window frame keeps this and every further existing file.
    QDialog::closeEvent(event);
    if (event->isAccepted())
        m_answer = Answer::KeepAll;
}
