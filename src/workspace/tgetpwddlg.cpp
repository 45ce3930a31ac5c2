#include "tgetpwddlg.h"

#include "passwordmask.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TGetpwdDlg::TGetpwdDlg(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"TGetpwdDlg"_s);
    setModal(true);

    usertxt = new QLineEdit;
    usertxt->setObjectName(u"usertxt"_s);
    passwrd = new QLineEdit;
    passwrd->setObjectName(u"passwrd"_s);
    passwrd->setMaxLength(kMaxPasswordLength);
    ShowAsBullets(passwrd);

    OKBtn = new QPushButton(u"OK"_s);
    OKBtn->setObjectName(u"OKBtn"_s);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(u"Abbrechen"_s);
    CancelBtn->setObjectName(u"CancelBtn"_s);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto *fields = new QFormLayout;
    fields->addRow(u"UserID"_s, usertxt);
    fields->addRow(u"Password"_s, passwrd);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    setMinimumWidth(300);
}

bool TGetpwdDlg::Ask(const QString &caption, QString &user, QString &password)
{
    setWindowTitle(caption);
    usertxt->setText(user);
    passwrd->setText(password);
    if (exec() != QDialog::Accepted)
        return false;
    user = usertxt->text();
    password = passwrd->text();
    return true;
}

void TGetpwdDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (usertxt->text().isEmpty())
        usertxt->setFocus();
    else if (passwrd->text().isEmpty())
        passwrd->setFocus();
}
