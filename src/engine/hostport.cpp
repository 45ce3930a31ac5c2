#include "hostport.h"

#include "socketapi.h"

namespace {

constexpr int kHighestPort = 65535;

std::optional<int> PortNumber(QStringView text)
{
    bool ok = false;
    const int port = text.toInt(&ok);
    if (!ok || port < 1 || port > kHighestPort)
        return std::nullopt;
    return port;
}

// The address a text names, in the system's spelling so that equal
// addresses compare equal; empty for a host name.
QString CanonicalAddress(const QString &text)
{
    const QString bare = HostPort::Parse(text).host;
    if (!SocketApi::IsIPAddress(bare))
        return {};
    return SocketApi::AddressText(SocketApi::MakeAddress(bare, 0));
}

} // namespace

HostPort HostPort::Parse(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    if (trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.indexOf(u']');
        if (close > 1) {
            const QStringView rest = trimmed.sliced(close + 1);
            if (rest.isEmpty())
                return {trimmed.sliced(1, close - 1).toString(), std::nullopt};
            if (rest.startsWith(u':'))
                return {trimmed.sliced(1, close - 1).toString(), PortNumber(rest.sliced(1))};
        }
        return {trimmed.toString(), std::nullopt};
    }
    const qsizetype colon = trimmed.indexOf(u':');
    if (colon > 0 && trimmed.lastIndexOf(u':') == colon) {
        if (const std::optional<int> port = PortNumber(trimmed.sliced(colon + 1)))
            return {trimmed.first(colon).toString(), port};
    }
    return {trimmed.toString(), std::nullopt};
}

QString BracketedHost(const QString &host)
{
    return host.contains(u':') ? u'[' + host + u']' : host;
}

bool IsSameHost(const QString &first, const QString &second)
{
    if (first.compare(second, Qt::CaseInsensitive) == 0)
        return true;
    const QString address = CanonicalAddress(first);
    return !address.isEmpty() && address == CanonicalAddress(second);
}
