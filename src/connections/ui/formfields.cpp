#include "formfields.h"

#include "passwordscramble.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace FormFields {

QLineEdit *LineEdit(const QString &name, const QString &text)
{
    return Named(new QLineEdit(text), name);
}

QLineEdit *PasswordEdit(const QString &name)
{
    QLineEdit *edit = LineEdit(name);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(kMaxScrambledLength);
    return edit;
}

QCheckBox *CheckBox(const QString &name, const QString &text)
{
    return Named(new QCheckBox(text), name);
}

QComboBox *ComboBox(const QString &name, const QStringList &items)
{
    QComboBox *combo = Named(new QComboBox, name);
    combo->addItems(items);
    return combo;
}

QStringList LoginStyleNames()
{
    return {u"USER remote_user@RemoteHost"_s, u"OPEN remote_host:port"_s, u"SITE remote_host:port"_s,
            u"SITE OPEN remote_host:port"_s, u"PROXY OPEN remote_host:port"_s};
}

} // namespace FormFields
