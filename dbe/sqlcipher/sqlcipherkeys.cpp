#include "dbe/sqlcipher/sqlcipherkeys.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QRandomGenerator>
#include <openssl/evp.h>
#include <optional>
#include <sqlite3.h>

namespace dbe::sqlcipherkeys {

namespace {

constexpr int KeySize = 32;

// PBKDF2 as the linked SQLCipher runs it for a password key.
struct Derivation {
    const EVP_MD *digest = nullptr;
    int iterations = 0;
};

QString pragmaText(sqlite3 *connection, const char *pragma)
{
    sqlite3_stmt *stmt = nullptr;
    QString text;
    if (sqlite3_prepare_v2(connection, pragma, -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        text = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    }
    sqlite3_finalize(stmt);
    return text;
}

// Asks SQLCipher what it would do. Versions 3 and 4 are known; anything else (or a library
// whose settings cannot be read) gets no derivation, and SQLCipher derives as before.
std::optional<Derivation> derivationOf(sqlite3 *connection)
{
    if (!connection)
        return std::nullopt;
    const QString version = pragmaText(connection, "PRAGMA cipher_version");
    const int iterations = pragmaText(connection, "PRAGMA cipher_default_kdf_iter").toInt();
    if (iterations <= 0)
        return std::nullopt;
    if (version.startsWith(QLatin1String("3.")))
        return Derivation{EVP_sha1(), iterations};
    if (version.startsWith(QLatin1String("4."))) {
        const QString algorithm = pragmaText(connection, "PRAGMA cipher_default_kdf_algorithm");
        if (algorithm == QLatin1String("PBKDF2_HMAC_SHA512"))
            return Derivation{EVP_sha512(), iterations};
        if (algorithm == QLatin1String("PBKDF2_HMAC_SHA256"))
            return Derivation{EVP_sha256(), iterations};
        if (algorithm == QLatin1String("PBKDF2_HMAC_SHA1"))
            return Derivation{EVP_sha1(), iterations};
    }
    return std::nullopt;
}

struct Cache {
    QMutex mutex;
    bool probed = false;
    std::optional<Derivation> derivation;
    // Keyed by a hash of password and salt, so the cache holds no password of its own.
    QHash<QByteArray, QByteArray> keys;
    int derivations = 0;
};

Cache &cache()
{
    static Cache instance;
    return instance;
}

std::optional<Derivation> probeDerivation()
{
    sqlite3 *connection = nullptr;
    std::optional<Derivation> derivation;
    if (sqlite3_open_v2(":memory:", &connection, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK)
        derivation = derivationOf(connection);
    sqlite3_close(connection);
    return derivation;
}

} // namespace

QByteArray keyText(const QString &password, const QByteArray &salt)
{
    if (salt.size() != SaltSize)
        return {};
    Cache &c = cache();
    const QMutexLocker lock(&c.mutex);
    if (!c.probed) {
        c.derivation = probeDerivation();
        c.probed = true;
    }
    if (!c.derivation)
        return {};

    const QByteArray utf8 = password.toUtf8();
    QCryptographicHash id(QCryptographicHash::Sha256);
    id.addData(salt);
    id.addData(utf8);
    const QByteArray cacheKey = id.result();
    QByteArray key = c.keys.value(cacheKey);
    if (key.isEmpty()) {
        key.resize(KeySize);
        if (PKCS5_PBKDF2_HMAC(utf8.constData(), int(utf8.size()),
                              reinterpret_cast<const unsigned char *>(salt.constData()),
                              int(salt.size()), c.derivation->iterations, c.derivation->digest,
                              KeySize, reinterpret_cast<unsigned char *>(key.data())) != 1) {
            return {};
        }
        ++c.derivations;
        c.keys.insert(cacheKey, key);
    }
    return "x'" + key.toHex() + salt.toHex() + '\'';
}

QByteArray fileHead(const QString &path, int bytes)
{
    // Read through a connection of SQLite's own rather than a descriptor of ours: closing any
    // descriptor of a file drops every POSIX lock this process holds on it, and another
    // connection of the process may hold the file locked in a transaction. SQLite keeps such a
    // file's descriptor open until the last lock on it is gone.
    sqlite3 *connection = nullptr;
    QByteArray head;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &connection, SQLITE_OPEN_READONLY,
                        nullptr) == SQLITE_OK) {
        sqlite3_file *file = nullptr;
        if (sqlite3_file_control(connection, "main", SQLITE_FCNTL_FILE_POINTER, &file) ==
                SQLITE_OK &&
            file && file->pMethods) {
            head.resize(bytes);
            // A file shorter than asked for reads short: nothing of it is taken.
            if (file->pMethods->xRead(file, head.data(), bytes, 0) != SQLITE_OK)
                head.clear();
        }
    }
    sqlite3_close_v2(connection);
    return head;
}

QByteArray saltOf(const QString &path)
{
    return fileHead(path, SaltSize);
}

QByteArray newSalt()
{
    quint32 words[SaltSize / sizeof(quint32)];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char *>(words), SaltSize);
}

int derivationCount()
{
    Cache &c = cache();
    const QMutexLocker lock(&c.mutex);
    return c.derivations;
}

void forgetDerivedKeys()
{
    Cache &c = cache();
    const QMutexLocker lock(&c.mutex);
    for (QByteArray &key : c.keys)
        key.fill('\0');
    c.keys.clear();
}

} // namespace dbe::sqlcipherkeys
