#pragma once

#include <QString>

#include <optional>

// The desktop's keyring (the Secret Service on the session bus), reached
// through QtKeychain. Every entry belongs to the service "Glimra"; its key is
// the rest of the entry name ("/Linux/Server/FTP_Pass"). Each call waits for
// the keyring's answer, processing events meanwhile, at most kAnswerWaitMs.
namespace Keyring {

inline constexpr int kAnswerWaitMs = 15000;

struct Answer {
    bool reached = false;            // the keyring answered (an entry that is not there counts)
    std::optional<QString> password; // Read: the stored text, nothing when there is no entry
    QString problem;                 // why the keyring could not be reached, in German
};

Answer Read(const QString &key);
Answer Write(const QString &key, const QString &password);
// Removing an entry that is not there is no failure.
Answer Remove(const QString &key);

// Nothing when a keyring answers; else why not, for the user.
std::optional<QString> Unreachable();

} // namespace Keyring
