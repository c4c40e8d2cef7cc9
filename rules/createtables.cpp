#include "rules/createtables.h"

#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "rules/schema.h"

#include <QDateTime>
#include <QFileInfo>
#include <functional>

namespace security {

namespace {

// Each table's refusal is reported with its own prefix; the engine's text follows directly.
QString failureMessage(const QString &table, const QString &engineText)
{
    if (table == securityTable(tables::Access).name)
        return QStringLiteral("DBE Error (ACCESS.DB): ") + engineText;
    if (table == securityTable(tables::Groups).name)
        return QStringLiteral("DBE Error (GROUPS.DB): ") + engineText;
    if (table == securityTable(tables::GrpColl).name)
        return QStringLiteral("DBE Error : (GRPCOLL.DB)") + engineText;
    return QStringLiteral("DBE Error : ") + engineText;
}

} // namespace

void createSecurityTables(const QString &databaseName, const QString &masterPassword,
                          ExistingTables existing)
{
    std::shared_ptr<dbe::Database> db = dbe::Session::instance().database(databaseName);
    const auto creating = [](const QString &table, const std::function<void()> &step) {
        try {
            step();
        } catch (const dbe::Error &error) {
            throw dbe::Error(failureMessage(table, error.text()), error.code());
        }
    };
    for (const dbe::TableDef &def : securityTables()) {
        creating(def.name, [&] {
            db->createTable(def, masterPassword, existing == ExistingTables::Replace);
        });
    }
    // The component keeps a user's rights while nobody commits to the tables it read them from.
    for (const QString &table : accessTestTables())
        creating(securityTable(table).name, [&] { db->prepareChangeWatch(table); });
    dbe::Session::instance().addPassword(masterPassword);
}

QStringList existingSecurityTables(const QString &databaseName)
{
    dbe::Session &session = dbe::Session::instance();
    if (!session.hasAlias(databaseName) && !QFileInfo(databaseName).isDir())
        return {};
    // A schema on a server is asked directly; one that does not exist yet holds no tables.
    const bool onServer = session.hasAlias(databaseName) && session.alias(databaseName).onServer();
    if (!onServer && !QFileInfo(session.directoryOf(databaseName)).isDir())
        return {};
    const QStringList present = session.database(databaseName)->tableNames();
    QStringList found;
    for (const dbe::TableDef &def : securityTables()) {
        if (present.contains(def.name, Qt::CaseInsensitive))
            found.append(def.name + QStringLiteral(".DB"));
    }
    return found;
}

void fillDemoData(const QString &databaseName)
{
    // One connection for all the rows: each new one would derive every table's key again.
    const std::shared_ptr<dbe::Database> connection =
        dbe::Session::instance().database(databaseName);
    dbe::appendRecord(databaseName, tables::Program,
                      {{fields::SecurityLabel, QStringLiteral("Demo Security Database")},
                       {fields::Enabled, true},
                       {fields::Label1, QStringLiteral("Department")},
                       {fields::Label2, QStringLiteral("Extension")},
                       {fields::LogEnabled, true}});

    const QStringList constants = {
        QStringLiteral("View Orders"),    QStringLiteral("Edit Orders"),
        QStringLiteral("Delete Orders"),  QStringLiteral("View Customers"),
        QStringLiteral("Edit Customers"), QStringLiteral("Print Reports"),
        QStringLiteral("Export Data"),    QStringLiteral("Close Period"),
    };
    QMap<QString, int> accessId;
    for (const QString &name : constants)
        accessId[name] =
            dbe::appendRecord(databaseName, tables::Access, {{fields::AccessName, name}});

    const auto addGroup = [&](const QString &name, const QStringList &members) {
        const int id = dbe::appendRecord(databaseName, tables::Groups, {{fields::GroupName, name}});
        for (const QString &member : members)
            dbe::appendRecord(databaseName, tables::GrpColl,
                              {{fields::GroupId, id}, {fields::AccessId, accessId.value(member)}});
        return id;
    };
    const int clerks = addGroup(QStringLiteral("Order Clerks"),
                                {QStringLiteral("View Orders"), QStringLiteral("Edit Orders"),
                                 QStringLiteral("View Customers")});
    const int managers = addGroup(QStringLiteral("Managers"),
                                  {QStringLiteral("View Orders"), QStringLiteral("Delete Orders"),
                                   QStringLiteral("Print Reports"), QStringLiteral("Export Data"),
                                   QStringLiteral("Close Period")});

    struct DemoUser {
        const char *name;
        const char *password;
        const char *department;
        const char *extension;
        bool enabled;
        bool admin;
    };
    const DemoUser users[] = {
        {"admin", "admin", "IT", "100", true, true},
        {"clerk", "clerk", "Sales", "210", true, false},
        {"manager", "manager", "Sales", "200", true, false},
        {"auditor", "auditor", "Finance", "300", true, false},
        {"former", "former", "Sales", "211", false, false},
    };
    QMap<QString, int> userId;
    for (const DemoUser &u : users) {
        userId[QString::fromLatin1(u.name)] =
            dbe::appendRecord(databaseName, tables::Users,
                              {{fields::UserName, QString::fromLatin1(u.name)},
                               {fields::UserPassword, QString::fromLatin1(u.password)},
                               {fields::UserDef1, QString::fromLatin1(u.department)},
                               {fields::UserDef2, QString::fromLatin1(u.extension)},
                               {fields::UserAccessCount, 0},
                               {fields::UserEnabled, u.enabled},
                               {fields::UserAdmin, u.admin}});
    }

    const auto grant = [&](const char *user, int id, const QString &type) {
        dbe::appendRecord(databaseName, tables::UserAcc,
                          {{fields::UserId, userId.value(QString::fromLatin1(user))},
                           {fields::AccessId, id},
                           {fields::RightType, type}});
    };
    grant("admin", managers, RightGroup);
    grant("admin", accessId.value(QStringLiteral("Edit Customers")), RightConstant);
    grant("clerk", clerks, RightGroup);
    grant("manager", managers, RightGroup);
    grant("manager", clerks, RightGroup);
    grant("auditor", accessId.value(QStringLiteral("Print Reports")), RightConstant);
    grant("auditor", accessId.value(QStringLiteral("View Orders")), RightConstant);
    grant("former", clerks, RightGroup);
}

} // namespace security
