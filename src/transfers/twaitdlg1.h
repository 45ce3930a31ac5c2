#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

class QProgressBar;
class QPushButton;

// "Warte auf das Ende der Datenübertragung...": a small window that stays on
// top while a changed file waits for the main session to finish what it is
// doing. It does not block the main window. Every second it asks, through
// tick(), whether the upload can run now; the owner runs it and closes the
// window. It deletes itself when closed.
class TWaitDlg1 : public QWidget {
    Q_OBJECT

public:
    TWaitDlg1(QWidget *parent, const QString &localPath);

    const QString &LocalPath() const { return m_localPath; }
    // The upload starts: the ticks and the animation stop, the caption names the file.
    void ShowSaving();

    QProgressBar *SearchAnimation = nullptr; // runs while the window waits
    QPushButton *CancelButton = nullptr;     // "Abbrechen": closes without saving

signals:
    void tick();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    const QString m_localPath;
    QTimer m_timer;
};
