#include "dbe/types.h"

#include "dbe/error.h"

#include <QSet>

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

QString fieldTypeToken(FieldType type)
{
    switch (type) {
    case FieldType::Alpha:
        return QStringLiteral("ALPHA");
    case FieldType::LongInt:
        return QStringLiteral("LONGINT");
    case FieldType::AutoInc:
        return QStringLiteral("AUTOINC");
    case FieldType::Timestamp:
        return QStringLiteral("TIMESTAMP");
    case FieldType::Date:
        return QStringLiteral("DATE");
    case FieldType::Logical:
        return QStringLiteral("LOGICAL");
    case FieldType::Float:
        return QStringLiteral("FLOAT");
    }
    return {};
}

FieldType fieldTypeFromToken(const QString &token)
{
    for (FieldType type : {FieldType::Alpha, FieldType::LongInt, FieldType::AutoInc,
                           FieldType::Timestamp, FieldType::Date, FieldType::Logical,
                           FieldType::Float}) {
        if (fieldTypeToken(type) == token)
            return type;
    }
    throw Error(QStringLiteral("Unknown field type '%1' in table description.").arg(token));
}

QString timestampToText(const QDateTime &value)
{
    return value.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QDateTime timestampFromText(const QString &text)
{
    // "yyyy-MM-dd HH:mm:ss" and a fraction of one to six digits; a server drops trailing zeros.
    // Read digit by digit: Qt's general date parser costs several local-time conversions per
    // value, and a report reads a timestamp for every row.
    const qsizetype size = text.size();
    if (size < 19 || size == 20 || size > 26)
        return {};
    const auto number = [&text](int from, int digits) {
        int value = 0;
        for (int i = from; i < from + digits; ++i) {
            const char16_t c = text.at(i).unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    const auto separatorAt = [&text](int at, char16_t c) { return text.at(at).unicode() == c; };
    if (!separatorAt(4, u'-') || !separatorAt(7, u'-') ||
        !(separatorAt(10, u' ') || separatorAt(10, u'T')) || !separatorAt(13, u':') ||
        !separatorAt(16, u':') || (size > 19 && !separatorAt(19, u'.')))
        return {};
    const int year = number(0, 4);
    int milliseconds = 0;
    if (size > 19) {
        const int digits = int(size - 20);
        const int fraction = number(20, digits);
        if (fraction < 0)
            return {};
        milliseconds = fraction;
        for (int i = digits; i < 3; ++i)
            milliseconds *= 10;
        for (int i = 3; i < digits; ++i)
            milliseconds /= 10;
    }
    if (year < 1)
        return {};
    const QDate date(year, number(5, 2), number(8, 2));
    const QTime time(number(11, 2), number(14, 2), number(17, 2), milliseconds);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

QString dateToText(const QDate &value)
{
    return value.toString(QStringLiteral("yyyy-MM-dd"));
}

QDate dateFromText(const QString &text)
{
    return QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
}

QString tableDefProblem(const TableDef &def)
{
    if (def.name.trimmed().isEmpty())
        return QStringLiteral("Invalid table name.");
    if (def.fields.isEmpty())
        return QStringLiteral("A table needs at least one field.");
    QSet<QString> names;
    int autoIncrements = 0;
    for (const FieldDef &field : def.fields) {
        if (field.name.trimmed().isEmpty())
            return QStringLiteral("Invalid field name.");
        if (names.contains(field.name.toUpper()))
            return QStringLiteral("Duplicate field name: %1").arg(field.name);
        names.insert(field.name.toUpper());
        if (field.type == FieldType::Alpha && (field.size < 1 || field.size > 255))
            return QStringLiteral("Invalid field size for %1.").arg(field.name);
        if (field.type == FieldType::AutoInc)
            ++autoIncrements;
    }
    if (autoIncrements > 1)
        return QStringLiteral("A table can have only one autoincrement field.");
    int primaries = 0;
    QSet<QString> indexNames;
    for (const IndexDef &index : def.indexes) {
        if (index.name.trimmed().isEmpty() || index.fields.isEmpty())
            return QStringLiteral("Invalid index description.");
        if (indexNames.contains(index.name.toUpper()))
            return QStringLiteral("Duplicate index name: %1").arg(index.name);
        indexNames.insert(index.name.toUpper());
        if (index.primary)
            ++primaries;
        for (const QString &field : index.fields) {
            if (!names.contains(field.toUpper()))
                return QStringLiteral("Index %1 names an unknown field %2.").arg(index.name, field);
        }
    }
    if (primaries > 1)
        return QStringLiteral("A table can have only one primary index.");
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
