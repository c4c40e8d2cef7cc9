#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace dbe {

class Table;

// The text of one field of a table's rows by their integer key (a user's name by his id), read
// for many keys at once and kept. A grid or a report that shows, beside each row of one table,
// names from another looks every name up once; a server answers the names of a screenful of
// rows in one statement, where a lookup per row costs a round trip each.
class KeyedNames
{
public:
    explicit KeyedNames(QString field) : m_field(std::move(field)) {}

    // The name of the row of `table` whose key on its current index is `key`; none when no row
    // has it. A key not known yet is read in one statement with those of `coming()` (the keys
    // the next rows will ask for) that are not known either. Throws the engine's failures.
    std::optional<QString> find(Table &table, qint64 key,
                                const std::function<QList<qint64>()> &coming = {});
    // The keys held in `field` by the rows `rows` has read ahead of its current one (see
    // Table::rowsReadAhead()): what the lookups for the next rows of a walk will ask for.
    static std::function<QList<qint64>()> readAhead(const Table &rows, const QString &field);
    // Forgets every name, so that the next lookups read the table as it is then.
    void clear() { m_known.clear(); }

private:
    QString m_field;
    QHash<qint64, std::optional<QString>> m_known;
};

} // namespace dbe
