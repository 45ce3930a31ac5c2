#include "teeinfdlg.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QLabel *ValueLabel(const QString &objectName)
{
    auto *label = new QLabel;
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

TeeinfDlg::TeeinfDlg(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"TeeinfDlg"_s);
    setWindowTitle(u"Einen neuen Eintrag hinzufügen"_s);

    GroupText = ValueLabel(u"GroupText"_s);
    NameText = ValueLabel(u"NameText"_s);
    ServerText = ValueLabel(u"ServerText"_s);
    FolderText = ValueLabel(u"FolderText"_s);
    auto *values = new QFormLayout;
    values->addRow(u"Gruppe:"_s, GroupText);
    values->addRow(u"Name:"_s, NameText);
    values->addRow(u"Server:"_s, ServerText);
    values->addRow(u"FTP Ordner:"_s, FolderText);

    YesBtn = AnswerButton(u"YesBtn"_s, u"Ja"_s, EntryAnswer::Add);
    YesBtn->setDefault(true);
    YesToAllBtn = AnswerButton(u"YesToAllBtn"_s, u"Ja zu allen"_s, EntryAnswer::AddAll);
    NoBtn = AnswerButton(u"NoBtn"_s, u"Nein"_s, EntryAnswer::Skip);
    CancelBtn = AnswerButton(u"CancelBtn"_s, u"Abbrechen"_s, EntryAnswer::Stop);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *button : {YesBtn, YesToAllBtn, NoBtn, CancelBtn})
        buttons->addWidget(button);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(values);
    layout->addSpacing(8);
    layout->addWidget(new QLabel(u"Diesen Eintrag in die Verbindungsliste einfügen?"_s));
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QPushButton *TeeinfDlg::AnswerButton(const QString &objectName, const QString &caption, EntryAnswer answer)
{
    auto *button = new QPushButton(caption);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, answer] {
        m_answer = answer;
        accept();
    });
    return button;
}

EntryAnswer TeeinfDlg::Ask(const ListedConnection &entry)
{
    GroupText->setText(entry.group);
    NameText->setText(entry.name);
    ServerText->setText(entry.profile.FTP_Server);
    FolderText->setText(entry.profile.FTPOrdner);
    m_answer = EntryAnswer::Stop;
    exec();
    return m_answer;
}
