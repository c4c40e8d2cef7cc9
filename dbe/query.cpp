#include "dbe/query.h"

#include "dbe/backend.h"
#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace dbe {

namespace {

// The column names the query's text gives with AS, by their upper-case form. A server folds an
// unquoted name to lower case; the data set names the column as the text spells it.
QHash<QString, QString> spelledColumnNames(const QString &text)
{
    static const QRegularExpression alias(QStringLiteral("\\bAS\\s+([A-Za-z_][A-Za-z0-9_]*)"),
                                          QRegularExpression::CaseInsensitiveOption);
    QHash<QString, QString> names;
    for (auto it = alias.globalMatch(text); it.hasNext();) {
        const QString name = it.next().captured(1);
        names.insert(name.toUpper(), name);
    }
    return names;
}

} // namespace

Query::Query(QObject *parent) : MemoryDataSet(parent) {}

void Query::setSql(const QStringList &lines)
{
    m_sql = lines;
}

void Query::fetch()
{
    const QString text = m_sql.join(QLatin1Char('\n'));
    if (text.trimmed().isEmpty())
        throw Error(QStringLiteral("The query has no SQL text."));
    std::shared_ptr<Database> db = Session::instance().database(databaseName());
    Backend &backend = db->backend();
    backend.prepareForQuery(text);
    std::unique_ptr<Statement> statement = backend.prepare(text, {});
    // A server describes the columns of a statement it has run.
    bool hasRow = statement->step();

    // Describe each column from the table column it comes from, so that a report lays it out
    // as that field; an expression is described by its first value.
    const int columns = statement->columnCount();
    QList<FieldInfo> fields;
    QList<bool> fromExpression;
    QSet<QString> taken;
    const QHash<QString, QString> spelled = spelledColumnNames(text);
    for (int c = 0; c < columns; ++c) {
        QString name = statement->columnName(c);
        name = spelled.value(name.toUpper(), name);
        const ColumnOrigin origin = statement->columnOrigin(c);
        // A server folds the names of the query's text to lower case: a column that is a
        // field under its own name is named as the field is defined ("Access_Name").
        if (!origin.column.isEmpty() && name.compare(origin.column, Qt::CaseInsensitive) == 0)
            name = origin.column;
        const QString base = name;
        for (int suffix = 1; taken.contains(name.toUpper()); ++suffix)
            name = base + QStringLiteral("_%1").arg(suffix);
        taken.insert(name.toUpper());

        FieldDef def{name, FieldType::Alpha, 255};
        bool described = false;
        if (!origin.table.isEmpty()) {
            try {
                const TableHandle handle = backend.openTable(origin.table);
                if (const FieldDef *source = handle.def.field(origin.column)) {
                    def.type = source->type;
                    def.size = source->size;
                    described = true;
                }
            } catch (const Error &) {
                // Not one of the engine's tables (its own description tables): plain text.
            }
        }
        fields.append(FieldInfo::fromDef(def));
        fromExpression.append(!described);
    }

    QList<QVariantList> rows;
    for (; hasRow; hasRow = statement->step()) {
        QVariantList row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c) {
            const QVariant raw = statement->columnValue(c);
            if (rows.isEmpty() && fromExpression[c]) {
                if (raw.typeId() == QMetaType::LongLong)
                    fields[c] = FieldInfo::fromDef(FieldDef{fields[c].name, FieldType::LongInt, 0});
                else if (raw.typeId() == QMetaType::Double)
                    fields[c] = FieldInfo::fromDef(FieldDef{fields[c].name, FieldType::Float, 0});
                else if (raw.typeId() == QMetaType::Bool)
                    fields[c] = FieldInfo::fromDef(FieldDef{fields[c].name, FieldType::Logical, 0});
            }
            row.append(backend.fromStorage(fields[c].type, raw));
        }
        rows.append(row);
    }
    m_pendingFields = fields;
    m_pendingRows = rows;
}

} // namespace dbe
