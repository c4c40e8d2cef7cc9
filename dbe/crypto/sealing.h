#pragma once

#include <QByteArray>
#include <QString>

namespace dbe::sealing {

// Bytes sealed with a password, for files that carry a database's content away from its tables
// (a backup): unreadable without the password, and any change to them is detected. The key is
// derived from the password and a random salt with PBKDF2-HMAC-SHA512, the bytes are encrypted
// and authenticated with AES-256-GCM; the header (format, salt, the derivation's cost) is
// authenticated with them. Nothing of the content or the password can be read from the result.

// Throws Error (General) only when the system's random source fails.
QByteArray seal(const QByteArray &plain, const QString &password);

// The bytes seal() was given. Throws BadPassword when `password` is not the one they were
// sealed with, Damaged when they are no sealed bytes or were changed since.
QByteArray unseal(const QByteArray &sealed, const QString &password);

// Whether `bytes` begin like sealed bytes, without checking anything else.
bool looksSealed(const QByteArray &bytes);

} // namespace dbe::sealing
