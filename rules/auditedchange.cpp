#include "rules/auditedchange.h"

#include "dbe/database.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "rules/audittrail.h"
#include "rules/schema.h"

#include <QStringList>
#include <QVariantMap>

namespace security {

namespace {

QVariantMap valuesOf(const dbe::Table &row)
{
    QVariantMap values;
    for (const dbe::FieldInfo &field : row.fields()) {
        if (!field.calculated)
            values.insert(field.name, row.value(field.name));
    }
    return values;
}

// The row as stored before the edit, read through a cursor of its own by the primary key.
QVariantMap storedValues(const dbe::Table &table)
{
    const dbe::IndexDef *primary = table.definition().primaryIndex();
    if (!primary || table.state() != dbe::DataSet::State::Edit)
        return {};
    dbe::Table stored;
    stored.setDatabaseName(table.databaseName());
    stored.setTableName(table.tableName());
    stored.open();
    QVariantList key;
    for (const QString &field : primary->fields)
        key.append(table.value(field));
    return stored.findKey(key) ? valuesOf(stored) : QVariantMap();
}

QString shown(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("(blank)");
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("yes") : QStringLiteral("no");
    return value.toString();
}

QString changes(const QVariantMap &before, const QVariantMap &after)
{
    QStringList parts;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const QVariant old = before.value(it.key());
        if (!before.isEmpty() && old == *it)
            continue;
        if (before.isEmpty() && it->isNull())
            continue;
        // Passwords never go into the trail.
        if (it.key() == fields::UserPassword)
            parts.append(it.key() + QStringLiteral(" changed"));
        else if (before.isEmpty())
            parts.append(it.key() + QStringLiteral(" ") + shown(*it));
        else
            parts.append(QStringLiteral("%1 %2 -> %3").arg(it.key(), shown(old), shown(*it)));
    }
    return parts.isEmpty() ? QStringLiteral("nothing changed") : parts.join(QStringLiteral("; "));
}

} // namespace

void postAudited(dbe::Table &table, const QString &noun, const QString &nameField)
{
    const bool adding = table.state() == dbe::DataSet::State::Insert;
    const QVariantMap before = storedValues(table);
    AuditTrail audit(table.databaseName());
    dbe::Transaction transaction(*dbe::Session::instance().database(table.databaseName()));
    table.post();
    audit.record((adding ? QStringLiteral("add ") : QStringLiteral("edit ")) + noun,
                 table.asString(nameField), changes(before, valuesOf(table)));
    transaction.commit();
}

void emptyAudited(dbe::Table &table, const QString &action)
{
    AuditTrail audit(table.databaseName());
    dbe::Transaction transaction(*dbe::Session::instance().database(table.databaseName()));
    const int rows = table.recordCount();
    table.emptyTable();
    audit.record(action, table.tableName(), QStringLiteral("%1 rows taken").arg(rows));
    transaction.commit();
}

} // namespace security
