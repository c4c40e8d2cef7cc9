#include "rules/schema.h"

#include "dbe/error.h"

namespace security {

using dbe::FieldDef;
using dbe::FieldType;
using dbe::IndexDef;
using dbe::TableDef;

namespace {

IndexDef primaryIndex(const QString &name, const QStringList &fields)
{
    return IndexDef{name, 1, fields, true, true, true, false};
}

IndexDef caseBlindSecondary(const QString &name, int number, const QStringList &fields)
{
    return IndexDef{name, number, fields, false, false, true, true};
}

// "USERS.DB" is created as the table "USERS".
QString baseName(const QString &table)
{
    return table.section(QLatin1Char('.'), 0, 0);
}

QList<TableDef> buildTables()
{
    using namespace fields;
    const auto alpha = [](const QString &name, int size) {
        return FieldDef{name, FieldType::Alpha, size};
    };
    const auto field = [](const QString &name, FieldType type) { return FieldDef{name, type, 0}; };
    return {
        {baseName(tables::Access),
         {field(AccessId, FieldType::AutoInc), alpha(AccessName, 20)},
         {primaryIndex(indexes::AccessId, {AccessId}),
          caseBlindSecondary(indexes::AccessName, 2, {AccessName})}},
        {baseName(tables::Groups),
         {field(GroupId, FieldType::AutoInc), alpha(GroupName, 20)},
         {primaryIndex(indexes::GroupId, {GroupId})}},
        {baseName(tables::GrpColl),
         {field(GroupId, FieldType::LongInt), field(AccessId, FieldType::LongInt)},
         {primaryIndex(indexes::GroupId, {GroupId, AccessId})}},
        {baseName(tables::Log),
         {field(AccessDate, FieldType::Timestamp), field(UserId, FieldType::LongInt),
          field(LogCount, FieldType::AutoInc), field(AccessId, FieldType::LongInt)},
         {primaryIndex(indexes::LogInfo, {AccessDate, UserId, LogCount})}},
        {baseName(tables::Program),
         {alpha(SecurityLabel, 48), field(Enabled, FieldType::Logical),
          field(DateDisabled, FieldType::Date), alpha(Label1, 20), alpha(Label2, 20),
          field(LogEnabled, FieldType::Logical)},
         {primaryIndex(indexes::ProgId, {SecurityLabel})}},
        {baseName(tables::UserAcc),
         {field(UserId, FieldType::LongInt), field(AccessId, FieldType::LongInt),
          alpha(RightType, 1)},
         {primaryIndex(indexes::UserAccId, {UserId, AccessId, RightType})}},
        {baseName(tables::Users),
         {field(UserId, FieldType::AutoInc), alpha(UserName, 48), alpha(UserPassword, 12),
          alpha(UserDef1, 30), alpha(UserDef2, 30), field(UserLastAccess, FieldType::Timestamp),
          field(UserAccessCount, FieldType::LongInt), field(UserEnabled, FieldType::Logical),
          field(UserAdmin, FieldType::Logical)},
         {primaryIndex(indexes::UserId, {UserId}),
          caseBlindSecondary(indexes::UserName, 2, {UserName})}},
    };
}

} // namespace

QStringList accessTestTables()
{
    return {tables::UserAcc, tables::GrpColl};
}

const QList<TableDef> &securityTables()
{
    static const QList<TableDef> tables = buildTables();
    return tables;
}

const TableDef &securityTable(const QString &name)
{
    for (const TableDef &def : securityTables()) {
        if (def.name.compare(baseName(name), Qt::CaseInsensitive) == 0)
            return def;
    }
    throw dbe::Error(QStringLiteral("No security table is called %1.").arg(name),
                     dbe::Error::TableNotFound);
}

} // namespace security
