#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace korvane {

// Passwords, API tokens and session ids through libsodium: nothing of our own making.

// Makes libsodium ready; false when it cannot be (then nothing here may be used).
bool credentialsReady();

enum class HashCost {
    Interactive, // what a login should cost (argon2id, libsodium's interactive limits)
    Minimal      // libsodium's minimum: for tests only
};
// The password as crypto_pwhash_str stores it (argon2id, with its salt and costs); nullopt
// when libsodium could not hash it (out of memory).
std::optional<QString> hashPassword(const QString &password, HashCost cost = HashCost::Interactive);
bool passwordMatches(const QString &password, const QString &storedHash);
// A password is at least this many characters long.
inline constexpr int kMinPasswordLength = 8;

// A new API token: "kv_" and 64 hex digits (256 random bits).
QString newApiToken();
// What the store keeps of a token: its BLAKE2b hash (crypto_generichash), in hex.
QString tokenHash(const QString &token);

// A new random id (256 bits) in hex: sessions and form tokens.
QByteArray newRandomId();

} // namespace korvane
