#include "sessiontalk.h"

#include "remotebrowser.h"
#include "tftpqvx.h"

SessionTalk::SessionTalk(TFTPqvx &window)
    : m_window(window)
    , m_wasBusy(window.Flags.OperationBusy)
{
    m_window.Flags.OperationBusy = true;
}

SessionTalk::~SessionTalk()
{
    m_window.Flags.OperationBusy = m_wasBusy;
    if (RemoteBrowser *browser = m_window.Browser())
        browser->UpdateCommandStates();
}
