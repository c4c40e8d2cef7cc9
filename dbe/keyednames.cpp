#include "dbe/keyednames.h"

#include "dbe/table.h"

namespace dbe {

std::optional<QString> KeyedNames::find(Table &table, qint64 key,
                                        const std::function<QList<qint64>()> &coming)
{
    if (const auto known = m_known.constFind(key); known != m_known.cend())
        return *known;
    QVariantList wanted{key};
    if (coming) {
        for (const qint64 next : coming()) {
            if (!m_known.contains(next) && !wanted.contains(next))
                wanted.append(next);
        }
    }
    const int keyField = table.fieldIndex(table.indexFields().constFirst());
    const int nameField = table.fieldIndex(m_field);
    const QList<QVariantList> found = table.findKeys(wanted);
    // Every key asked for is known from here on: found ones by their name, the rest as absent.
    for (const QVariant &asked : std::as_const(wanted))
        m_known.insert(asked.toLongLong(), std::nullopt);
    for (const QVariantList &row : found)
        m_known.insert(row.at(keyField).toLongLong(), row.at(nameField).toString());
    return m_known.value(key);
}

std::function<QList<qint64>()> KeyedNames::readAhead(const Table &rows, const QString &field)
{
    return [&rows, field] {
        QList<qint64> keys;
        const int column = rows.fieldIndex(field);
        for (const QVariantList &row : rows.rowsReadAhead()) {
            if (!row.at(column).isNull())
                keys.append(row.at(column).toLongLong());
        }
        return keys;
    };
}

} // namespace dbe
