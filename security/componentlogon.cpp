// The component's logon operations: the dialog, a name and password from the host, and the
// workstation's network user name.

#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "rules/audittrail.h"
#include "rules/logging.h"
#include "rules/logonrule.h"
#include "rules/schema.h"
#include "security/heldrights.h"
#include "security/logonunt.h"
#include "security/netware.h"
#include "security/vesksec2_p.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>

namespace {

const QString UnableToAccessMessage = QStringLiteral("Unable to Access Security Files");

// For LastError(): the host and the administrator learn what the user is not told.
QString lockedText(const QString &name)
{
    return QStringLiteral("The account %1 is locked after too many wrong passwords; an "
                          "administrator can unlock it.")
        .arg(name);
}

// Publishes the dialog in FormLogon while it exists.
class ShownLogonDialog
{
public:
    ShownLogonDialog() : m_dialog(std::make_unique<TFormLogon>()) { FormLogon = m_dialog.get(); }
    ~ShownLogonDialog() { FormLogon = nullptr; }
    ShownLogonDialog(const ShownLogonDialog &) = delete;
    ShownLogonDialog &operator=(const ShownLogonDialog &) = delete;
    TFormLogon *operator->() const { return m_dialog.get(); }

private:
    std::unique_ptr<TFormLogon> m_dialog;
};

} // namespace

std::unique_ptr<dbe::Table> TVeskSecurePrivate::openUsersByName()
{
    auto users = std::make_unique<dbe::Table>();
    users->setDatabaseName(m_alias);
    users->setTableName(security::tables::Users);
    users->setIndexName(security::indexes::UserName);
    try {
        users->open();
    } catch (const dbe::Error &error) {
        // Through the one failure path: a host with a handler of its own gets no box.
        reportFailure(error.text(), UnableToAccessMessage);
        return nullptr;
    }
    return users;
}

void TVeskSecurePrivate::takeUserFromRow(const dbe::Table &users)
{
    // What was kept belongs to whoever was logged on before.
    m_heldRights->clear();
    m_userId = users.asInteger(security::fields::UserId);
    m_userName = users.asString(security::fields::UserName);
    m_currentPassword = users.asString(security::fields::UserPassword);
    m_userDef1 = users.asString(security::fields::UserDef1);
    m_userDef2 = users.asString(security::fields::UserDef2);
    m_lastAccess = users.asDateTime(security::fields::UserLastAccess);
    // A count beyond 32 bits was not written by the kit; it reads as the largest count.
    const qint64 count = users.value(security::fields::UserAccessCount).toLongLong();
    m_accessCount = int(std::clamp<qint64>(count, 0, std::numeric_limits<int>::max()));
    m_isAdmin = users.asBoolean(security::fields::UserAdmin);
    security::AuditTrail::setActor(m_userName);
}

void TVeskSecurePrivate::becomeSupervisor()
{
    m_userId = security::SupervisorId;
    m_userName = security::SupervisorDisplayName;
    m_currentPassword = m_password;
    m_userDef1.clear();
    m_userDef2.clear();
    m_lastAccess = QDateTime();
    m_accessCount = 0;
    m_isAdmin = true;
    security::AuditTrail::setActor(m_userName);
}

// The count is added in the database rather than read, incremented and posted, so that two
// workstations logging the same user on at once both count. The user state keeps the values
// from before this logon.
void TVeskSecurePrivate::recordLogon(dbe::Table *users)
{
    if (!users && !m_logTable)
        return;
    try {
        dbe::Session &session = dbe::Session::instance();
        // The users table is opened on the alias as it is now, the log on the alias of the
        // activation; they are one connection unless the host changed Alias in between.
        std::shared_ptr<dbe::Database> usersDb =
            users ? session.database(users->databaseName()) : nullptr;
        std::shared_ptr<dbe::Database> logDb =
            m_logTable ? session.database(m_logTable->databaseName()) : nullptr;
        // A log restored under its name is written in the restored file.
        if (logDb)
            logDb->followReplacedFiles({security::tables::Log});
        std::optional<dbe::Transaction> usersWrite;
        std::optional<dbe::Transaction> logWrite;
        if (usersDb)
            usersWrite.emplace(*usersDb);
        if (logDb && logDb != usersDb)
            logWrite.emplace(*logDb);
        if (users)
            users->updateCurrent({{security::fields::UserLastAccess, QDateTime::currentDateTime()}},
                                 {{security::fields::UserAccessCount, 1}});
        if (m_logTable)
            appendLogRow(0, true);
        if (logWrite)
            logWrite->commit();
        if (usersWrite)
            usersWrite->commit();
    } catch (...) {
        logOff();
        throw;
    }
}

void TVeskSecurePrivate::appendLogRow(int accessId, bool isLogon)
{
    try {
        m_logTable->append();
        m_logTable->setDateTime(security::fields::AccessDate, QDateTime::currentDateTime());
        m_logTable->setInteger(security::fields::UserId, m_userId);
        if (isLogon)
            m_logTable->setNull(security::fields::AccessId);
        else
            m_logTable->setInteger(security::fields::AccessId, accessId);
        m_logTable->post();
    } catch (...) {
        m_logTable->cancel();
        throw;
    }
}

bool TVeskSecurePrivate::logonWithDialog()
{
    refuseWhenActivationFailed();
    ShownLogonDialog dialog;
    dialog->tblUsers().setDatabaseName(m_alias);
    dialog->CaseSensitive = m_options.contains(soCaseSensitive);
    dialog->MasterPassword = m_password;
    try {
        dialog->tblUsers().open();
    } catch (const dbe::Error &error) {
        reportFailure(error.text(), UnableToAccessMessage);
    }
    if (!dialog->tblUsers().isOpen())
        return false;

    const bool result = dialog->exec() == QDialog::Accepted;
    if (dialog->failure())
        std::rethrow_exception(dialog->failure());
    if (!result && !dialog->lockedName().isEmpty())
        m_lastError = lockedText(dialog->lockedName());
    // A supervisor's name and password count even when the dialog was cancelled; only an
    // accepted dialog makes it a logon that is logged.
    if (dialog->SupervisorLogon) {
        becomeSupervisor();
        dialog->tblUsers().close();
        if (result)
            recordLogon(nullptr);
    } else if (result) {
        takeUserFromRow(dialog->tblUsers());
        recordLogon(&dialog->tblUsers());
        dialog->tblUsers().close();
    }
    return result;
}

bool TVeskSecurePrivate::logonWithName(const QString &userName, const QString &password)
{
    refuseWhenActivationFailed();
    const std::unique_ptr<dbe::Table> users = openUsersByName();
    if (!users)
        return false;
    // Always case-blind: a host that passes a name and password has no dialog whose options
    // would apply. The supervisor has no row, so his name is an ordinary one here.
    const security::LogonVerdict verdict =
        security::judgeLogon(*users, userName, password, security::Comparison::CaseBlind);
    if (verdict == security::LogonVerdict::Locked)
        m_lastError = lockedText(userName);
    if (verdict != security::LogonVerdict::Granted)
        return false;
    takeUserFromRow(*users);
    recordLogon(users.get());
    return true;
}

bool TVeskSecurePrivate::logonFromNetwork()
{
    refuseWhenActivationFailed();
    QString name;
    if (m_options.contains(soWinNetSupport))
        name = q->GetWindowsUserName();
    if (name.isEmpty() && m_options.contains(soNetwareSupport))
        name = q->GetNetwareUserName();
    if (name.isEmpty())
        return false;

    const std::unique_ptr<dbe::Table> users = openUsersByName();
    if (!users)
        return false;
    // The network logon already proved who the user is; no password is asked.
    const security::LogonVerdict verdict =
        security::judgeLogon(*users, name, std::nullopt, security::Comparison::CaseBlind);
    if (verdict == security::LogonVerdict::Locked)
        m_lastError = lockedText(name);
    if (verdict != security::LogonVerdict::Granted)
        return false;
    takeUserFromRow(*users);
    recordLogon(users.get());
    return true;
}

QString TVeskSecure::GetWindowsUserName() const
{
    return dbe::Session::netUserName();
}

QString TVeskSecure::GetNetwareUserName() const
{
    return security::NetwareClient::primaryConnectionUserName();
}
