#include "tcertfkdlg1.h"

#include "sessionhost.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TCertfkDlg1::TCertfkDlg1(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"TCertfkDlg1"_s);
    setWindowTitle(u"Zertifikat"_s);
    setModal(true);

    Label1 = new QLabel(u"Das Zertifikat des Servers scheint nicht vertrauenswürdig zu sein. "
                        u"Möchten Sie es dennoch akzeptieren?"_s);
    Label1->setObjectName(u"Label1"_s);
    Label1->setWordWrap(true);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    QPalette red = Label1->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Label1->setPalette(red);

    Memo1 = new QPlainTextEdit;
    Memo1->setObjectName(u"Memo1"_s);
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setTabStopDistance(12 * Memo1->fontMetrics().averageCharWidth());

    ReasonLabel = new QLabel;
    ReasonLabel->setObjectName(u"ReasonLabel"_s);
    ReasonLabel->setWordWrap(true);
    ReasonLabel->setTextFormat(Qt::PlainText);

    OKBtn = new QPushButton(u"Akzeptieren"_s);
    OKBtn->setObjectName(u"OKBtn"_s);
    CancelBtn = new QPushButton(u"Abbrechen"_s);
    CancelBtn->setObjectName(u"CancelBtn"_s);
    CancelBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Memo1, 1);
    layout->addWidget(ReasonLabel);
    layout->addLayout(buttons);
    resize(460, 320);
}

bool TCertfkDlg1::Ask(const ServerCertificateInfo &certificate)
{
    Memo1->setPlainText(CertificateText(certificate));
    ReasonLabel->setText(certificate.verifyError);
    ReasonLabel->setVisible(!certificate.verifyError.isEmpty());
    return exec() == QDialog::Accepted;
}

QStringList TCertfkDlg1::FieldLines(const QString &oneLineName)
{
    QStringList lines;
    for (const QString &part : oneLineName.split(u'/')) {
        const qsizetype equals = part.indexOf(u'=');
        if (equals < 0)
            continue;
        lines.append(part.left(equals + 1) + u'\t' + part.mid(equals + 1));
    }
    return lines;
}

QString TCertfkDlg1::CertificateText(const ServerCertificateInfo &certificate)
{
    QStringList lines = FieldLines(certificate.issuer);
    lines.append(u"--------------------------"_s);
    lines.append(FieldLines(certificate.subject));
    return lines.join(u'\n');
}
