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

// Shows what is typed as "•" characters.
void ShowAsBullets(QLineEdit *field);
