#include "freeport.h"

#include <QHostAddress>
#include <QTcpServer>

int FreeLocalPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}
