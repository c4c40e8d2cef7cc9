#pragma once

#include "rules/logonrule.h"

#include <QDateTime>
#include <QString>

namespace dbe {
class Table;
}

namespace security {

// The logon policy of a database: lockout after repeated wrong passwords, and whether failed
// logons are audited. Kept in POLICY.DB beside the seven tables, so that every workstation
// applies it; a database without that table has the defaults, under which nothing is locked
// and nothing is written.
struct LogonPolicy {
    int lockoutAfter = 0;    // consecutive wrong passwords that lock an account; 0: never
    int lockoutMinutes = 15; // how long a lockout lasts
    int permanentAfter = 0;  // the lockout that locks for good (until unlocked); 0: never
    bool logFailed = false;  // failed logons, lockouts and unlocks go into the audit trail

    bool operator==(const LogonPolicy &) const = default;
};

// Throws the engine's failures.
LogonPolicy readLogonPolicy(const QString &databaseName);
// Writes the policy and its audit entry in one transaction (creating the tables when first
// needed); values below 0 are kept as 0. Throws the engine's failures.
void writeLogonPolicy(const QString &databaseName, const LogonPolicy &policy);
// "lockout after 3 wrong passwords for 15 minutes, for good after the 2nd lockout; failed
// logons audited", as the audit trail and the command line show it.
QString describe(const LogonPolicy &policy);

// The time the lockout rules take as now. Test hook: the environment variable VESK_TEST_NOW
// ("2030-01-02 03:04:05", local time) stands in for the clock, in every process that inherits
// it, so that a test can let a lockout expire without waiting.
QDateTime policyNow();

// Judges a logon whose row `users` stands on under the database's policy, given the verdict of
// the row alone (never UnknownUser): a locked account is Locked whatever the password; a wrong
// password is counted in the database, atomically with every other workstation's, and may lock
// the account; a right one clears the count. Throws the engine's failures.
LogonVerdict applyLogonPolicy(dbe::Table &users, LogonVerdict verdict);

enum class Unlock { Unlocked, NotLocked, NoSuchUser };
// Clears the user's count and lockout (the name compared case-blind), with an audit entry.
Unlock unlockUser(const QString &databaseName, const QString &userName);

// Whether the user is locked now, and till when (null: for good). For the administrator.
struct LockState {
    bool locked = false;
    QDateTime until;
    int failures = 0;
};
LockState lockStateOf(const QString &databaseName, int userId);

} // namespace security
