#pragma once

#include "dbe/types.h"

#include <QString>

namespace security {

// The kit's own tables beside the seven: the logon policy, the count of each user's wrong
// passwords, and the audit trail. They are created when first needed, so a database that never
// uses them holds the seven tables only, and readers of those see nothing new. On a server they
// are the tables policy, lockout and audit of the schema.
namespace tables {
inline const QString Policy = QStringLiteral("POLICY.DB");
inline const QString Lockout = QStringLiteral("LOCKOUT.DB");
inline const QString Audit = QStringLiteral("AUDIT.DB");
} // namespace tables

namespace fields {
// POLICY.DB: one row, PolicyId 1
inline const QString PolicyId = QStringLiteral("Policy_ID");
inline const QString LockoutAfter = QStringLiteral("Lockout_After");
inline const QString LockoutMinutes = QStringLiteral("Lockout_Minutes");
inline const QString PermanentAfter = QStringLiteral("Permanent_After");
inline const QString LogFailed = QStringLiteral("Log_Failed");
// LOCKOUT.DB, one row per user with a wrong password since his last right one, besides UserId
inline const QString Failures = QStringLiteral("Failures");
inline const QString Lockouts = QStringLiteral("Lockouts");
inline const QString LockedUntil = QStringLiteral("Locked_Until");
inline const QString LockedForGood = QStringLiteral("Locked_For_Good");
// AUDIT.DB
inline const QString AuditNo = QStringLiteral("Audit_No");
inline const QString AuditTime = QStringLiteral("Audit_Time");
inline const QString OsUser = QStringLiteral("OS_User");
inline const QString Host = QStringLiteral("Host");
inline const QString Actor = QStringLiteral("Actor");
inline const QString Action = QStringLiteral("Action");
inline const QString Object = QStringLiteral("Object");
inline const QString Change = QStringLiteral("Change");
inline const QString Mac = QStringLiteral("MAC");
} // namespace fields

// One of the added tables by its name ("AUDIT.DB"); throws TableNotFound for any other.
const dbe::TableDef &addedTable(const QString &name);

// Whether the table exists in the database (alias or directory).
bool addedTableExists(const QString &databaseName, const QString &table);

// Creates the table, empty, when it does not exist yet, with the password that opens the other
// tables; another workstation creating it at the same moment is no failure. Call it outside a
// transaction. Throws the engine's failures.
void ensureAddedTable(const QString &databaseName, const QString &table);

} // namespace security
