#include "db/Sealed.h"

#include <gtest/gtest.h>

#include <functional>

namespace orv::test {
namespace {

QByteArray contents(qsizetype size) {
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7919) % 251);
    return bytes;
}

// What reaches the reader, and whether it must open: one sealed file spoilt in every way a disk,
// a stick or a person can spoil it.
TEST(Sealed, OpensWhatItSealedAndRefusesEveryChange) {
    // Over a chunk's size, so that a cut at a chunk's end is tried too.
    const QByteArray plain = contents((1 << 20) + 1000);
    const QByteArray sealed = seal(plain, SealKey::derive(QStringLiteral("correct horse")));
    ASSERT_TRUE(isSealed(sealed));
    EXPECT_EQ(sealed.indexOf(plain.mid(5000, 64)), -1) << "the contents show through";
    const qsizetype header = 8 + 4 + 8 + 8 + 16 + 24;

    struct Case {
        const char* name;
        std::function<QByteArray(QByteArray)> spoil;
        QString passphrase = QStringLiteral("correct horse");
        QString refusal = kSealRefused;
    };
    auto flip = [](qsizetype at) {
        return [at](QByteArray b) {
            b[at < 0 ? b.size() + at : at] = static_cast<char>(b[at < 0 ? b.size() + at : at] ^ 1);
            return b;
        };
    };
    auto cut = [](qsizetype keep) { return [keep](QByteArray b) { return b.left(keep); }; };
    const Case cases[] = {
        {"as sealed", [](QByteArray b) { return b; }, QStringLiteral("correct horse"), {}},
        {"wrong passphrase", [](QByteArray b) { return b; }, QStringLiteral("correct hors")},
        {"salt changed", flip(8 + 4 + 16)},
        {"cost changed", flip(8 + 4)},
        {"stream header changed", flip(header - 1)},
        {"first chunk changed", flip(header + 10)},
        {"last byte changed", flip(-1)},
        {"cut in the header", cut(20)},
        {"cut after the first chunk", cut(header + 4 + (1 << 20) + 17)},
        {"cut by a byte", cut(sealed.size() - 1)},
        {"a byte added", [](QByteArray b) { return b + '\0'; }},
        {"no pack at all", [](QByteArray b) { return b.mid(1); }, QStringLiteral("correct horse"),
         QStringLiteral("The file is not a field pack.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<SealKey> key;
        if (c.refusal.isEmpty()) {
            EXPECT_EQ(unseal(c.spoil(sealed), c.passphrase, &key), plain);
            ASSERT_TRUE(key.has_value());
            // Sealed again with the key it gave, it opens with the same passphrase.
            EXPECT_EQ(unseal(seal(plain, *key), c.passphrase), plain);
            continue;
        }
        try {
            unseal(c.spoil(sealed), c.passphrase, &key);
            ADD_FAILURE() << "opened";
        } catch (const SealError& e) {
            EXPECT_EQ(e.message(), c.refusal);
        }
        EXPECT_FALSE(key.has_value());
    }
}

} // namespace
} // namespace orv::test
