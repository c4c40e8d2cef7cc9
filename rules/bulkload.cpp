#include "bulkload.h"

#include "audittrail.h"
#include "dbe/database.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "schema.h"

#include <QStringList>

namespace security {

namespace {

std::unique_ptr<dbe::Table> openTable(const QString &databaseName, const QString &name)
{
    auto table = std::make_unique<dbe::Table>();
    table->setDatabaseName(databaseName);
    table->setTableName(name);
    table->open();
    return table;
}

} // namespace

struct BulkLoad::Tables {
    std::unique_ptr<dbe::Table> access;
    std::unique_ptr<dbe::Table> users;
    std::unique_ptr<dbe::Table> rights;
    std::unique_ptr<dbe::Table> program;
    std::unique_ptr<AuditTrail> audit;
    std::shared_ptr<dbe::Database> database;
    std::optional<dbe::Transaction> transaction;
};

BulkLoad::BulkLoad(const QString &databaseName, bool withSettings,
                   const std::function<void()> &afterEachOpen)
    : m_tables(std::make_unique<Tables>())
{
    const auto open = [&](const QString &name) {
        std::unique_ptr<dbe::Table> table = openTable(databaseName, name);
        if (afterEachOpen)
            afterEachOpen();
        return table;
    };
    // The engine attaches a table only outside a transaction, so every table is open before
    // the transaction begins.
    m_tables->access = open(tables::Access);
    m_tables->users = open(tables::Users);
    m_tables->rights = open(tables::UserAcc);
    if (withSettings)
        m_tables->program = open(tables::Program);
    m_tables->audit = std::make_unique<AuditTrail>(databaseName);
    m_tables->database = dbe::Session::instance().database(databaseName);
    m_tables->transaction.emplace(*m_tables->database);
}

BulkLoad::~BulkLoad() = default;

BulkLoad::Written BulkLoad::addConstant(const QString &name)
{
    dbe::Table &access = *m_tables->access;
    access.append();
    access.setValue(fields::AccessName, name);
    access.post();
    ++m_counts.constants;
    return {access.asInteger(fields::AccessId), access.asString(fields::AccessName)};
}

BulkLoad::Written BulkLoad::addUser(const QString &name, const QString &password)
{
    dbe::Table &users = *m_tables->users;
    users.append();
    users.setValue(fields::UserName, name);
    users.setValue(fields::UserPassword, password);
    users.post();
    ++m_counts.users;
    return {users.asInteger(fields::UserId), users.asString(fields::UserName)};
}

void BulkLoad::grantConstant(qint32 userId, qint32 accessId)
{
    dbe::Table &rights = *m_tables->rights;
    rights.append();
    rights.setValue(fields::UserId, userId);
    rights.setValue(fields::AccessId, accessId);
    rights.setValue(fields::RightType, RightConstant);
    rights.post();
    ++m_counts.rights;
}

void BulkLoad::setSettings(const QString &securityLabel, std::optional<bool> logging)
{
    Q_ASSERT(m_tables->program);
    dbe::Table &program = *m_tables->program;
    program.first();
    if (program.isEmpty())
        program.append();
    else
        program.edit();
    program.setValue(fields::SecurityLabel, securityLabel);
    program.setValue(fields::LogEnabled, logging ? QVariant(*logging) : QVariant());
    program.post();
    m_counts.settings = true;
}

void BulkLoad::commit(const QString &action, const QString &source)
{
    QStringList counts;
    const auto count = [&counts](int n, const char *what) {
        if (n > 0)
            counts.append(QStringLiteral("%1 %2").arg(n).arg(QLatin1String(what)));
    };
    count(m_counts.constants, "constants");
    count(m_counts.users, "users");
    count(m_counts.rights, "rights");
    if (m_counts.settings)
        counts.append(QStringLiteral("the settings"));
    m_tables->audit->record(action, source,
                            counts.isEmpty() ? QStringLiteral("nothing")
                                             : counts.join(QStringLiteral(", ")));
    m_tables->transaction->commit();
}

} // namespace security
