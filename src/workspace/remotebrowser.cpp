#include "remotebrowser.h"

#include "tftpqvx.h"

RemoteBrowser::RemoteBrowser(TFTPqvx &window)
    : QObject(&window)
    , m_window(window)
{
}

void RemoteBrowser::RefreshRemoteList(const QString &) {}

void RemoteBrowser::ChangeRemoteFolder(const QString &) {}

void RemoteBrowser::UpdateCommandStates() {}

void RemoteBrowser::ClearRemoteList() {}
