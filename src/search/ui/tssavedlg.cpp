#include "tssavedlg.h"

#include "passwordmask.h"
#include "searchhit.h"
#include "sessionlogview.h"
#include "tidantifreeze.h"
#include "transferprogress.h"
#include "windowplacement.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TssaveDlg::TssaveDlg(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowStaysOnTopHint)
    , ProgressBar1(new QProgressBar)
    , m_session(IdFTP1)
    , m_progress(ProgressBar1)
{
    setObjectName(u"ssaveDlg"_s);
    ListBox1 = new SessionLogView;
    ListBox1->SaveLogItem->setVisible(false);
    ListBox1->ToggleLogItem->setVisible(false);
    ProgressBar1->setObjectName(u"ProgressBar1"_s);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    StatusBar1 = new QStatusBar;
    StatusBar1->setObjectName(u"StatusBar1"_s);
    StatusBar1->setSizeGripEnabled(false);
    m_namePanel = new QLabel;
    m_namePanel->setObjectName(u"StatusPanel0"_s);
    m_namePanel->setFixedWidth(150);
    m_transferPanel = new QLabel;
    m_transferPanel->setObjectName(u"StatusPanel1"_s);
    StatusBar1->addWidget(m_namePanel);
    StatusBar1->addWidget(m_transferPanel, 1);
    CancelBtn = new QPushButton(u"Abbrechen"_s);
    CancelBtn->setObjectName(u"CancelBtn"_s);
    connect(CancelBtn, &QPushButton::clicked, this, [this] { m_cancelRequested = true; });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ListBox1, 1);
    layout->addWidget(ProgressBar1);
    layout->addWidget(CancelBtn, 0, Qt::AlignRight);
    layout->addWidget(StatusBar1);
    resize(489, 169);

    m_session.OnLog = [this](const QString &line) {
        AddLogLine(
            MaskPasswords(line, {IdFTP1.Password, IdFTP1.Gateway_Password, IdFTP1.SocksInfo.Password}));
    };
    IdFTP1.OnWorkBegin = [this](TIdTCPConnection *, TWorkMode mode, qint64 countMax) {
        WorkBegin(mode, countMax);
    };
    IdFTP1.OnWork = [this](TIdTCPConnection *, TWorkMode mode, qint64 count) { Work(mode, count); };
    IdFTP1.OnWorkEnd = [this](TIdTCPConnection *, TWorkMode) { WorkEnd(); };
}

void TssaveDlg::ShowDownload(const SearchHit &hit)
{
    m_session.SetLogging(true);
    m_transferActive = false;
    bool ok = false;
    m_expectedSize = hit.sizeText.trimmed().toLongLong(&ok);
    if (!ok)
        m_expectedSize = 0;
    m_namePanel->setText(hit.name);
    m_transferPanel->clear();
    setWindowTitle(hit.server + (hit.folder.endsWith(u'/') ? hit.folder : hit.folder + u'/') + hit.name);
    if (!isVisible()) {
        show();
        CenterOnScreen(*this);
    }
    repaint();
}

void TssaveDlg::AddLogLine(const QString &line)
{
    ListBox1->AddLine(line, kLogLimit - 1);
}

void TssaveDlg::WorkBegin(TWorkMode mode, qint64 countMax)
{
    m_transferActive = true;
    m_sinceBegin.start();
    m_lastShown = -1;
    m_progress.SetPosition(0);
    m_maximum = countMax > 0 ? countMax : (m_expectedSize > 0 ? m_expectedSize : 1);
    m_progress.SetMaximum(m_maximum);
    SetTransferText(mode == wmRead ? u"Download beginnt..."_s : u"Uploade beginnt..."_s);
}

// Every event updates the numbers; the display follows at most every
// TransferProgress::kDisplayInterval milliseconds.
void TssaveDlg::Work(TWorkMode mode, qint64 count)
{
    const qint64 elapsed = m_sinceBegin.isValid() ? m_sinceBegin.elapsed() : 0;
    if (m_lastShown < 0 || elapsed - m_lastShown >= TransferProgress::kDisplayInterval) {
        m_lastShown = elapsed;
        const double speed = elapsed > 0 ? double(count) / 1024.0 / (double(elapsed) / 1000.0) : 0;
        SetTransferText(TransferProgress::ProgressText(mode, speed, count, m_maximum, QLocale()));
        if (count > 0)
            m_progress.SetPosition(std::min(count, m_maximum));
    }
    TIdAntiFreeze::DoProcessThrottled();
}

void TssaveDlg::WorkEnd()
{
    SetTransferText(u"Transfer complete."_s);
    m_expectedSize = 0;
    m_transferActive = false;
    m_progress.SetPosition(0);
}

void TssaveDlg::SetTransferText(const QString &text)
{
    m_transferPanel->setText(text);
}
