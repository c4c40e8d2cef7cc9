#pragma once

#include <QString>
#include <optional>

namespace dbe {
class Table;
}

namespace security {

// Who may log on, in one place for the logon dialog, a host's name and password, and the
// network logon.

// Equal when the texts differ at most in the case of the letters A to Z; every other
// character, blanks included, compares exactly.
bool sameTextCaseBlind(const QString &a, const QString &b);

enum class Comparison { Exact, CaseBlind };

// The supervisor has no row: his name and the master password log him on.
bool isSupervisorLogon(const QString &name, const QString &password, const QString &masterPassword,
                       Comparison comparison);

enum class LogonVerdict {
    Granted,
    UnknownUser, // no row of the name, or a row the kit did not number
    WrongPassword,
    Disabled, // the password matched; the account is switched off
    Locked,   // too many wrong passwords (see logonpolicy.h); the password is not looked at
};

// Looks the name up in `users` (open on its "UserName" index, so the name matches case-blind)
// and judges the row under the database's logon policy; on Granted the table stands on it.
// `password` is absent for a network logon, where the operating system has proved who the user
// is. A wrong password of an existing user is counted, a right one clears the count. Throws the
// engine's failures.
LogonVerdict judgeLogon(dbe::Table &users, const QString &name,
                        const std::optional<QString> &password, Comparison comparison);

} // namespace security
