#include "security/core/createtables.h"

#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "security/core/schema.h"

#include <QDateTime>
#include <QFileInfo>

namespace security {

namespace {

// Each table's refusal is reported with its own prefix; the engine's text follows directly.
QString failureMessage(const QString &table, const QString &engineText)
{
    if (table == QLatin1String("ACCESS"))
        return QStringLiteral("DBE Error (ACCESS.DB): ") + engineText;
    if (table == QLatin1String("GROUPS"))
        return QStringLiteral("DBE Error (GROUPS.DB): ") + engineText;
    if (table == QLatin1String("GRPCOLL"))
        return QStringLiteral("DBE Error : (GRPCOLL.DB)") + engineText;
    return QStringLiteral("DBE Error : ") + engineText;
}

} // namespace

bool createSecurityTables(const QString &databaseName, const QString &masterPassword,
                          const std::function<void(const QString &)> &showError,
                          ExistingTables existing)
{
    std::shared_ptr<dbe::Database> db = dbe::Session::instance().database(databaseName);
    for (const dbe::TableDef &def : securityTables()) {
        const dbe::CreateResult result =
            db->createTable(def, masterPassword, existing == ExistingTables::Replace);
        if (!result.ok()) {
            showError(failureMessage(def.name, result.errorText));
            return false;
        }
    }
    dbe::Session::instance().addPassword(masterPassword);
    return true;
}

QStringList existingSecurityTables(const QString &databaseName)
{
    dbe::Session &session = dbe::Session::instance();
    if (!session.hasAlias(databaseName) && !QFileInfo(databaseName).isDir())
        return {};
    if (!QFileInfo(session.directoryOf(databaseName)).isDir())
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
    dbe::appendRecord(databaseName, QStringLiteral("PROGRAM.DB"),
                      {{QStringLiteral("Security_Label"), QStringLiteral("Demo Security Database")},
                       {QStringLiteral("Enabled"), true},
                       {QStringLiteral("Label1"), QStringLiteral("Department")},
                       {QStringLiteral("Label2"), QStringLiteral("Extension")},
                       {QStringLiteral("LogEnabled"), true}});

    const QStringList constants = {
        QStringLiteral("View Orders"),    QStringLiteral("Edit Orders"),
        QStringLiteral("Delete Orders"),  QStringLiteral("View Customers"),
        QStringLiteral("Edit Customers"), QStringLiteral("Print Reports"),
        QStringLiteral("Export Data"),    QStringLiteral("Close Period"),
    };
    QMap<QString, int> accessId;
    for (const QString &name : constants)
        accessId[name] = dbe::appendRecord(databaseName, QStringLiteral("ACCESS.DB"),
                                           {{QStringLiteral("Access_Name"), name}});

    const auto addGroup = [&](const QString &name, const QStringList &members) {
        const int id = dbe::appendRecord(databaseName, QStringLiteral("GROUPS.DB"),
                                         {{QStringLiteral("Group_Name"), name}});
        for (const QString &member : members)
            dbe::appendRecord(databaseName, QStringLiteral("GRPCOLL.DB"),
                              {{QStringLiteral("Group_ID"), id},
                               {QStringLiteral("Access_ID"), accessId.value(member)}});
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
            dbe::appendRecord(databaseName, QStringLiteral("USERS.DB"),
                              {{QStringLiteral("User_Name"), QString::fromLatin1(u.name)},
                               {QStringLiteral("User_Password"), QString::fromLatin1(u.password)},
                               {QStringLiteral("User_Def1"), QString::fromLatin1(u.department)},
                               {QStringLiteral("User_Def2"), QString::fromLatin1(u.extension)},
                               {QStringLiteral("User_AccessCount"), 0},
                               {QStringLiteral("User_Enabled"), u.enabled},
                               {QStringLiteral("User_Admin"), u.admin}});
    }

    const auto grant = [&](const char *user, int id, const QString &type) {
        dbe::appendRecord(databaseName, QStringLiteral("USERACC.DB"),
                          {{QStringLiteral("User_ID"), userId.value(QString::fromLatin1(user))},
                           {QStringLiteral("Access_ID"), id},
                           {QStringLiteral("Type"), type}});
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
