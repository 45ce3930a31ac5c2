#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

class SftpFileSystem;
class TIdFTP;
class TIniFile;

// Which way a profile is applied to a session.
enum class ProfileReading {
    ConnectionManager, // every session setting, SSL included
    ConnectionFile,    // a ".glimra" file from the command line: never SSL
    FoundByServer,     // a profile looked up by its host name: never SSL
    Search,            // the search and the saving of its hits: SSL included, never asks the user
};

// Which keys writing a profile stores.
enum class ProfileKeys {
    All,            // the properties dialog
    ConnectionList, // entries added from the published list: no time correction, no SSL
};

// The protocol a saved connection speaks. The key "Protokoll" holds "FTP" or
// "SFTP"; a section without it is FTP, as every section was before SFTP.
enum class FileProtocol { Ftp, Sftp };

// What an SFTP login offers besides the password: a private key file and its
// passphrase, stored or asked for when the key is opened.
struct SshKeySettings {
    QString KeyFile;
    QString KeyPass;
    bool KeyPassask = false;
};

// Settings of a profile that only the main window uses. Applying a profile
// hands them back; the caller decides what to do with them.
struct MainWindowValues {
    bool Log = true;
    int Maxentry = 1000;
    QString FTPOrdner;
    QString LocalFolder;
    int Timeout = 5000; // wait slice of the network waits, in milliseconds
    // Which session the applied settings are for; an SFTP profile sets the
    // FTP session's host, port and login, which ApplySshSettings carries over.
    FileProtocol Protokoll = FileProtocol::Ftp;
    SshKeySettings SshKey;
};

inline constexpr int kMaxCommentLines = 101;
// What an anonymous login sends: anonymous FTP asks for an e-mail address as
// password. New connections from the published list use the same address.
inline constexpr QStringView kAnonymousUser = u"anonymous";
inline constexpr QStringView kAnonymousPassword = u"glimra@example.com";
inline constexpr QStringView kUnfitProfileWarning = u"Die Verbindungseigenschaften sind mangelhaft.";
inline constexpr int kHighestPort = 65535;

// A port text that is a number above 65535. A socket would cut it to 16 bits
// (70000 would reach port 4464). Texts that are no number read as the key's
// default and do not count.
bool IsPortBeyondRange(QStringView text);

// The manual time difference is a duration stored as the time of day of a
// date. It lives on a clock without summer time (UTC), so that every time of
// day exists, also on the day the local clock skips from 02:00 to 03:00.
inline QDateTime ManualTimeDifference(QDate date, QTime time)
{
    return QDateTime(date, time, Qt::UTC);
}

// One saved connection: an INI section named after the connection. The
// members carry the key names; each holds its key's default until read.
// Passwords are held in plain text and stored scrambled, or in the keyring
// (see PasswordStore); groupPath ("Linux/") names the keyring entries.
struct ConnectionProfile {
    bool anonymous = false;
    FileProtocol Protokoll = FileProtocol::Ftp;
    QString FTP_Server;
    QString FTP_Port = QStringLiteral("21"); // as typed; see PortNumber()
    QString FTP_User;
    QString FTP_Pass;
    bool FTP_Passive = false;
    bool Proxy_Use = false;
    QString Proxy_Server;
    QString Proxy_Port; // as typed, empty when absent; see ProxyPortNumber()
    bool FW_Use = false;
    QString FW_User;
    QString FW_Pass;
    int FW_Art = 0;
    bool Socket_Use = false;
    QString Socket_Host;
    QString Socket_Port = QStringLiteral("1080"); // as typed; see SocksPortNumber()
    QString Socket_User;
    QString Socket_Pass;
    int Timeout = 5000;
    QString FTPOrdner;
    QString LocalFolder;
    bool Log = true;
    int Maxentry = 1000;
    bool MLSD = false;
    bool DateTimeNo = false;
    bool DateTimeManuel = false;
    QDateTime TimeDif = ManualTimeDifference(QDate::currentDate(), QTime(0, 0)); // hours and minutes count
    QString TimeDifvz = QStringLiteral("-");
    bool ssl = false;
    bool SSL_Explicit = false; // with ssl: AUTH TLS on the plain port instead of TLS from the first byte
    QString RootCertificateFile;
    QString KeyFile;
    QString CertificateFile;
    QString SSLPassword;
    bool SSLPasswordask = false;
    int SSLMethod = 1;
    int SSLDepth = 0;
    bool SSLPeer = false;
    bool SSLPeerCert = false;
    bool SSLClientOnce = false;
    // SFTP only: an FTP profile stores none of them.
    QString SSH_KeyFile;
    QString SSH_KeyPass;
    bool SSH_KeyPassask = false;
    QStringList Comments; // at most kMaxCommentLines are stored

    // Nothing when the section does not exist.
    static std::optional<ConnectionProfile> Read(const TIniFile &ini, const QString &section,
                                                 const QString &groupPath = QString());
    // Writes the keys in their fixed order; empty values remove their keys.
    // Returns false, writing nothing, when a password is too long to store.
    bool Write(TIniFile &ini, const QString &section, ProfileKeys keys = ProfileKeys::All,
               const QString &groupPath = QString()) const;
    bool PasswordsFitStorage() const;
    // No port text (FTP, proxy, SOCKS) is beyond the range of ports.
    bool PortsInRange() const;

    bool IsSftp() const { return Protokoll == FileProtocol::Sftp; }
    // The profile as it is stored: an FTP profile without the SSH settings.
    ConnectionProfile WithoutUnusedKeys() const;
    SshKeySettings SshKey() const { return {SSH_KeyFile, SSH_KeyPass, SSH_KeyPassask}; }

    // Sets the session's settings; isSearch is on for the search reading
    // only. The readings without SSL switch the session's SSL off.
    MainWindowValues ApplyTo(TIdFTP &session, ProfileReading reading) const;
    MainWindowValues MainWindowSettings() const;

    int PortNumber() const;          // 21 when FTP_Port is no number
    quint16 ProxyPortNumber() const; // 4421 when Proxy_Port is no port number
    int SocksPortNumber() const;     // 1080 when Socket_Port is no number
    int TimeDifSign() const;         // -1 for "-", +1 for anything else
};

// Reads the section and applies it; nothing when the section does not exist.
std::optional<MainWindowValues> ApplyProfile(const TIniFile &ini, const QString &section, TIdFTP &session,
                                             ProfileReading reading, const QString &groupPath = QString());

// A connection file: its first section is the profile, applied without SSL.
// Nothing when the file has no section.
std::optional<MainWindowValues> ApplyConnectionFile(const QString &fileName, TIdFTP &session);

// A session is fit to connect when it has a host and a port from 1 to 65535.
bool IsFitToConnect(const TIdFTP &session);
// Sets up an SFTP session for the server and login an SFTP profile gave the
// FTP session, with the profile's key file.
void ApplySshSettings(const TIdFTP &applied, const SshKeySettings &key, SftpFileSystem &sftp);
