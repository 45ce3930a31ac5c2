#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// "Datei überschreiben" for files saved from search results: replace, keep
// or rename a local file that exists. Created once and reused.
class TasrewrDlg : public QDialog {
    Q_OBJECT

public:
    enum class Answer { Replace, ReplaceAll, Keep, KeepAll, Rename, RenameAll, Stop };

    explicit TasrewrDlg(QWidget *parent = nullptr);

    // Shows the message with the proposed name; a typed name is checked
    // against targetFolder (with a trailing "/"). Enter and Esc keep the
    // file, closing the window keeps it and all further ones. The name the
    // user left in Edit1 is in NewName() afterwards.
    Answer Ask(const QString &message, const QString &proposedName, const QString &targetFolder);
    QString NewName() const;
    QString TargetFolder() const { return m_targetFolder; }

    QLabel *Label1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QPushButton *Button1 = nullptr; // "Ja"
    QPushButton *Button2 = nullptr; // "Ja zu allen"
    QPushButton *Button3 = nullptr; // "Nein"
    QPushButton *Button4 = nullptr; // "Nein zu allen"
    QPushButton *Button5 = nullptr; // "Umbenennen"
    QPushButton *Button6 = nullptr; // "Alle umbenennen"
    QPushButton *Button7 = nullptr; // "Abbrechen"

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QPushButton *AddAnswer(const QString &objectName, const QString &caption, Answer answer);
    // Renaming is offered only while the typed name is free in the target folder.
    void CheckName();

    QString m_targetFolder;
    Answer m_answer = Answer::Keep;
};
