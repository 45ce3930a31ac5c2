#include "mainsession.h"

#include "idexceptions.h"

#include <QApplication>
#include <QScopeGuard>

MainSession::MainSession(QObject *parent)
    : QObject(parent)
{
}

void MainSession::RunCommand(const std::function<void()> &command)
{
    ++m_commandDepth;
    const auto done = qScopeGuard([this] { --m_commandDepth; });
    try {
        command();
    } catch (const EIdException &error) {
        ReportError(error.Message());
    } catch (const std::exception &error) {
        ReportError(QString::fromUtf8(error.what()));
    }
}

bool MainSession::SessionIdle() const
{
    return Remote().IsConnected() && !SessionBusy();
}

bool MainSession::SessionBusy() const
{
    return Flags.OperationBusy || Flags.TransferActive || Flags.ListingBusy || m_thumbnailsLoading;
}

bool MainSession::RunSessionCommand(const std::function<void()> &command)
{
    if (!SessionIdle()) {
        QApplication::beep();
        return false;
    }
    emit commandStarting();
    RunCommand(command);
    return true;
}

void MainSession::SetThumbnailsLoading(bool loading)
{
    m_thumbnailsLoading = loading;
    emit stateChanged();
}
