#pragma once

#include <QString>

class TIniFile;
struct ConnectionProfile;
enum class ProfileKeys;

// Where the passwords of saved connections live. As always they may be kept
// scrambled in the profile; with the setting "Kennwörter im Schlüsselbund
// speichern" they go to the desktop's keyring instead, and the profile keeps
// empty values, the marker "Keyring=-1" and the name its entries were stored
// under ("KeyringEntry=/Linux/Server"), so that a renamed or moved connection
// and a copy of its section in a connection file still find them. Reading
// follows the marker, whatever the setting says.
namespace PasswordStore {

// Whether passwords saved from now on go to the keyring (the setting).
void SetKeyringUse(bool on);
bool KeyringUse();

// The keyring name of a connection: "/Linux/Server" for the connection
// "Server" in the group path "Linux/"; entries add "/" and the key.
QString EntryName(const QString &groupPath, const QString &connectionName);

// Fills the profile's passwords from the keyring when its section carries
// the marker; an entry that is missing leaves its password empty, so the
// login asks for it. False when the keyring could not be reached.
bool FetchPasswords(const TIniFile &ini, const QString &section, const QString &groupPath,
                    ConnectionProfile &profile);

// Writes the profile's password keys: into the keyring with the marker when
// the setting is on and the keyring takes every one of them, else scrambled
// (and the entries of earlier saves removed). Returns true when they went to
// the keyring.
bool StorePasswords(const ConnectionProfile &profile, TIniFile &ini, const QString &section,
                    const QString &groupPath, ProfileKeys keys);

// Stores an existing section's passwords again where the setting says now,
// touching no other key. False when they stay where they were because the
// keyring could not be reached.
bool RelocatePasswords(TIniFile &ini, const QString &section, const QString &groupPath);

} // namespace PasswordStore
