#include "twaitdlg1.h"

#include "promptwindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int kTickMs = 1000;

} // namespace

TWaitDlg1::TWaitDlg1(QWidget *parent, const QString &localPath)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_localPath(localPath)
{
    setObjectName(u"TWaitDlg1"_s);
    setWindowTitle(u"Warte auf das Ende der Datenübertragung..."_s);
    setAttribute(Qt::WA_DeleteOnClose);

    // A progress bar without a range runs to and fro for as long as it is shown.
    SearchAnimation = new QProgressBar;
    SearchAnimation->setObjectName(u"SearchAnimation"_s);
    SearchAnimation->setRange(0, 0);
    SearchAnimation->setTextVisible(false);
    CancelButton = new QPushButton(u"Abbrechen"_s);
    CancelButton->setObjectName(u"CancelButton"_s);
    connect(CancelButton, &QPushButton::clicked, this, &QWidget::close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(SearchAnimation);
    layout->addWidget(CancelButton, 0, Qt::AlignHCenter);
    setMinimumWidth(320);
    PromptWindow::CentreOnScreen(*this);

    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &TWaitDlg1::tick);
    m_timer.start();
}

void TWaitDlg1::ShowSaving()
{
    m_timer.stop();
    SearchAnimation->setRange(0, 1);
    CancelButton->setEnabled(false);
    setWindowTitle(u"Speichern "_s + QFileInfo(m_localPath).fileName());
}

void TWaitDlg1::closeEvent(QCloseEvent *event)
{
    m_timer.stop();
    QWidget::closeEvent(event);
}
