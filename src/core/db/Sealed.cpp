#include "db/Sealed.h"

#include <sodium.h>

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace orv {

const QString kSealRefused = QStringLiteral("The passphrase is wrong or the pack is damaged.");

namespace {

constexpr char kMagic[kSealMagicSize] = {'O', 'R', 'V', 'D', 'P', 'A', 'C', 'K'};
constexpr unsigned char kVersion = 1;
// magic, version, three bytes kept for later, cost of time and of memory, salt, stream header.
constexpr int kHeaderSize =
    kSealMagicSize + 4 + 8 + 8 + 16 + crypto_secretstream_xchacha20poly1305_HEADERBYTES;
constexpr int kChunk = 1 << 20;
// A forged header must not make the program spend minutes or gigabytes before it says no.
constexpr std::uint64_t kMaxOps = 16;
constexpr std::uint64_t kMaxMem = std::uint64_t(1) << 30;

void requireSodium() {
    if (sodium_init() < 0)
        throw SealError(QStringLiteral("The encryption library could not start."));
}

void putU64(QByteArray& out, std::uint64_t v) {
    unsigned char b[8];
    qToLittleEndian(v, b);
    out.append(reinterpret_cast<const char*>(b), 8);
}

} // namespace

// Reads and writes the header, and derives keys: the one place that sees inside a SealKey.
class SealFormat {
public:
    static SealKey derive(const QString& passphrase, const unsigned char* salt, std::uint64_t ops,
                          std::uint64_t mem) {
        requireSodium();
        if (passphrase.isEmpty())
            throw SealError(QStringLiteral("The passphrase is empty."));
        SealKey key;
        std::memcpy(key.mSalt.data(), salt, key.mSalt.size());
        key.mOps = ops;
        key.mMem = mem;
        QByteArray utf8 = passphrase.toUtf8();
        const int rc = crypto_pwhash(key.mKey.data(), key.mKey.size(), utf8.constData(),
                                     static_cast<unsigned long long>(utf8.size()), key.mSalt.data(),
                                     ops, static_cast<size_t>(mem), crypto_pwhash_ALG_ARGON2ID13);
        sodium_memzero(utf8.data(), static_cast<size_t>(utf8.size()));
        if (rc != 0)
            throw SealError(QStringLiteral("There is not enough memory to open the pack."));
        return key;
    }

    static QByteArray header(const SealKey& key) {
        QByteArray out(kMagic, kSealMagicSize);
        out.append(static_cast<char>(kVersion));
        out.append(3, '\0');
        putU64(out, key.mOps);
        putU64(out, key.mMem);
        out.append(reinterpret_cast<const char*>(key.mSalt.data()),
                   static_cast<qsizetype>(key.mSalt.size()));
        return out;
    }

    static const unsigned char* key(const SealKey& k) { return k.mKey.data(); }
    static void wipe(SealKey& k) { sodium_memzero(k.mKey.data(), k.mKey.size()); }
};

SealKey SealKey::derive(const QString& passphrase) {
    requireSodium();
    unsigned char salt[16];
    randombytes_buf(salt, sizeof salt);
    return SealFormat::derive(passphrase, salt, crypto_pwhash_OPSLIMIT_INTERACTIVE,
                              crypto_pwhash_MEMLIMIT_INTERACTIVE);
}

SealKey::~SealKey() {
    SealFormat::wipe(*this);
}

bool isSealed(const QByteArray& head) {
    return head.size() >= kSealMagicSize &&
           std::memcmp(head.constData(), kMagic, kSealMagicSize) == 0;
}

QByteArray seal(const QByteArray& plain, const SealKey& key) {
    requireSodium();
    QByteArray out = SealFormat::header(key);
    crypto_secretstream_xchacha20poly1305_state state;
    unsigned char streamHeader[crypto_secretstream_xchacha20poly1305_HEADERBYTES];
    crypto_secretstream_xchacha20poly1305_init_push(&state, streamHeader, SealFormat::key(key));
    out.append(reinterpret_cast<const char*>(streamHeader), sizeof streamHeader);
    // The header is bound to the first chunk: a changed cost or salt is refused like a changed
    // byte of the contents.
    const QByteArray bound = out;
    qsizetype at = 0;
    bool first = true;
    do {
        const qsizetype n = std::min<qsizetype>(kChunk, plain.size() - at);
        const bool last = at + n == plain.size();
        const qsizetype start = out.size();
        out.resize(start + 4 + n + crypto_secretstream_xchacha20poly1305_ABYTES);
        auto* cipher = reinterpret_cast<unsigned char*>(out.data() + start + 4);
        unsigned long long written = 0;
        crypto_secretstream_xchacha20poly1305_push(
            &state, cipher, &written,
            reinterpret_cast<const unsigned char*>(plain.constData() + at),
            static_cast<unsigned long long>(n),
            first ? reinterpret_cast<const unsigned char*>(bound.constData()) : nullptr,
            first ? static_cast<unsigned long long>(bound.size()) : 0,
            last ? crypto_secretstream_xchacha20poly1305_TAG_FINAL : 0);
        qToLittleEndian(static_cast<quint32>(written), out.data() + start);
        at += n;
        first = false;
        if (last)
            break;
    } while (true);
    sodium_memzero(&state, sizeof state);
    return out;
}

QByteArray unseal(const QByteArray& sealed, const QString& passphrase,
                  std::optional<SealKey>* keyOut) {
    if (!isSealed(sealed))
        throw SealError(QStringLiteral("The file is not a field pack."));
    if (sealed.size() < kHeaderSize)
        throw SealError(kSealRefused);
    const auto* bytes = reinterpret_cast<const unsigned char*>(sealed.constData());
    if (bytes[kSealMagicSize] != kVersion)
        throw SealError(QStringLiteral("The pack was made by a newer version of the program."));
    const std::uint64_t ops = qFromLittleEndian<quint64>(bytes + kSealMagicSize + 4);
    const std::uint64_t mem = qFromLittleEndian<quint64>(bytes + kSealMagicSize + 12);
    if (ops < crypto_pwhash_OPSLIMIT_MIN || ops > kMaxOps || mem < crypto_pwhash_MEMLIMIT_MIN ||
        mem > kMaxMem)
        throw SealError(kSealRefused);
    const SealKey key = SealFormat::derive(passphrase, bytes + kSealMagicSize + 20, ops, mem);
    crypto_secretstream_xchacha20poly1305_state state;
    if (crypto_secretstream_xchacha20poly1305_init_pull(
            &state, bytes + kHeaderSize - crypto_secretstream_xchacha20poly1305_HEADERBYTES,
            SealFormat::key(key)) != 0)
        throw SealError(kSealRefused);
    QByteArray plain;
    qsizetype at = kHeaderSize;
    bool first = true;
    bool finished = false;
    while (!finished) {
        if (sealed.size() - at < 4)
            throw SealError(kSealRefused);
        const quint32 n = qFromLittleEndian<quint32>(bytes + at);
        at += 4;
        if (n < crypto_secretstream_xchacha20poly1305_ABYTES ||
            n > kChunk + crypto_secretstream_xchacha20poly1305_ABYTES || sealed.size() - at < n)
            throw SealError(kSealRefused);
        const qsizetype start = plain.size();
        plain.resize(start + n - crypto_secretstream_xchacha20poly1305_ABYTES);
        unsigned long long got = 0;
        unsigned char tag = 0;
        if (crypto_secretstream_xchacha20poly1305_pull(
                &state, reinterpret_cast<unsigned char*>(plain.data() + start), &got, &tag,
                bytes + at, n, first ? bytes : nullptr, first ? kHeaderSize : 0) != 0) {
            sodium_memzero(plain.data(), static_cast<size_t>(plain.size()));
            throw SealError(kSealRefused);
        }
        at += n;
        first = false;
        finished = tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL;
    }
    // Bytes after the last chunk were added by someone else.
    if (at != sealed.size()) {
        sodium_memzero(plain.data(), static_cast<size_t>(plain.size()));
        throw SealError(kSealRefused);
    }
    if (keyOut)
        *keyOut = key;
    return plain;
}

} // namespace orv
