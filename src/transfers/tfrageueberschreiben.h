#pragma once

#include "overwritedecision.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// "Datei überschreiben": asks whether a download or upload replaces a file
// that exists. Created once at program start and reused; every question
// fills all fields anew.
class Tfrageueberschreiben : public QDialog {
    Q_OBJECT

public:
    explicit Tfrageueberschreiben(QWidget *parent = nullptr);

    // Shows the question modally, centred on the screen. Esc and closing
    // the window answer Cancel.
    OverwriteAnswer Ask(const OverwriteQuestion &question);

    QLabel *Label1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Image2 = nullptr;
    QLabel *Image3 = nullptr;
    QPushButton *Button1 = nullptr; // "Ja"
    QPushButton *Button2 = nullptr; // "Ja zu allen"
    QPushButton *Button3 = nullptr; // "Nein"
    QPushButton *Button4 = nullptr; // "Nein zu allen"
    QPushButton *Button5 = nullptr; // "Abbrechen"
    // "Fortsetzen": continues the partial data that is there; shown only
    // when the question offers it.
    QPushButton *Button6 = nullptr;

public slots:
    void reject() override;

private:
    QPushButton *AddAnswer(const QString &objectName, const QString &caption, OverwriteAnswer answer);

    OverwriteAnswer m_answer = OverwriteAnswer::Cancel;
};
