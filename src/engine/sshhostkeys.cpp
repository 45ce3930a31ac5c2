#include "sshhostkeys.h"

#include "idexceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libssh/libssh.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The library reads no file where it is given none at all: an empty name
// would make it fall back to its default.
QByteArray FileOption(const QString &file)
{
    return file.isEmpty() ? QByteArrayLiteral("/dev/null") : QFile::encodeName(file);
}

HostKeyInfo KeyInfo(ssh_session session, const QString &host, int port)
{
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(session, &key) != SSH_OK)
        throw EIdException(u"Der Server %1 hat keinen Host-Schlüssel gezeigt."_s.arg(host));
    std::unique_ptr<ssh_key_struct, decltype(&ssh_key_free)> keyOwner(key, ssh_key_free);
    unsigned char *hash = nullptr;
    size_t hashLength = 0;
    if (ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &hashLength) != 0)
        throw EIdException(u"Der Host-Schlüssel von %1 ist nicht lesbar."_s.arg(host));
    char *fingerprint = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, hashLength);
    ssh_clean_pubkey_hash(&hash);
    HostKeyInfo info;
    info.host = host;
    info.port = port;
    info.keyType = QString::fromLatin1(ssh_key_type_to_char(ssh_key_type(key)));
    info.fingerprint = QString::fromLatin1(fingerprint);
    ssh_string_free_char(fingerprint);
    return info;
}

QString HostText(const HostKeyInfo &key)
{
    return key.port == 22 ? key.host : u"[%1]:%2"_s.arg(key.host, QString::number(key.port));
}

} // namespace

void SshHostKeys::UseFiles(ssh_session session, const QString &userFile, const QString &ownFile)
{
    ssh_options_set(session, SSH_OPTIONS_KNOWNHOSTS, FileOption(userFile).constData());
    ssh_options_set(session, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, FileOption(ownFile).constData());
}

SshHostKeys::Result SshHostKeys::Check(ssh_session session, const QString &host, int port)
{
    Result result;
    result.key = KeyInfo(session, host, port);
    switch (ssh_session_is_known_server(session)) {
    case SSH_KNOWN_HOSTS_OK:
        result.verdict = Verdict::Known;
        break;
    // A key of another type known for the host is as suspicious as a
    // changed one: the library prefers the known type when it negotiates.
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER:
        result.verdict = Verdict::Changed;
        break;
    case SSH_KNOWN_HOSTS_UNKNOWN:
    case SSH_KNOWN_HOSTS_NOT_FOUND:
        result.verdict = Verdict::Unknown;
        break;
    case SSH_KNOWN_HOSTS_ERROR:
        throw EIdException(u"Die Liste der bekannten Host-Schlüssel ist nicht lesbar: %1"_s.arg(
            QString::fromUtf8(ssh_get_error(session))));
    }
    return result;
}

QByteArray SshHostKeys::EntryOf(ssh_session session)
{
    char *entry = nullptr;
    if (ssh_session_export_known_hosts_entry(session, &entry) != SSH_OK)
        return {};
    QByteArray line(entry);
    ssh_string_free_char(entry);
    if (!line.endsWith('\n'))
        line.append('\n');
    return line;
}

bool SshHostKeys::Remember(const QString &file, const QByteArray &entry, QString *error)
{
    QFile known(file);
    if (entry.isEmpty() || !QDir().mkpath(QFileInfo(file).absolutePath()) ||
        !known.open(QIODevice::WriteOnly | QIODevice::Append) || known.write(entry) != entry.size()) {
        if (error)
            *error = u"Der Host-Schlüssel konnte nicht in %1 gespeichert werden: %2"_s.arg(
                file, known.errorString());
        return false;
    }
    return true;
}

QString SshHostKeys::ChangedWarning(const HostKeyInfo &key)
{
    return u"WARNUNG: Der Host-Schlüssel von %1 hat sich geändert! Möglicherweise hört jemand die Verbindung "
           u"ab (Man-in-the-Middle-Angriff), oder der Server hat einen neuen Schlüssel bekommen. Der Server "
           u"zeigt jetzt einen %2-Schlüssel mit dem Fingerabdruck %3. Die Verbindung wurde abgebrochen, "
           u"ohne Anmeldedaten zu senden. Ist der neue Schlüssel echt, entfernen Sie den alten Eintrag aus "
           u"der Liste der bekannten Hosts."_s.arg(HostText(key), key.keyType, key.fingerprint);
}

QString SshHostKeys::UnknownRefusal(const HostKeyInfo &key)
{
    return u"Der Host-Schlüssel von %1 ist unbekannt (%2, %3); die Verbindung wurde nicht aufgebaut."_s.arg(
        HostText(key), key.keyType, key.fingerprint);
}
