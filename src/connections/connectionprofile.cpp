#include "connectionprofile.h"

#include "hostport.h"
#include "passwordscramble.h"
#include "passwordstore.h"
#include "sftpfilesystem.h"
#include "tidftp.h"
#include "tinifile.h"

#include <variant>

using namespace Qt::StringLiterals;

namespace {

using ProfileField =
    std::variant<bool ConnectionProfile::*, int ConnectionProfile::*, QString ConnectionProfile::*,
                 QDateTime ConnectionProfile::*, FileProtocol ConnectionProfile::*>;

enum class KeyGroup { Connection, TimeCorrection, Ssl, Ssh };
enum class Storage { Plain, Scrambled };

struct ProfileKey {
    QStringView name;
    ProfileField field;
    KeyGroup group = KeyGroup::Connection;
    Storage storage = Storage::Plain;
};

using P = ConnectionProfile;

// The keys in the order they are written.
const ProfileKey kProfileKeys[] = {
    {u"anonymous", &P::anonymous},
    {u"Protokoll", &P::Protokoll},
    {u"FTP_Server", &P::FTP_Server},
    {u"FTP_Port", &P::FTP_Port},
    {u"FTP_User", &P::FTP_User},
    {u"FTP_Pass", &P::FTP_Pass, KeyGroup::Connection, Storage::Scrambled},
    {u"FTP_Passive", &P::FTP_Passive},
    {u"Proxy_Use", &P::Proxy_Use},
    {u"Proxy_Server", &P::Proxy_Server},
    {u"Proxy_Port", &P::Proxy_Port},
    {u"FW_Use", &P::FW_Use},
    {u"FW_User", &P::FW_User},
    {u"FW_Pass", &P::FW_Pass, KeyGroup::Connection, Storage::Scrambled},
    {u"FW_Art", &P::FW_Art},
    {u"Socket_Use", &P::Socket_Use},
    {u"Socket_Host", &P::Socket_Host},
    {u"Socket_Port", &P::Socket_Port},
    {u"Socket_User", &P::Socket_User},
    {u"Socket_Pass", &P::Socket_Pass, KeyGroup::Connection, Storage::Scrambled},
    {u"Timeout", &P::Timeout},
    {u"FTPOrdner", &P::FTPOrdner},
    {u"LocalFolder", &P::LocalFolder},
    {u"Log", &P::Log},
    {u"Maxentry", &P::Maxentry},
    {u"MLSD", &P::MLSD},
    {u"DateTimeNo", &P::DateTimeNo, KeyGroup::TimeCorrection},
    {u"DateTimeManuel", &P::DateTimeManuel, KeyGroup::TimeCorrection},
    {u"TimeDif", &P::TimeDif, KeyGroup::TimeCorrection},
    {u"TimeDifvz", &P::TimeDifvz, KeyGroup::TimeCorrection},
    {u"ssl", &P::ssl, KeyGroup::Ssl},
    {u"SSL_Explicit", &P::SSL_Explicit, KeyGroup::Ssl},
    {u"RootCertificateFile", &P::RootCertificateFile, KeyGroup::Ssl},
    {u"KeyFile", &P::KeyFile, KeyGroup::Ssl},
    {u"CertificateFile", &P::CertificateFile, KeyGroup::Ssl},
    {u"SSLPassword", &P::SSLPassword, KeyGroup::Ssl, Storage::Scrambled},
    {u"SSLPasswordask", &P::SSLPasswordask, KeyGroup::Ssl},
    {u"SSLMethod", &P::SSLMethod, KeyGroup::Ssl},
    {u"SSLDepth", &P::SSLDepth, KeyGroup::Ssl},
    {u"SSLPeer", &P::SSLPeer, KeyGroup::Ssl},
    {u"SSLPeerCert", &P::SSLPeerCert, KeyGroup::Ssl},
    {u"SSLClientOnce", &P::SSLClientOnce, KeyGroup::Ssl},
    {u"SSH_KeyFile", &P::SSH_KeyFile, KeyGroup::Ssh},
    {u"SSH_KeyPass", &P::SSH_KeyPass, KeyGroup::Ssh, Storage::Scrambled},
    {u"SSH_KeyPassask", &P::SSH_KeyPassask, KeyGroup::Ssh},
};

constexpr QStringView kSftpText = u"SFTP";

template <class... Ts> struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

bool IsWritten(const ProfileKey &key, ProfileKeys keys)
{
    return keys == ProfileKeys::All || key.group == KeyGroup::Connection;
}

QString CommentKey(int line)
{
    return u"Comment"_s + QString::number(line);
}

// The profile passed in still holds the defaults; they stand for absent keys.
void ReadKey(const TIniFile &ini, const QString &section, const ProfileKey &key, ConnectionProfile &profile)
{
    const QString name = key.name.toString();
    std::visit(Overloaded{
                   [&](bool P::*field) { profile.*field = ini.ReadBool(section, name, profile.*field); },
                   [&](int P::*field) { profile.*field = ini.ReadInteger(section, name, profile.*field); },
                   // The only date-time, TimeDif, is a duration: see ManualTimeDifference.
                   [&](QDateTime P::*field) {
                       profile.*field = ini.ReadDateTime(section, name, profile.*field, Qt::UTC);
                   },
                   [&](FileProtocol P::*field) {
                       const QString text = ini.ReadString(section, name, QString()).trimmed();
                       profile.*field = text.compare(kSftpText, Qt::CaseInsensitive) == 0 ? FileProtocol::Sftp
                                                                                          : FileProtocol::Ftp;
                   },
                   [&](QString P::*field) {
                       const QString text = ini.ReadString(section, name, profile.*field);
                       profile.*field = key.storage == Storage::Scrambled
                                            ? UnscramblePassword(text).value_or(QString())
                                            : text;
                   },
               },
               key.field);
}

void WriteKey(TIniFile &ini, const QString &section, const ProfileKey &key, const ConnectionProfile &profile)
{
    const QString name = key.name.toString();
    std::visit(
        Overloaded{
            [&](bool P::*field) { ini.WriteBool(section, name, profile.*field); },
            [&](int P::*field) { ini.WriteInteger(section, name, profile.*field); },
            [&](QDateTime P::*field) { ini.WriteDateTime(section, name, profile.*field); },
            // FTP, which a missing key means, leaves no key: FTP sections
            // stay as they always were.
            [&](FileProtocol P::*field) {
                ini.WriteString(section, name,
                                profile.*field == FileProtocol::Sftp ? kSftpText.toString() : QString());
            },
            [&](QString P::*field) {
                // Passwords were checked before anything was written.
                const QString &text = profile.*field;
                ini.WriteString(section, name,
                                key.storage == Storage::Scrambled ? ScramblePassword(text).value_or(QString())
                                                                  : text);
            },
        },
        key.field);
}

int NumberOr(const QString &text, int fallback)
{
    return TIniFile::ParseInteger(text).value_or(fallback);
}

} // namespace

std::optional<ConnectionProfile> ConnectionProfile::Read(const TIniFile &ini, const QString &section,
                                                         const QString &groupPath)
{
    if (!ini.SectionExists(section))
        return std::nullopt;
    ConnectionProfile profile;
    for (const ProfileKey &key : kProfileKeys)
        ReadKey(ini, section, key, profile);
    for (int line = 0; line < kMaxCommentLines; ++line) {
        const QString comment = ini.ReadString(section, CommentKey(line), QString());
        if (!comment.isEmpty())
            profile.Comments.append(comment);
    }
    PasswordStore::FetchPasswords(ini, section, groupPath, profile);
    return profile;
}

bool ConnectionProfile::PasswordsFitStorage() const
{
    const ConnectionProfile stored = WithoutUnusedKeys();
    for (const ProfileKey &key : kProfileKeys) {
        if (key.storage == Storage::Scrambled &&
            !PasswordFitsStorage(stored.*std::get<QString P::*>(key.field)))
            return false;
    }
    return true;
}

bool ConnectionProfile::PortsInRange() const
{
    return !IsPortBeyondRange(FTP_Port) && !IsPortBeyondRange(Proxy_Port) && !IsPortBeyondRange(Socket_Port);
}

bool ConnectionProfile::Write(TIniFile &ini, const QString &section, ProfileKeys keys,
                              const QString &groupPath) const
{
    if (!PasswordsFitStorage())
        return false;
    const ConnectionProfile stored = WithoutUnusedKeys();
    for (const ProfileKey &key : kProfileKeys) {
        if (!IsWritten(key, keys))
            continue;
        if (key.group == KeyGroup::Ssh && !IsSftp())
            ini.DeleteKey(section, key.name.toString());
        else
            WriteKey(ini, section, key, stored);
    }
    // Moves the passwords just written into the keyring when it keeps them.
    PasswordStore::StorePasswords(stored, ini, section, groupPath, keys);
    for (int line = 0; line < kMaxCommentLines; ++line)
        ini.WriteString(section, CommentKey(line), Comments.value(line));
    return true;
}

ConnectionProfile ConnectionProfile::WithoutUnusedKeys() const
{
    ConnectionProfile stored = *this;
    if (!IsSftp()) {
        stored.SSH_KeyFile.clear();
        stored.SSH_KeyPass.clear();
        stored.SSH_KeyPassask = false;
    }
    return stored;
}

MainWindowValues ConnectionProfile::ApplyTo(TIdFTP &session, ProfileReading reading) const
{
    // A port written after the host ("[::1]:2121") is the one meant.
    const HostPort server = HostPort::Parse(FTP_Server);
    session.Host = server.host;
    session.Port = server.port.value_or(PortNumber());
    session.User = FTP_User.trimmed();
    session.Password = FTP_Pass;
    session.Passive = FTP_Passive;

    session.Gateway_Use = Proxy_Use;
    const HostPort proxy = HostPort::Parse(Proxy_Server);
    session.Gateway_Host = proxy.host;
    session.Gateway_Port = quint16(proxy.port.value_or(ProxyPortNumber()));
    session.Gateway_Authenticate = FW_Use;
    session.Gateway_User = FW_User.trimmed();
    session.Gateway_Password = FW_Pass;
    session.Gateway_Art = FW_Art;

    session.SocksInfo.Authentication = Socket_Use ? saUsernamePassword : saNoAuthentication;
    session.SocksInfo.Host = Socket_Host.trimmed();
    session.SocksInfo.Port = SocksPortNumber();
    session.SocksInfo.UserID = Socket_User.trimmed();
    session.SocksInfo.Password = Socket_Pass;

    session.MListart = MLSD;
    session.TimeCorrection.DateTimeNo = DateTimeNo;
    session.TimeCorrection.DateTimeManuel = DateTimeManuel;
    session.TimeCorrection.TimeDif = QTime(TimeDif.time().hour(), TimeDif.time().minute());
    session.TimeCorrection.TimeDifvz = TimeDifSign();
    session.isSearch = reading == ProfileReading::Search;

    // A session may have run over SSL before; the other readings never do.
    const bool readsSsl = reading == ProfileReading::ConnectionManager || reading == ProfileReading::Search;
    session.UseSSL = readsSsl && ssl;
    session.SSLExplicit = session.UseSSL && SSL_Explicit;
    if (readsSsl) {
        session.RootCertificateFile = RootCertificateFile;
        session.KeyFile = KeyFile;
        session.CertificateFile = CertificateFile;
        session.SSLPassword = SSLPassword;
        session.SSLPasswordask = SSLPasswordask;
        session.SSLMethod = SSLMethod;
        session.SSLDepth = SSLDepth;
        session.SSLPeer = SSLPeer;
        session.SSLPeerCert = SSLPeerCert;
        session.SSLClientOnce = SSLClientOnce;
    }
    return MainWindowSettings();
}

MainWindowValues ConnectionProfile::MainWindowSettings() const
{
    return {Log, Maxentry, FTPOrdner, LocalFolder, Timeout, Protokoll, SshKey()};
}

int ConnectionProfile::PortNumber() const
{
    return NumberOr(FTP_Port, 21);
}

quint16 ConnectionProfile::ProxyPortNumber() const
{
    constexpr int kDefaultProxyPort = 4421;
    const int port = NumberOr(Proxy_Port, kDefaultProxyPort);
    return quint16(port < 0 || port > kHighestPort ? kDefaultProxyPort : port);
}

int ConnectionProfile::SocksPortNumber() const
{
    return NumberOr(Socket_Port, 1080);
}

int ConnectionProfile::TimeDifSign() const
{
    return TimeDifvz == u"-"_s ? -1 : 1;
}

std::optional<MainWindowValues> ApplyProfile(const TIniFile &ini, const QString &section, TIdFTP &session,
                                             ProfileReading reading, const QString &groupPath)
{
    const auto profile = ConnectionProfile::Read(ini, section, groupPath);
    if (!profile)
        return std::nullopt;
    return profile->ApplyTo(session, reading);
}

std::optional<MainWindowValues> ApplyConnectionFile(const QString &fileName, TIdFTP &session)
{
    const TIniFile file(fileName);
    const QStringList sections = file.ReadSections();
    if (sections.isEmpty())
        return std::nullopt;
    return ApplyProfile(file, sections.first(), session, ProfileReading::ConnectionFile);
}

bool IsPortBeyondRange(QStringView text)
{
    bool isNumber = false;
    const qlonglong port = text.trimmed().toLongLong(&isNumber);
    return isNumber && port > kHighestPort;
}

bool IsFitToConnect(const TIdFTP &session)
{
    return !session.Host.isEmpty() && session.Port > 0 && session.Port <= kHighestPort;
}

void ApplySshSettings(const TIdFTP &applied, const SshKeySettings &key, SftpFileSystem &sftp)
{
    sftp.Host = applied.Host;
    sftp.Port = applied.Port;
    sftp.User = applied.User;
    sftp.Password = applied.Password;
    sftp.ReadTimeout = applied.ReadTimeout;
    sftp.IdentityFile = key.KeyFile;
    sftp.IdentityPassphrase = key.KeyPass;
    sftp.AskIdentityPassphrase = key.KeyPassask;
}
