#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QPushButton;
struct ServerCertificateInfo;

// Asks whether to go on with a server certificate that failed verification.
// It shows who issued the certificate, whom it names, its fingerprint and
// validity, why it failed, and a warning when the server showed another
// certificate before that the user accepted.
class TCertfkDlg1 : public QDialog {
    Q_OBJECT

public:
    explicit TCertfkDlg1(QWidget *parent = nullptr);

    // Shows the window modally; true when the user accepts the certificate.
    bool Ask(const ServerCertificateInfo &certificate);

    // The fields of a one-line name ("/C=DE/CN=host"), one "name=<tab>value"
    // line each; parts without a name are left out.
    static QStringList FieldLines(const QString &oneLineName);
    // The issuer's fields, a dashed line, the subject's fields; then, when
    // known, another dashed line, the fingerprint and the validity dates.
    static QString CertificateText(const ServerCertificateInfo &certificate);
    // The warning that the certificate differs from the one accepted before.
    static QString ChangedWarning(const ServerCertificateInfo &certificate);

    QLabel *ChangedLabel = nullptr;  // shown when the certificate changed
    QLabel *Label1 = nullptr;        // the question
    QPlainTextEdit *Memo1 = nullptr; // the certificate's fields
    QLabel *ReasonLabel = nullptr;   // why verification failed
    QPushButton *OKBtn = nullptr;    // "Akzeptieren"
    QPushButton *CancelBtn = nullptr;
};
