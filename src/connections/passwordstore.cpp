#include "passwordstore.h"

#include "connectionprofile.h"
#include "keyring.h"
#include "passwordscramble.h"
#include "tinifile.h"

using namespace Qt::StringLiterals;

namespace {

bool g_keyringUse = false;

const QString kMarkerKey = u"Keyring"_s;
const QString kEntryKey = u"KeyringEntry"_s;

struct PasswordKey {
    QString name;
    QString ConnectionProfile::*field;
    bool ownKey; // written only with every key (not for entries of the published list)
};

const PasswordKey kPasswordKeys[] = {
    {u"FTP_Pass"_s, &ConnectionProfile::FTP_Pass, false},
    {u"FW_Pass"_s, &ConnectionProfile::FW_Pass, false},
    {u"Socket_Pass"_s, &ConnectionProfile::Socket_Pass, false},
    {u"SSLPassword"_s, &ConnectionProfile::SSLPassword, true},
    {u"SSH_KeyPass"_s, &ConnectionProfile::SSH_KeyPass, true},
};

bool IsWritten(const PasswordKey &key, ProfileKeys keys)
{
    return keys == ProfileKeys::All || !key.ownKey;
}

QString EntryKey(const QString &entryName, const PasswordKey &key)
{
    return entryName + u'/' + key.name;
}

// The entry name a section's passwords were stored under; empty when the
// section keeps them itself.
QString StoredEntryName(const TIniFile &ini, const QString &section, const QString &groupPath)
{
    if (!ini.ReadBool(section, kMarkerKey, false))
        return QString();
    return ini.ReadString(section, kEntryKey, PasswordStore::EntryName(groupPath, section));
}

void RemoveEntries(const QString &entryName)
{
    for (const PasswordKey &key : kPasswordKeys) {
        if (!Keyring::Remove(EntryKey(entryName, key)).reached)
            return;
    }
}

bool WriteEntries(const ConnectionProfile &profile, const QString &entryName, ProfileKeys keys)
{
    for (const PasswordKey &key : kPasswordKeys) {
        if (!IsWritten(key, keys))
            continue;
        const QString &password = profile.*key.field;
        const QString entryKey = EntryKey(entryName, key);
        const Keyring::Answer answer =
            password.isEmpty() ? Keyring::Remove(entryKey) : Keyring::Write(entryKey, password);
        if (!answer.reached)
            return false;
    }
    return true;
}

void WriteScrambled(const ConnectionProfile &profile, TIniFile &ini, const QString &section, ProfileKeys keys)
{
    for (const PasswordKey &key : kPasswordKeys) {
        if (IsWritten(key, keys))
            ini.WriteString(section, key.name, ScramblePassword(profile.*key.field).value_or(QString()));
    }
    ini.DeleteKey(section, kMarkerKey);
    ini.DeleteKey(section, kEntryKey);
}

void WriteMarker(TIniFile &ini, const QString &section, const QString &entryName, ProfileKeys keys)
{
    for (const PasswordKey &key : kPasswordKeys) {
        if (IsWritten(key, keys))
            ini.DeleteKey(section, key.name);
    }
    ini.WriteBool(section, kMarkerKey, true);
    ini.WriteString(section, kEntryKey, entryName);
}

} // namespace

namespace PasswordStore {

void SetKeyringUse(bool on)
{
    g_keyringUse = on;
}

bool KeyringUse()
{
    return g_keyringUse;
}

QString EntryName(const QString &groupPath, const QString &connectionName)
{
    QString name;
    for (const QString &group : groupPath.split(u'/', Qt::SkipEmptyParts))
        name += u'/' + group;
    return name + u'/' + connectionName;
}

bool FetchPasswords(const TIniFile &ini, const QString &section, const QString &groupPath,
                    ConnectionProfile &profile)
{
    const QString entryName = StoredEntryName(ini, section, groupPath);
    if (entryName.isEmpty())
        return true;
    for (const PasswordKey &key : kPasswordKeys) {
        const Keyring::Answer answer = Keyring::Read(EntryKey(entryName, key));
        if (!answer.reached)
            return false;
        profile.*key.field = answer.password.value_or(QString());
    }
    return true;
}

bool StorePasswords(const ConnectionProfile &profile, TIniFile &ini, const QString &section,
                    const QString &groupPath, ProfileKeys keys)
{
    const QString earlierEntryName = StoredEntryName(ini, section, groupPath);
    const QString entryName = EntryName(groupPath, section);
    const bool inKeyring = g_keyringUse && WriteEntries(profile, entryName, keys);
    if (!earlierEntryName.isEmpty() && (!inKeyring || earlierEntryName != entryName))
        RemoveEntries(earlierEntryName);
    if (inKeyring)
        WriteMarker(ini, section, entryName, keys);
    else
        WriteScrambled(profile, ini, section, keys);
    return inKeyring;
}

bool RelocatePasswords(TIniFile &ini, const QString &section, const QString &groupPath)
{
    const bool inKeyring = !StoredEntryName(ini, section, groupPath).isEmpty();
    if (inKeyring == g_keyringUse)
        return true;
    // Reading fetched the passwords already, but could not say whether the
    // keyring answered; empty passwords must not replace unreachable ones.
    std::optional<ConnectionProfile> profile = ConnectionProfile::Read(ini, section, groupPath);
    if (!profile || (inKeyring && !FetchPasswords(ini, section, groupPath, *profile)))
        return false;
    return StorePasswords(*profile, ini, section, groupPath, ProfileKeys::All) == g_keyringUse;
}

} // namespace PasswordStore
