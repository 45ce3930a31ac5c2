#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// The small window that asks for a user name and password when a login
// lacks them or the server refused them.
class TGetpwdDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kMaxPasswordLength = 512;

    explicit TGetpwdDlg(QWidget *parent = nullptr);

    // Shows the window modally with the caption and the two values. True on
    // OK, with the values as the user left them; the values stay as they
    // were otherwise.
    bool Ask(const QString &caption, QString &user, QString &password);

    QLineEdit *usertxt = nullptr;
    QLineEdit *passwrd = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
};
