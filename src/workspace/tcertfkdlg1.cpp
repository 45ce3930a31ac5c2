#include "tcertfkdlg1.h"

#include "datetext.h"
#include "sessionhost.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString kDashes = u"--------------------------"_s;

void ShowRedAndBold(QLabel &label)
{
    label.setWordWrap(true);
    QFont bold = label.font();
    bold.setBold(true);
    label.setFont(bold);
    QPalette red = label.palette();
    red.setColor(QPalette::WindowText, Qt::red);
    label.setPalette(red);
}

// A SHA-256 fingerprint is 95 characters; rows of 16 bytes fit the field.
QStringList FingerprintLines(const QString &name, const QString &fingerprint)
{
    constexpr int kRowLength = 16 * 3;
    QStringList lines;
    for (qsizetype start = 0; start < fingerprint.size(); start += kRowLength)
        lines.append((start == 0 ? name : QString()) + u'\t' + fingerprint.mid(start, kRowLength - 1));
    return lines;
}

} // namespace

TCertfkDlg1::TCertfkDlg1(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"TCertfkDlg1"_s);
    setWindowTitle(u"Zertifikat"_s);
    setModal(true);

    Label1 = new QLabel(u"Das Zertifikat des Servers scheint nicht vertrauenswürdig zu sein. "
                        u"Möchten Sie es dennoch akzeptieren?"_s);
    Label1->setObjectName(u"Label1"_s);
    ShowRedAndBold(*Label1);

    ChangedLabel = new QLabel;
    ChangedLabel->setObjectName(u"ChangedLabel"_s);
    ChangedLabel->setTextFormat(Qt::PlainText);
    ShowRedAndBold(*ChangedLabel);

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
    layout->addWidget(ChangedLabel);
    layout->addWidget(Label1);
    layout->addWidget(Memo1, 1);
    layout->addWidget(ReasonLabel);
    layout->addLayout(buttons);
    resize(500, 380);
}

bool TCertfkDlg1::Ask(const ServerCertificateInfo &certificate)
{
    Memo1->setPlainText(CertificateText(certificate));
    ReasonLabel->setText(certificate.verifyError);
    ReasonLabel->setVisible(!certificate.verifyError.isEmpty());
    ChangedLabel->setText(ChangedWarning(certificate));
    ChangedLabel->setVisible(!certificate.rememberedFingerprint.isEmpty());
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
    lines.append(kDashes);
    lines.append(FieldLines(certificate.subject));
    if (certificate.fingerprint.isEmpty())
        return lines.join(u'\n');
    lines.append(kDashes);
    lines.append(FingerprintLines(u"SHA256:"_s, certificate.fingerprint));
    lines.append(u"Gültig ab:\t"_s + FormatDateText(certificate.notBefore));
    lines.append(u"Gültig bis:\t"_s + FormatDateText(certificate.notAfter));
    if (!certificate.rememberedFingerprint.isEmpty())
        lines.append(FingerprintLines(u"Bisher:"_s, certificate.rememberedFingerprint));
    return lines.join(u'\n');
}

QString TCertfkDlg1::ChangedWarning(const ServerCertificateInfo &certificate)
{
    if (certificate.rememberedFingerprint.isEmpty())
        return QString();
    return u"Achtung: Das Zertifikat des Servers hat sich geändert! Akzeptiert hatten Sie ein anderes "
           u"(„Bisher“). Das kann eine Erneuerung sein, aber auch bedeuten, dass sich ein anderer "
           u"Rechner als dieser Server ausgibt."_s;
}
