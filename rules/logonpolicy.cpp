#include "rules/logonpolicy.h"

#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "rules/addedtables.h"
#include "rules/audittrail.h"
#include "rules/schema.h"

#include <QtGlobal>
#include <algorithm>
#include <optional>

namespace security {

namespace {

constexpr int PolicyRow = 1;

class Cursor : public dbe::Table
{
public:
    Cursor(const QString &databaseName, const QString &table, const QString &index = {})
    {
        setDatabaseName(databaseName);
        setTableName(table);
        setIndexName(index);
        open();
    }
};

std::shared_ptr<dbe::Database> databaseOf(const QString &databaseName)
{
    return dbe::Session::instance().database(databaseName);
}

// The user's row of LOCKOUT.DB, written when missing. Two workstations counting the same user's
// first wrong password both insert it; the second finds the first's row instead.
void standOnCountRow(dbe::Table &lockout, int userId)
{
    if (lockout.findKey({userId}))
        return;
    try {
        lockout.append();
        lockout.setValue(fields::UserId, userId);
        lockout.setValue(fields::Failures, 0);
        lockout.setValue(fields::Lockouts, 0);
        lockout.setValue(fields::LockedForGood, false);
        lockout.post();
    } catch (const dbe::Error &error) {
        lockout.cancel();
        if (error.code() != dbe::Error::KeyViolation)
            throw;
    }
    if (!lockout.findKey({userId}))
        throw dbe::Error(
            QStringLiteral("The lockout count of user %1 could not be written.").arg(userId),
            dbe::Error::General);
}

QString ordinal(int n)
{
    const int lastTwo = n % 100;
    const char *suffix = (lastTwo >= 11 && lastTwo <= 13) ? "th"
                         : n % 10 == 1                    ? "st"
                         : n % 10 == 2                    ? "nd"
                         : n % 10 == 3                    ? "rd"
                                                          : "th";
    return QString::number(n) + QLatin1String(suffix);
}

// Counts one wrong password; answers whether it locked the account.
bool countFailure(const QString &databaseName, int userId, const QString &userName,
                  const LogonPolicy &policy)
{
    if (policy.lockoutAfter > 0)
        ensureAddedTable(databaseName, tables::Lockout);
    std::optional<AuditTrail> audit;
    if (policy.logFailed)
        audit.emplace(databaseName);
    std::optional<Cursor> lockout;
    if (policy.lockoutAfter > 0)
        lockout.emplace(databaseName, tables::Lockout);

    dbe::Transaction transaction(*databaseOf(databaseName));
    bool locked = false;
    QString lockText;
    if (lockout) {
        standOnCountRow(*lockout, userId);
        // Added in the database: every workstation's wrong passwords count. From here on the
        // transaction holds the row, so what it reads back is what it will commit on.
        lockout->updateCurrent({}, {{fields::Failures, 1}});
        lockout->refresh();
        const int failures = lockout->asInteger(fields::Failures);
        if (failures >= policy.lockoutAfter) {
            const int lockouts = lockout->asInteger(fields::Lockouts) + 1;
            const bool forGood = policy.permanentAfter > 0 && lockouts >= policy.permanentAfter;
            const QDateTime until = policyNow().addSecs(qint64(policy.lockoutMinutes) * 60);
            lockout->updateCurrent({{fields::Failures, 0},
                                    {fields::Lockouts, lockouts},
                                    {fields::LockedUntil, until},
                                    {fields::LockedForGood, forGood}});
            locked = true;
            lockText = forGood
                           ? QStringLiteral("locked for good (%1 lockout)").arg(ordinal(lockouts))
                           : QStringLiteral("locked until %1").arg(dbe::timestampToText(until));
        }
    }
    if (audit) {
        audit->record(QStringLiteral("failed logon"), userName, QStringLiteral("wrong password"));
        if (locked)
            audit->record(QStringLiteral("lockout"), userName, lockText);
    }
    transaction.commit();
    return locked;
}

void clearFailures(const QString &databaseName, int userId)
{
    if (!addedTableExists(databaseName, tables::Lockout))
        return;
    Cursor lockout(databaseName, tables::Lockout);
    if (!lockout.findKey({userId}) || lockout.asInteger(fields::Failures) == 0)
        return;
    lockout.updateCurrent({{fields::Failures, 0}});
}

void auditRefusal(const QString &databaseName, const QString &userName)
{
    AuditTrail audit(databaseName);
    dbe::Transaction transaction(*databaseOf(databaseName));
    audit.record(QStringLiteral("failed logon"), userName, QStringLiteral("account locked"));
    transaction.commit();
}

} // namespace

QDateTime policyNow()
{
    const QByteArray forced = qgetenv("VESK_TEST_NOW");
    if (!forced.isEmpty()) {
        const QDateTime now = dbe::timestampFromText(QString::fromLatin1(forced));
        if (now.isValid())
            return now;
    }
    return QDateTime::currentDateTime();
}

LogonPolicy readLogonPolicy(const QString &databaseName)
{
    LogonPolicy policy;
    if (!addedTableExists(databaseName, tables::Policy))
        return policy;
    Cursor table(databaseName, tables::Policy);
    if (!table.findKey({PolicyRow}))
        return policy;
    policy.lockoutAfter = std::max(0, table.asInteger(fields::LockoutAfter));
    policy.lockoutMinutes = std::max(0, table.asInteger(fields::LockoutMinutes));
    policy.permanentAfter = std::max(0, table.asInteger(fields::PermanentAfter));
    policy.logFailed = table.asBoolean(fields::LogFailed);
    return policy;
}

void writeLogonPolicy(const QString &databaseName, const LogonPolicy &wanted)
{
    LogonPolicy policy = wanted;
    policy.lockoutAfter = std::max(0, policy.lockoutAfter);
    policy.lockoutMinutes = std::max(0, policy.lockoutMinutes);
    policy.permanentAfter = std::max(0, policy.permanentAfter);
    const LogonPolicy before = readLogonPolicy(databaseName);

    ensureAddedTable(databaseName, tables::Policy);
    AuditTrail audit(databaseName);
    Cursor table(databaseName, tables::Policy);
    dbe::Transaction transaction(*databaseOf(databaseName));
    if (table.findKey({PolicyRow})) {
        table.edit();
    } else {
        table.append();
        table.setValue(fields::PolicyId, PolicyRow);
    }
    try {
        table.setValue(fields::LockoutAfter, policy.lockoutAfter);
        table.setValue(fields::LockoutMinutes, policy.lockoutMinutes);
        table.setValue(fields::PermanentAfter, policy.permanentAfter);
        table.setValue(fields::LogFailed, policy.logFailed);
        table.post();
    } catch (...) {
        table.cancel();
        throw;
    }
    audit.record(QStringLiteral("policy"), QStringLiteral("logon policy"),
                 QStringLiteral("was: %1; now: %2").arg(describe(before), describe(policy)));
    transaction.commit();
}

QString describe(const LogonPolicy &policy)
{
    QString text = policy.lockoutAfter == 0
                       ? QStringLiteral("no lockout")
                       : QStringLiteral("lockout after %1 wrong passwords for %2 minutes")
                             .arg(policy.lockoutAfter)
                             .arg(policy.lockoutMinutes);
    if (policy.lockoutAfter > 0 && policy.permanentAfter > 0)
        text += QStringLiteral(", for good at the %1 lockout").arg(ordinal(policy.permanentAfter));
    text += policy.logFailed ? QStringLiteral("; failed logons audited")
                             : QStringLiteral("; failed logons not audited");
    return text;
}

LockState lockStateOf(const QString &databaseName, int userId)
{
    LockState state;
    if (!addedTableExists(databaseName, tables::Lockout))
        return state;
    Cursor lockout(databaseName, tables::Lockout);
    if (!lockout.findKey({userId}))
        return state;
    state.failures = lockout.asInteger(fields::Failures);
    if (lockout.asBoolean(fields::LockedForGood)) {
        state.locked = true;
        return state;
    }
    state.until = lockout.asDateTime(fields::LockedUntil);
    state.locked = state.until.isValid() && state.until > policyNow();
    return state;
}

LogonVerdict applyLogonPolicy(dbe::Table &users, LogonVerdict verdict)
{
    const QString databaseName = users.databaseName();
    if (verdict == LogonVerdict::UnknownUser || verdict == LogonVerdict::Locked ||
        !addedTableExists(databaseName, tables::Policy))
        return verdict;
    const LogonPolicy policy = readLogonPolicy(databaseName);
    if (policy.lockoutAfter == 0 && !policy.logFailed)
        return verdict;
    const int userId = users.asInteger(fields::UserId);
    const QString userName = users.asString(fields::UserName);
    // With lockout off, an account locked before is free again.
    if (policy.lockoutAfter > 0 && lockStateOf(databaseName, userId).locked) {
        if (policy.logFailed)
            auditRefusal(databaseName, userName);
        return LogonVerdict::Locked;
    }
    if (verdict == LogonVerdict::WrongPassword)
        return countFailure(databaseName, userId, userName, policy) ? LogonVerdict::Locked
                                                                    : verdict;
    if (policy.lockoutAfter > 0)
        clearFailures(databaseName, userId);
    return verdict;
}

Unlock unlockUser(const QString &databaseName, const QString &userName)
{
    Cursor users(databaseName, tables::Users, indexes::UserName);
    if (!users.findKey({userName}))
        return Unlock::NoSuchUser;
    const int userId = users.asInteger(fields::UserId);
    if (!addedTableExists(databaseName, tables::Lockout))
        return Unlock::NotLocked;
    AuditTrail audit(databaseName);
    Cursor lockout(databaseName, tables::Lockout);
    dbe::Transaction transaction(*databaseOf(databaseName));
    if (!lockout.findKey({userId}))
        return Unlock::NotLocked;
    const LockState before = lockStateOf(databaseName, userId);
    if (!before.locked && before.failures == 0 && lockout.asInteger(fields::Lockouts) == 0)
        return Unlock::NotLocked;
    lockout.updateCurrent({{fields::Failures, 0},
                           {fields::Lockouts, 0},
                           {fields::LockedUntil, QVariant()},
                           {fields::LockedForGood, false}});
    audit.record(QStringLiteral("unlock"), users.asString(fields::UserName),
                 before.locked ? QStringLiteral("was locked") : QStringLiteral("count cleared"));
    transaction.commit();
    return Unlock::Unlocked;
}

} // namespace security
