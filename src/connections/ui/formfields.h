#pragma once

#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLineEdit;

// Controls of the forms that edit connection settings. Each carries its
// name as objectName, so callers and tests find it.
namespace FormFields {

template <class Widget> Widget *Named(Widget *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

QLineEdit *LineEdit(const QString &name, const QString &text = QString());
// Masked, and no longer than a stored password may be.
QLineEdit *PasswordEdit(const QString &name);
QCheckBox *CheckBox(const QString &name, const QString &text);
QComboBox *ComboBox(const QString &name, const QStringList &items);

// The five proxy and firewall login styles, in the order of FW_Art.
QStringList LoginStyleNames();

} // namespace FormFields
