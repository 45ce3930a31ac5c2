#pragma once

#include "byteprogressbar.h"
#include "idglobal.h"
#include "searchsession.h"
#include "tidftp.h"

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class SessionLogView;
struct SearchHit;

// The small window that shows each download of files saved from the search
// results: which file, the save session's log, speed and bytes. It owns the
// save session. "Abbrechen" asks the save to stop before the next file.
class TssaveDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kLogLimit = 1001; // lines the log pane keeps

    explicit TssaveDlg(QWidget *parent = nullptr);

    TIdFTP IdFTP1; // the save session

    SearchSession &Session() { return m_session; }
    // Shows the window for the hit about to be downloaded.
    void ShowDownload(const SearchHit &hit);
    bool CancelRequested() const { return m_cancelRequested; }
    bool TransferActive() const { return m_transferActive; }
    void ClearCancelRequest() { m_cancelRequested = false; }
    void AddLogLine(const QString &line);

    SessionLogView *ListBox1 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QPushButton *CancelBtn = nullptr;

private:
    void WorkBegin(TWorkMode mode, qint64 countMax);
    void Work(TWorkMode mode, qint64 count);
    void WorkEnd();
    void SetTransferText(const QString &text);

    QLabel *m_namePanel = nullptr;
    QLabel *m_transferPanel = nullptr;
    SearchSession m_session;
    ByteProgressBar m_progress;
    bool m_cancelRequested = false;
    bool m_transferActive = false;
    qint64 m_expectedSize = 0;
    qint64 m_maximum = 1;
    QElapsedTimer m_sinceBegin;
    qint64 m_lastShown = -1;
};
