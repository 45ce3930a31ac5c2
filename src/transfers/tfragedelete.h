#pragma once

#include "remoteoperationrules.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks before a remote file is deleted. Created once with the main window
// and reused; the caller fills the path and the kind before each question.
class Tfragedelete : public QDialog {
    Q_OBJECT

public:
    explicit Tfragedelete(QWidget *parent = nullptr);

    // Shows the window modally for the object's full remote path and its
    // kind text ("Datei") and returns the answer: "Ja", "Ja zu allen",
    // "Nein", "Abbrechen" (also Esc), or Closed for the window frame.
    DeleteAnswer Ask(const QString &remotePath, const QString &kindText);

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Image2 = nullptr;
    QLabel *Image3 = nullptr;
    QLabel *Image4 = nullptr;
    QLabel *Image5 = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QPushButton *CancelBtn = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPushButton *AddAnswerButton(const QString &caption, const QString &name, DeleteAnswer answer);
};
