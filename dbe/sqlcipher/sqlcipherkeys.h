#pragma once

#include <QByteArray>
#include <QString>

namespace dbe::sqlcipherkeys {

// SQLCipher derives each file's key from the password and the file's salt (its first 16 bytes)
// with PBKDF2, which is slow on purpose: tens of milliseconds. Left to SQLCipher, every table
// file pays it again at every open, in every window. Deriving the key here, once per password
// and salt in the process, and handing SQLCipher the raw key, costs one derivation per
// database: the tables of a database made by this engine share one salt.
//
// The files stay what they were: a plain SQLCipher client opens them with the password.

inline constexpr int SaltSize = 16;

// The key text for `sqlite3_key` or ATTACH ... KEY that opens a file with this salt as
// `password` would: SQLCipher's raw-key form with the salt attached, so that a file created
// with it gets this salt. Empty when the linked SQLCipher's derivation is not known here (then
// the caller hands SQLCipher the password and lets it derive).
QByteArray keyText(const QString &password, const QByteArray &salt);

// The first `bytes` bytes of a file, read without a descriptor of the caller's own (see the
// definition); empty when the file cannot be read or is shorter.
QByteArray fileHead(const QString &path, int bytes);

// The salt of an existing table file: its first bytes. Empty when the file cannot be read or is
// shorter than a salt (the open then fails as it would with the password).
QByteArray saltOf(const QString &path);

// A new random salt for the files of a database being created.
QByteArray newSalt();

// How many keys this process has derived (for tests and benchmarks of the cache).
int derivationCount();

// Forgets every derived key, so that the next open derives afresh (for benchmarks of a cold
// start).
void forgetDerivedKeys();

} // namespace dbe::sqlcipherkeys
