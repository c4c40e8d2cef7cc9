#include "rules/logonrule.h"

#include "dbe/table.h"
#include "rules/logonpolicy.h"
#include "rules/schema.h"

namespace security {

namespace {

QChar foldAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') ? QChar(char16_t(u - u'a' + u'A')) : c;
}

bool same(const QString &a, const QString &b, Comparison comparison)
{
    return comparison == Comparison::Exact ? a == b : sameTextCaseBlind(a, b);
}

} // namespace

bool sameTextCaseBlind(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (foldAsciiLetter(a[i]) != foldAsciiLetter(b[i]))
            return false;
    }
    return true;
}

bool isSupervisorLogon(const QString &name, const QString &password, const QString &masterPassword,
                       Comparison comparison)
{
    return same(name, SupervisorLogonName, comparison) &&
           same(password, masterPassword, comparison);
}

LogonVerdict judgeLogon(dbe::Table &users, const QString &name,
                        const std::optional<QString> &password, Comparison comparison)
{
    if (!users.findKey({name}) || !isUserRowId(users.value(fields::UserId).toLongLong()))
        return LogonVerdict::UnknownUser;
    LogonVerdict verdict = LogonVerdict::Granted;
    if (password && !same(users.asString(fields::UserPassword), *password, comparison))
        verdict = LogonVerdict::WrongPassword;
    else if (!users.asBoolean(fields::UserEnabled))
        verdict = LogonVerdict::Disabled;
    return applyLogonPolicy(users, verdict);
}

} // namespace security
