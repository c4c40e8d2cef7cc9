#include "dbe/types.h"

namespace dbe {

QString fieldTypeName(FieldType type)
{
    switch (type) {
    case FieldType::Alpha:
        return QStringLiteral("Alpha");
    case FieldType::LongInt:
        return QStringLiteral("Long Integer");
    case FieldType::AutoInc:
        return QStringLiteral("Autoincrement");
    case FieldType::Timestamp:
        return QStringLiteral("Timestamp");
    case FieldType::Date:
        return QStringLiteral("Date");
    case FieldType::Logical:
        return QStringLiteral("Logical");
    case FieldType::Float:
        return QStringLiteral("Number");
    }
    return {};
}

const FieldDef *TableDef::field(const QString &fieldName) const
{
    for (const FieldDef &f : fields) {
        if (f.name.compare(fieldName, Qt::CaseInsensitive) == 0)
            return &f;
    }
    return nullptr;
}

const IndexDef *TableDef::index(const QString &indexName) const
{
    for (const IndexDef &i : indexes) {
        if (i.name.compare(indexName, Qt::CaseInsensitive) == 0)
            return &i;
    }
    return nullptr;
}

const IndexDef *TableDef::primaryIndex() const
{
    for (const IndexDef &i : indexes) {
        if (i.primary)
            return &i;
    }
    return nullptr;
}

FieldInfo FieldInfo::fromDef(const FieldDef &def, bool calculated)
{
    FieldInfo info;
    info.name = def.name;
    info.type = def.type;
    info.size = def.size;
    info.displayLabel = def.name;
    info.calculated = calculated;
    // Widths in characters as a grid would size the column for a typical value.
    switch (def.type) {
    case FieldType::Alpha:
        info.displayWidth = def.size;
        break;
    case FieldType::LongInt:
    case FieldType::AutoInc:
        info.displayWidth = 10;
        info.alignment = Qt::AlignRight;
        break;
    case FieldType::Float:
        info.displayWidth = 10;
        info.alignment = Qt::AlignRight;
        break;
    case FieldType::Timestamp:
        info.displayWidth = 18;
        break;
    case FieldType::Date:
        info.displayWidth = 10;
        break;
    case FieldType::Logical:
        info.displayWidth = 5;
        break;
    }
    return info;
}

} // namespace dbe
