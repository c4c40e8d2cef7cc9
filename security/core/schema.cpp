#include "security/core/schema.h"

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

QList<TableDef> buildTables()
{
    const auto alpha = [](const char *name, int size) {
        return FieldDef{QString::fromLatin1(name), FieldType::Alpha, size};
    };
    const auto field = [](const char *name, FieldType type) {
        return FieldDef{QString::fromLatin1(name), type, 0};
    };
    return {
        {QStringLiteral("ACCESS"),
         {field("Access_ID", FieldType::AutoInc), alpha("Access_Name", 20)},
         {primaryIndex(QStringLiteral("ACCESSID"), {QStringLiteral("Access_ID")}),
          caseBlindSecondary(QStringLiteral("AccessName"), 2, {QStringLiteral("Access_Name")})}},
        {QStringLiteral("GROUPS"),
         {field("Group_ID", FieldType::AutoInc), alpha("Group_Name", 20)},
         {primaryIndex(QStringLiteral("GROUPID"), {QStringLiteral("Group_ID")})}},
        {QStringLiteral("GRPCOLL"),
         {field("Group_ID", FieldType::LongInt), field("Access_ID", FieldType::LongInt)},
         {primaryIndex(QStringLiteral("GROUPID"),
                       {QStringLiteral("Group_ID"), QStringLiteral("Access_ID")})}},
        {QStringLiteral("LOG"),
         {field("Access_Date", FieldType::Timestamp), field("User_ID", FieldType::LongInt),
          field("LogCount", FieldType::AutoInc), field("Access_ID", FieldType::LongInt)},
         {primaryIndex(QStringLiteral("LOGINFO"),
                       {QStringLiteral("Access_Date"), QStringLiteral("User_ID"),
                        QStringLiteral("LogCount")})}},
        {QStringLiteral("PROGRAM"),
         {alpha("Security_Label", 48), field("Enabled", FieldType::Logical),
          field("DateDisabled", FieldType::Date), alpha("Label1", 20), alpha("Label2", 20),
          field("LogEnabled", FieldType::Logical)},
         {primaryIndex(QStringLiteral("PROGID"), {QStringLiteral("Security_Label")})}},
        {QStringLiteral("USERACC"),
         {field("User_ID", FieldType::LongInt), field("Access_ID", FieldType::LongInt),
          alpha("Type", 1)},
         {primaryIndex(QStringLiteral("USERACCID"),
                       {QStringLiteral("User_ID"), QStringLiteral("Access_ID"),
                        QStringLiteral("Type")})}},
        {QStringLiteral("USERS"),
         {field("User_ID", FieldType::AutoInc), alpha("User_Name", 48), alpha("User_Password", 12),
          alpha("User_Def1", 30), alpha("User_Def2", 30),
          field("User_LastAccess", FieldType::Timestamp),
          field("User_AccessCount", FieldType::LongInt), field("User_Enabled", FieldType::Logical),
          field("User_Admin", FieldType::Logical)},
         {primaryIndex(QStringLiteral("ID"), {QStringLiteral("User_ID")}),
          caseBlindSecondary(QStringLiteral("UserName"), 2, {QStringLiteral("User_Name")})}},
    };
}

} // namespace

const QList<TableDef> &securityTables()
{
    static const QList<TableDef> tables = buildTables();
    return tables;
}

const TableDef &securityTable(const QString &name)
{
    for (const TableDef &def : securityTables()) {
        if (def.name.compare(name, Qt::CaseInsensitive) == 0)
            return def;
    }
    throw dbe::Error(QStringLiteral("No security table is called %1.").arg(name),
                     dbe::Error::TableNotFound);
}

} // namespace security
