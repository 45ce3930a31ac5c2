#include "ftpurl.h"

#include "clifailure.h"
#include "connectionprofile.h"
#include "textcodec.h"

#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

constexpr int kFtpPort = 21;
constexpr int kImplicitTlsPort = 990;
constexpr int kSshPort = 22;

[[noreturn]] void InvalidUrl(const QString &text, const QString &why)
{
    throw CliFailure{kExitUsage, u"Ungültige Adresse %1: %2"_s.arg(text, why)};
}

// The path names folders below the login folder, as for every FTP URL;
// a leading %2F makes it absolute.
QString FolderOf(const QUrl &url)
{
    QString folder = TextCodec::DecodeUtf8KeepingBytes(
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
    if (folder.startsWith(u'/'))
        folder.remove(0, 1);
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

// As ssh users write it: the path is absolute, "~/" begins it in the login
// folder.
QString SshFolderOf(const QUrl &url)
{
    QString folder = url.path(QUrl::FullyDecoded);
    if (folder == u"/~"_s || folder == u"/~/"_s)
        return QString();
    if (folder.startsWith(u"/~/"_s))
        folder.remove(0, 3);
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

} // namespace

FtpUrl FtpUrl::Parse(const QString &text)
{
    const QUrl url(text);
    if (!url.isValid())
        InvalidUrl(text, url.errorString());
    const QString scheme = url.scheme().toLower();
    if (scheme != u"ftp"_s && scheme != u"ftps"_s && scheme != u"ftpes"_s && scheme != u"sftp"_s)
        InvalidUrl(text, u"erwartet wird ftp://, ftps://, ftpes:// oder sftp://"_s);
    FtpUrl result;
    result.sftp = scheme == u"sftp"_s;
    result.implicitTls = scheme == u"ftps"_s;
    result.explicitTls = scheme == u"ftpes"_s;
    result.host = url.host(QUrl::FullyDecoded);
    if (result.host.isEmpty())
        InvalidUrl(text, u"der Server fehlt"_s);
    result.port = url.port(result.sftp ? kSshPort : result.implicitTls ? kImplicitTlsPort : kFtpPort);
    result.user = url.userName(QUrl::FullyDecoded);
    result.password = url.password(QUrl::FullyDecoded);
    if (result.sftp) {
        // SSH knows no anonymous login: without a user, the local one logs in.
        if (result.user.isEmpty())
            result.user = qEnvironmentVariable("USER");
        result.folder = SshFolderOf(url);
        return result;
    }
    if (result.user.isEmpty()) {
        result.user = kAnonymousUser.toString();
        if (result.password.isEmpty())
            result.password = kAnonymousPassword.toString();
    }
    result.folder = FolderOf(url);
    return result;
}
