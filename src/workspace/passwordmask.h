#pragma once

#include <QString>
#include <QStringList>

class QLineEdit;

// Keeps passwords out of the session log: in a line that carries the PASS
// command, the first occurrence of each non-empty password after the
// command word becomes "(HIDDEN)", in the order given. Looking only behind
// the command word keeps a short password from masking a piece of the
// command itself and leaving the real one in plain sight.
QString MaskPasswords(const QString &line, const QStringList &passwords);

// For logs where a password may stand anywhere, such as HTTP traffic: every
// occurrence of the password becomes "(HIDDEN)", and so does the Base64
// token in which HTTP basic authentication carries "user:password" (as
// Latin-1 and as UTF-8 bytes), so a logged Authorization header gives
// nothing away either.
QString MaskCredentials(const QString &line, const QString &user, const QString &password);

// Shows what is typed as "•" characters.
void ShowAsBullets(QLineEdit *field);
