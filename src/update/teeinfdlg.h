#pragma once

#include "listmerge.h"

#include <QDialog>

class QLabel;
class QPushButton;

// Asks whether one entry of the published list joins the connection tree.
// Made for one question and freed once it is answered.
class TeeinfDlg : public QDialog {
    Q_OBJECT

public:
    explicit TeeinfDlg(QWidget *parent = nullptr);

    // Shows the entry modally. Esc and closing the window answer Stop.
    EntryAnswer Ask(const ListedConnection &entry);

    QLabel *GroupText = nullptr;
    QLabel *NameText = nullptr;
    QLabel *ServerText = nullptr;
    QLabel *FolderText = nullptr;
    QPushButton *YesBtn = nullptr;      // "Ja"
    QPushButton *YesToAllBtn = nullptr; // "Ja zu allen"
    QPushButton *NoBtn = nullptr;       // "Nein"
    QPushButton *CancelBtn = nullptr;   // "Abbrechen"

private:
    QPushButton *AnswerButton(const QString &objectName, const QString &caption, EntryAnswer answer);

    EntryAnswer m_answer = EntryAnswer::Stop;
};
