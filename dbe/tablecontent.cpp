#include "dbe/tablecontent.h"

#include "dbe/backend.h"
#include "dbe/database.h"
#include "dbe/error.h"

namespace dbe {

namespace {

// One form per type whatever the storage answered, so that contents read from two storages
// compare equal when they hold the same.
QVariant canonical(FieldType type, const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return {};
    switch (type) {
    case FieldType::Alpha:
        return value.toString();
    case FieldType::LongInt:
    case FieldType::AutoInc:
        return QVariant(value.toLongLong());
    case FieldType::Logical:
        return QVariant(value.toBool());
    case FieldType::Float:
        return QVariant(value.toDouble());
    case FieldType::Timestamp:
        return QVariant(value.toDateTime());
    case FieldType::Date:
        return QVariant(value.toDate());
    }
    return value;
}

int autoIncrementField(const TableDef &def)
{
    for (int i = 0; i < def.fields.size(); ++i) {
        if (def.fields[i].type == FieldType::AutoInc)
            return i;
    }
    return -1;
}

// A statement may carry only so many values: SQLite's oldest limit is 999.
constexpr int ValuesPerStatement = 900;

} // namespace

QStringList openForTransaction(Database &database, const QStringList &tables)
{
    QStringList names;
    for (const QString &table : tables)
        names.append(database.backend().openTable(table).canonicalName);
    return names;
}

TableContent readTableContent(Database &database, const QString &table)
{
    Backend &backend = database.backend();
    const TableHandle handle = backend.openTable(table);
    TableContent content;
    content.def = handle.def;
    QStringList order;
    if (const IndexDef *primary = handle.def.primaryIndex()) {
        for (const QString &field : primary->fields) {
            for (int i = 0; i < handle.def.fields.size(); ++i) {
                if (handle.def.fields[i].name.compare(field, Qt::CaseInsensitive) == 0)
                    order.append(backend.orderTerm(handle.columns[i], false));
            }
        }
    }
    const QString sql =
        QStringLiteral("SELECT %1 FROM %2%3")
            .arg(handle.columns.join(QStringLiteral(", ")), handle.sqlName,
                 order.isEmpty() ? QString()
                                 : QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", ")));
    const std::unique_ptr<Statement> rows = backend.prepare(sql, handle.canonicalName);
    const int fields = int(handle.def.fields.size());
    while (rows->step()) {
        QVariantList row;
        row.reserve(fields);
        for (int i = 0; i < fields; ++i) {
            const FieldType type = handle.def.fields[i].type;
            row.append(canonical(type, backend.fromStorage(type, rows->columnValue(i))));
        }
        content.rows.append(std::move(row));
    }
    if (const int field = autoIncrementField(handle.def); field >= 0)
        content.counter = backend.autoIncrementCounter(handle, field);
    return content;
}

void replaceTableContent(Database &database, const QString &table, const TableContent &content)
{
    Backend &backend = database.backend();
    const TableHandle handle = backend.openTable(table);
    const auto sameFields = [&] {
        if (handle.def.fields.size() != content.def.fields.size())
            return false;
        for (int i = 0; i < handle.def.fields.size(); ++i) {
            if (handle.def.fields[i].name.compare(content.def.fields[i].name,
                                                  Qt::CaseInsensitive) != 0 ||
                handle.def.fields[i].type != content.def.fields[i].type)
                return false;
        }
        return true;
    };
    if (!sameFields())
        throw Error(QStringLiteral("%1.DB: its fields are not those of the table copied into it.")
                        .arg(handle.canonicalName),
                    Error::InvalidDefinition);

    backend.prepare(QStringLiteral("DELETE FROM %1").arg(handle.sqlName), handle.canonicalName)
        ->step();
    const int fields = int(handle.def.fields.size());
    const int rowsPerStatement = std::max(1, ValuesPerStatement / std::max(fields, 1));
    const QString head = QStringLiteral("INSERT INTO %1 (%2) VALUES ")
                             .arg(handle.sqlName, handle.columns.join(QStringLiteral(", ")));
    // Many rows a statement: on a server each statement is a round trip.
    std::unique_ptr<Statement> full;
    const auto statementFor = [&](int rows) {
        QStringList tuples;
        for (int r = 0; r < rows; ++r) {
            QStringList places;
            for (int f = 0; f < fields; ++f)
                places.append(backend.placeholder(r * fields + f + 1));
            tuples.append(QLatin1Char('(') + places.join(QStringLiteral(", ")) + QLatin1Char(')'));
        }
        return backend.prepare(head + tuples.join(QStringLiteral(", ")), handle.canonicalName);
    };
    for (qsizetype start = 0; start < content.rows.size(); start += rowsPerStatement) {
        const int rows = int(std::min<qsizetype>(rowsPerStatement, content.rows.size() - start));
        std::unique_ptr<Statement> partial;
        if (rows == rowsPerStatement && !full)
            full = statementFor(rows);
        else if (rows != rowsPerStatement)
            partial = statementFor(rows);
        Statement &insert = partial ? *partial : *full;
        insert.reset();
        for (int r = 0; r < rows; ++r) {
            const QVariantList &row = content.rows.at(start + r);
            if (row.size() != fields)
                throw Error(QStringLiteral("%1.DB: a row to copy has %2 values, not %3.")
                                .arg(handle.canonicalName)
                                .arg(row.size())
                                .arg(fields),
                            Error::InvalidDefinition);
            for (int f = 0; f < fields; ++f)
                insert.bind(r * fields + f + 1,
                            backend.toStorage(handle.def.fields[f].type, row.at(f)));
        }
        insert.step();
    }
    if (const int field = autoIncrementField(handle.def); field >= 0)
        backend.setAutoIncrementCounter(handle, field, content.counter);
}

} // namespace dbe
