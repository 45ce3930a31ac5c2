#include "passwordmask.h"

#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace {

const QString kHidden = u"(HIDDEN)"_s;

// The Base64 tokens a basic authentication header may carry for these credentials.
QStringList BasicAuthenticationTokens(const QString &user, const QString &password)
{
    const QString credentials = user + u':' + password;
    QStringList tokens{QString::fromLatin1(credentials.toUtf8().toBase64())};
    const QString latin1 = QString::fromLatin1(credentials.toLatin1().toBase64());
    if (!tokens.contains(latin1))
        tokens.append(latin1);
    return tokens;
}

} // namespace

QString MaskPasswords(const QString &line, const QStringList &passwords)
{
    static const QString command = u"PASS"_s;
    const qsizetype commandAt = line.indexOf(command, 0, Qt::CaseInsensitive);
    if (commandAt < 0)
        return line;
    QString masked = line;
    const qsizetype searchFrom = commandAt + command.size();
    for (const QString &password : passwords) {
        if (password.isEmpty())
            continue;
        const qsizetype at = masked.indexOf(password, searchFrom, Qt::CaseSensitive);
        if (at >= 0)
            masked.replace(at, password.size(), kHidden);
    }
    return masked;
}

QString MaskCredentials(const QString &line, const QString &user, const QString &password)
{
    if (password.isEmpty())
        return line;
    QString masked = line;
    // The tokens first: the plain password may occur inside one of them.
    for (const QString &token : BasicAuthenticationTokens(user, password))
        masked.replace(token, kHidden);
    return masked.replace(password, kHidden);
}

void ShowAsBullets(QLineEdit *field)
{
    field->setEchoMode(QLineEdit::Password);
    field->setStyleSheet(u"QLineEdit { lineedit-password-character: 8226; }"_s);
}
