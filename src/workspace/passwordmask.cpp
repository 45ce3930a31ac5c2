#include "passwordmask.h"

#include <QLineEdit>

using namespace Qt::StringLiterals;

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
            masked.replace(at, password.size(), u"(HIDDEN)"_s);
    }
    return masked;
}

void ShowAsBullets(QLineEdit *field)
{
    field->setEchoMode(QLineEdit::Password);
    field->setStyleSheet(u"QLineEdit { lineedit-password-character: 8226; }"_s);
}
