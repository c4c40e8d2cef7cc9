#include "dbe/crypto/sealing.h"

#include "dbe/error.h"

#include <QtEndian>
#include <array>
#include <memory>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace dbe::sealing {

namespace {

// Layout: magic, format, derivation, its iterations (big-endian), salt, password check, nonce;
// then the ciphertext and the tag. Everything before the ciphertext is authenticated with it.
constexpr char Magic[8] = {'V', 'S', 'E', 'A', 'L', '\r', '\n', '\x1a'};
constexpr quint8 Format = 1;
constexpr quint8 Pbkdf2Sha512 = 1;
// The cost of one guess, about a quarter of a second here; read from each file, so that later
// files may raise it without making older ones unreadable.
constexpr quint32 Iterations = 210000;
constexpr int SaltSize = 16;
constexpr int CheckSize = 16;
constexpr int NonceSize = 12;
constexpr int TagSize = 16;
constexpr int KeySize = 32;
constexpr int HeaderSize = 8 + 1 + 1 + 4 + SaltSize + CheckSize + NonceSize;
// An upper bound on what a file may ask the derivation to cost, so that a forged header cannot
// keep the program busy for hours.
constexpr quint32 MostIterations = 10000000;

// The derived bytes: the key, then a check value that tells a wrong password from damage.
struct Derived {
    std::array<unsigned char, 64> bytes{};
    ~Derived() { OPENSSL_cleanse(bytes.data(), bytes.size()); }
    const unsigned char *key() const { return bytes.data(); }
    QByteArray check() const
    {
        return QByteArray(reinterpret_cast<const char *>(bytes.data()) + KeySize, CheckSize);
    }
};

void derive(Derived &out, const QString &password, const QByteArray &salt, quint32 iterations)
{
    const QByteArray secret = password.toUtf8();
    const int ok = PKCS5_PBKDF2_HMAC(secret.constData(), int(secret.size()),
                                     reinterpret_cast<const unsigned char *>(salt.constData()),
                                     int(salt.size()), int(iterations), EVP_sha512(),
                                     int(out.bytes.size()), out.bytes.data());
    if (ok != 1)
        throw Error(QStringLiteral("The key of the sealed file cannot be derived."));
}

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char *>(bytes.data()), size) != 1)
        throw Error(QStringLiteral("The system's random source failed."));
    return bytes;
}

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

const unsigned char *bytesOf(const QByteArray &bytes)
{
    return reinterpret_cast<const unsigned char *>(bytes.constData());
}

[[noreturn]] void damaged()
{
    throw Error(QStringLiteral("The file is damaged or was changed: it does not read as it was "
                               "written."),
                Error::Damaged);
}

} // namespace

bool looksSealed(const QByteArray &bytes)
{
    return bytes.startsWith(QByteArray(Magic, sizeof Magic));
}

QByteArray seal(const QByteArray &plain, const QString &password)
{
    const QByteArray salt = randomBytes(SaltSize);
    const QByteArray nonce = randomBytes(NonceSize);
    Derived derived;
    derive(derived, password, salt, Iterations);

    QByteArray header(Magic, sizeof Magic);
    header.append(char(Format));
    header.append(char(Pbkdf2Sha512));
    char iterations[4];
    qToBigEndian(Iterations, iterations);
    header.append(iterations, 4);
    header.append(salt);
    header.append(derived.check());
    header.append(nonce);

    CipherContext context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    QByteArray out = header;
    out.resize(HeaderSize + plain.size() + TagSize);
    auto *cipher = reinterpret_cast<unsigned char *>(out.data()) + HeaderSize;
    int written = 0;
    int ignored = 0;
    const bool ok =
        context &&
        EVP_EncryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_IVLEN, NonceSize, nullptr) == 1 &&
        EVP_EncryptInit_ex(context.get(), nullptr, nullptr, derived.key(), bytesOf(nonce)) == 1 &&
        EVP_EncryptUpdate(context.get(), nullptr, &ignored, bytesOf(header), int(header.size())) ==
            1 &&
        EVP_EncryptUpdate(context.get(), cipher, &written, bytesOf(plain), int(plain.size())) ==
            1 &&
        EVP_EncryptFinal_ex(context.get(), cipher + written, &ignored) == 1 &&
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_GET_TAG, TagSize, cipher + plain.size()) ==
            1;
    if (!ok)
        throw Error(QStringLiteral("The file cannot be sealed: the cipher failed."));
    return out;
}

QByteArray unseal(const QByteArray &sealed, const QString &password)
{
    if (!looksSealed(sealed) || sealed.size() < HeaderSize + TagSize)
        throw Error(QStringLiteral("The file is not a sealed file of this kit."), Error::Damaged);
    if (quint8(sealed.at(8)) != Format || quint8(sealed.at(9)) != Pbkdf2Sha512)
        throw Error(QStringLiteral("The file was sealed by a later version of the kit."),
                    Error::Damaged);
    const quint32 iterations = qFromBigEndian<quint32>(sealed.constData() + 10);
    if (iterations == 0 || iterations > MostIterations)
        damaged();
    const QByteArray salt = sealed.mid(14, SaltSize);
    const QByteArray check = sealed.mid(14 + SaltSize, CheckSize);
    const QByteArray nonce = sealed.mid(14 + SaltSize + CheckSize, NonceSize);
    Derived derived;
    derive(derived, password, salt, iterations);
    if (CRYPTO_memcmp(derived.check().constData(), check.constData(), CheckSize) != 0)
        throw Error(QStringLiteral("The password is not the one the file was sealed with."),
                    Error::BadPassword);

    const qsizetype cipherSize = sealed.size() - HeaderSize - TagSize;
    QByteArray plain(cipherSize, '\0');
    auto *out = reinterpret_cast<unsigned char *>(plain.data());
    QByteArray tag = sealed.right(TagSize);
    CipherContext context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    int written = 0;
    int ignored = 0;
    const bool ok =
        context &&
        EVP_DecryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_IVLEN, NonceSize, nullptr) == 1 &&
        EVP_DecryptInit_ex(context.get(), nullptr, nullptr, derived.key(), bytesOf(nonce)) == 1 &&
        EVP_DecryptUpdate(context.get(), nullptr, &ignored, bytesOf(sealed), HeaderSize) == 1 &&
        EVP_DecryptUpdate(context.get(), out, &written, bytesOf(sealed) + HeaderSize,
                          int(cipherSize)) == 1 &&
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, TagSize, tag.data()) == 1 &&
        EVP_DecryptFinal_ex(context.get(), out + written, &ignored) == 1;
    if (!ok) {
        OPENSSL_cleanse(plain.data(), size_t(plain.size()));
        damaged();
    }
    return plain;
}

} // namespace dbe::sealing
