#pragma once

#include <QString>

#include <optional>

// Stored passwords of connection profiles are scrambled with a fixed key and
// kept as Base64 text. The scrambling works on the password's Windows-1252
// bytes, or, when a character has no Windows-1252 byte, on a byte-order mark
// (EF BB BF) followed by its UTF-8 bytes.
//
// The stored form is limited to 512 characters, which holds 384 bytes, the
// mark included; longer passwords and longer stored texts are refused
// (nullopt).

inline constexpr int kMaxPasswordBytes = 384;
inline constexpr int kMaxScrambledLength = 512;

// True when the password can be stored, that is when its bytes fit the limit.
bool PasswordFitsStorage(const QString &password);

// An empty password gives an empty text.
std::optional<QString> ScramblePassword(const QString &password);

// Decoding stops at the first character that is neither Base64 nor "=".
std::optional<QString> UnscramblePassword(const QString &stored);
