#include "idglobal.h"

using namespace Qt::StringLiterals;

QString StatusText(TIdStatus status, const QString &argument)
{
    switch (status) {
    case hsResolving:
        return u"Host-Name %1 wird aufgelöst."_s.arg(argument);
    case hsConnecting:
        return u"Verbinden mit %1."_s.arg(argument);
    case hsConnected:
        return u"Verbunden."_s;
    case hsDisconnecting:
        return u"Verbindung zu %1 wird getrennt."_s.arg(argument);
    case hsDisconnected:
        return u"Nicht verbunden."_s;
    case hsStatusText:
        return argument;
    }
    return argument;
}
