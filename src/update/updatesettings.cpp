#include "updatesettings.h"

#include "passwordscramble.h"
#include "tinifile.h"

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"StartUp"_s;
const QString kUrlKey = u"Update_URL"_s;
const QString kServerKey = u"Update_Proxy_Server"_s;
const QString kPortKey = u"Update_Proxy_Port"_s;
const QString kAuthenticateKey = u"Update_Proxy_auth"_s;
const QString kPasswordKey = u"Update_Proxy_Pass"_s;
const QString kUserKey = u"Update_Proxy_User"_s;

constexpr quint16 kDefaultProxyPort = 80;

} // namespace

QString UpdateListAddress(const TIniFile &settings)
{
    return settings.ReadString(kSection, kUrlKey, kDefaultUpdateUrl.toString()).trimmed();
}

std::optional<QUrl> UpdateListUrl(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || (url.scheme() != u"http"_s && url.scheme() != u"https"_s))
        return std::nullopt;
    return url;
}

UpdateProxySettings UpdateProxySettings::Read(const TIniFile &settings)
{
    UpdateProxySettings proxy;
    proxy.server = settings.ReadString(kSection, kServerKey, QString()).trimmed();
    proxy.port = settings.ReadString(kSection, kPortKey, QString()).trimmed();
    proxy.authenticate = settings.ReadBool(kSection, kAuthenticateKey, false);
    proxy.password =
        UnscramblePassword(settings.ReadString(kSection, kPasswordKey, QString())).value_or(QString());
    proxy.user = settings.ReadString(kSection, kUserKey, QString());
    return proxy;
}

void UpdateProxySettings::Write(TIniFile &settings) const
{
    settings.WriteString(kSection, kServerKey, server.trimmed());
    settings.WriteString(kSection, kPortKey, port.trimmed());
    settings.WriteBool(kSection, kAuthenticateKey, authenticate);
    settings.WriteString(kSection, kPasswordKey, ScramblePassword(password).value_or(QString()));
    settings.WriteString(kSection, kUserKey, user.trimmed());
}

HttpProxy UpdateProxySettings::ToHttpProxy() const
{
    HttpProxy proxy;
    proxy.host = server.trimmed();
    const std::optional<int> number = TIniFile::ParseInteger(port);
    proxy.port = number && *number > 0 && *number <= 0xFFFF ? quint16(*number) : kDefaultProxyPort;
    if (authenticate) {
        // The user as it is stored, so that a stray blank fails neither this
        // run nor the next one.
        proxy.user = user.trimmed();
        proxy.password = password;
    }
    return proxy;
}
