#pragma once
#include "db/Error.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace orv {

// What a user is told for a wrong passphrase and for a file that is not what it was sealed as:
// telling them apart would tell an attacker which passphrases are close.
extern const QString kSealRefused;

// A sealed file refused: the passphrase is wrong, or the file was changed or cut short.
class SealError : public Error {
public:
    using Error::Error;
};

// The key a passphrase gives, with what made it (salt and cost), kept so that a file opened
// once is sealed again without asking for the passphrase. Wiped when it ends.
class SealKey {
public:
    // A fresh salt: each sealed file made anew has a key of its own. Throws SealError for an
    // empty passphrase or when the memory for the derivation cannot be had.
    static SealKey derive(const QString& passphrase);
    SealKey(const SealKey& other) = default;
    SealKey& operator=(const SealKey& other) = default;
    ~SealKey();

private:
    friend class SealFormat;
    SealKey() = default;
    std::array<unsigned char, 32> mKey{};
    std::array<unsigned char, 16> mSalt{};
    std::uint64_t mOps = 0;
    std::uint64_t mMem = 0;
};

// Whether the bytes start as a sealed file does.
bool isSealed(const QByteArray& head);
// The bytes a sealed file's first read must cover to tell.
constexpr int kSealMagicSize = 8;

// Authenticated encryption of a whole file's contents under the key (a stream cipher in
// chunks, the last one marked as such: a file cut short is refused too).
QByteArray seal(const QByteArray& plain, const SealKey& key);
// Opens what seal() made with the passphrase; `key`, when given, receives the key for sealing
// again. Throws SealError (kSealRefused, or the reason when the file is no sealed file at all).
QByteArray unseal(const QByteArray& sealed, const QString& passphrase,
                  std::optional<SealKey>* key = nullptr);

} // namespace orv
