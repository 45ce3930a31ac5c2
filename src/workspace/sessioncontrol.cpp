#include "sessioncontrol.h"

#include "sessionlogview.h"
#include "tftpqvx.h"

SessionControl::SessionControl(TFTPqvx &window)
    : QObject(&window)
    , m_window(window)
{
}

void SessionControl::Connect() {}

void SessionControl::Disconnect() {}

void SessionControl::AddLogLine(const QString &line)
{
    m_window.Log()->addItem(line);
}

void SessionControl::HandleCommandLine(const QStringList &) {}
