#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class TPMultiImage;

// "Datei überschreiben" for a picture saved from the thumbnail window over
// an existing file: both pictures side by side with what the decoder says
// about them, and a new name that is checked while it is typed. Made for
// one question.
class TueberschrDlg : public QDialog {
    Q_OBJECT

public:
    enum class Answer { Overwrite, Skip, Rename, Stop };

    explicit TueberschrDlg(QWidget *parent = nullptr);

    // existingFile: the file in the target folder; sourceFile: the picture
    // to save. Enter renames, Esc and the window frame stop.
    Answer Ask(const QString &existingFile, const QString &sourceFile, const QString &suggestedName);
    QString NewName() const;

    QFrame *Panel1 = nullptr;
    QFrame *Panel2 = nullptr;
    TPMultiImage *PMultiImage1 = nullptr; // the existing file
    TPMultiImage *PMultiImage2 = nullptr; // the source picture
    QLabel *Label1 = nullptr;             // "Neuer Name"
    QLabel *Label2 = nullptr;             // the question
    QLabel *Label3 = nullptr;             // information of the existing file
    QLabel *Label4 = nullptr;             // information of the source picture
    QLineEdit *Edit1 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QLineEdit *Edit3 = nullptr;
    QPushButton *OKBtn = nullptr;     // "Überschreiben"
    QPushButton *CancelBtn = nullptr; // "Überspringen"
    QPushButton *Button2 = nullptr;   // "Umbenennen"
    QPushButton *Button1 = nullptr;   // "Abbrechen"

public slots:
    void reject() override;

private:
    QFrame *PreviewPanel(const QString &objectName, TPMultiImage *&preview);
    QPushButton *AddAnswer(const QString &objectName, const QString &caption, Answer answer);
    void ShowInformation(const TPMultiImage *preview, QLabel *label);
    void CheckName();

    QString m_targetFolder;
    Answer m_answer = Answer::Stop;
};
