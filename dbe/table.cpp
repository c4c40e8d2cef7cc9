#include "dbe/table.h"

#include "dbe/backend.h"
#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/keyclauses.h"
#include "dbe/logging.h"
#include "dbe/session.h"

#include <QHash>
#include <algorithm>
#include <limits>
#include <optional>

namespace dbe {

struct Table::Impl {
    std::shared_ptr<Database> db;
    Backend *backend = nullptr;
    TableHandle handle;
    std::unique_ptr<TableLock> lock;

    QList<KeyColumn> indexColumns; // key of the current index
    QList<KeyColumn> orderColumns; // index key, then the primary key: a total order
    QList<KeyColumn> rowColumns;   // what identifies a row: the primary key
    QString selectList;
    int autoIncField = -1;

    QVariantList rangeStart; // storage values
    QVariantList rangeEnd;

    bool hasRow = false;
    QVariantList rowStored; // the current row as stored
    // Rows after the current one, read with it: a walk costs one statement per batch, not per row.
    QList<QVariantList> ahead;

    QHash<QString, std::shared_ptr<Statement>> statements;

    const TableDef &def() const { return handle.def; }

    // `generatedColumn`: for an INSERT that lets the engine number that column.
    Statement &statement(const QString &sql, const QVariantList &values,
                         const QString &generatedColumn = {})
    {
        std::shared_ptr<Statement> &cached = statements[sql];
        if (!cached)
            cached = generatedColumn.isEmpty()
                         ? backend->prepare(sql, handle.canonicalName)
                         : backend->prepareInsert(sql, handle.canonicalName, generatedColumn);
        cached->reset();
        for (int i = 0; i < values.size(); ++i)
            cached->bind(i + 1, values[i]);
        return *cached;
    }

    KeyColumn column(int field, bool caseBlind) const
    {
        const QString name = handle.columns.at(field);
        return {field, caseBlind ? backend->caseBlind(name) : name, caseBlind};
    }

    int fieldNumber(const QString &name) const
    {
        for (int i = 0; i < def().fields.size(); ++i) {
            if (def().fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        }
        throw Error(QStringLiteral("Field '%1' not found.").arg(name), Error::UnknownField);
    }

    void chooseIndex(const QString &indexName)
    {
        const IndexDef *index = indexName.isEmpty() ? def().primaryIndex() : def().index(indexName);
        if (!index && !indexName.isEmpty())
            throw Error(QStringLiteral("Index does not exist. Index: %1 (table %2)")
                            .arg(indexName, handle.canonicalName),
                        Error::UnknownIndex);
        rowColumns.clear();
        if (const IndexDef *primary = def().primaryIndex()) {
            for (const QString &field : primary->fields)
                rowColumns.append(column(fieldNumber(field), false));
        } else {
            for (int i = 0; i < def().fields.size(); ++i)
                rowColumns.append(column(i, false));
        }
        indexColumns.clear();
        if (index) {
            for (const QString &field : index->fields)
                indexColumns.append(column(fieldNumber(field), index->caseInsensitive));
        }
        orderColumns = indexColumns;
        for (const KeyColumn &key : rowColumns) {
            const bool present =
                std::any_of(orderColumns.cbegin(), orderColumns.cend(),
                            [&](const KeyColumn &c) { return c.field == key.field; });
            if (!present || (index && index->caseInsensitive))
                orderColumns.append(key);
        }
        rangeStart.clear();
        rangeEnd.clear();
    }

    QString orderBy(bool descending) const
    {
        QStringList parts;
        for (const KeyColumn &c : orderColumns)
            parts.append(backend->orderTerm(c.expression, descending));
        return QStringLiteral(" ORDER BY ") + parts.join(QStringLiteral(", "));
    }

    QString rangeClause(Parameters &params, bool hasRange) const
    {
        if (!hasRange)
            return QStringLiteral("1 = 1");
        QString clause = compareKeys(indexColumns, rangeStart, Compare::GreaterOrEqual, params) +
                         QStringLiteral(" AND ") +
                         compareKeys(indexColumns, rangeEnd, Compare::LessOrEqual, params);
        // The upper bound above is checked row by row (see compareKeys), so a walk that ends
        // at the range's end would read the rest of the table to find no more rows. When the
        // range starts at a key that is not blank, no row of it has a blank first part, and a
        // plain bound on the first column is exact: the index stops the scan there.
        if (!indexColumns.isEmpty() && !rangeStart.value(0).isNull() &&
            !rangeEnd.value(0).isNull()) {
            clause += QStringLiteral(" AND ") + indexColumns[0].expression +
                      QStringLiteral(" <= ") + params.key(indexColumns[0], rangeEnd[0]);
        }
        return clause;
    }

    QVariantList keyOf(const QList<KeyColumn> &columns, const QVariantList &stored) const
    {
        QVariantList key;
        for (const KeyColumn &c : columns)
            key.append(stored.value(c.field));
        return key;
    }

    QString rowCondition(const QVariantList &stored, Parameters &params) const
    {
        QStringList parts;
        for (const KeyColumn &c : rowColumns)
            parts.append(equalTo(c, stored.value(c.field), params));
        return parts.join(QStringLiteral(" AND "));
    }

    // Runs a SELECT of whole rows and takes up to `limit` of them. Any fetch repositions or
    // re-reads, so the rows read ahead of the old position are dropped.
    // `offset`: an OFFSET clause whose parameter is among `params`, for rows skipped.
    QList<QVariantList> fetch(const QString &where, const Parameters &params, const QString &order,
                              int limit, const QString &offset = {})
    {
        ahead.clear();
        return select(where, params, order, limit, offset);
    }

    // As fetch(), leaving the position and the rows read ahead of it alone.
    QList<QVariantList> select(const QString &where, const Parameters &params, const QString &order,
                               int limit, const QString &offset = {})
    {
        const QString sql =
            QStringLiteral("SELECT %1 FROM %2 WHERE %3%4%5%6")
                .arg(selectList, handle.sqlName, where, order, backend->rowLimit(limit), offset);
        Statement &s = statement(sql, params.values());
        QList<QVariantList> rows;
        while (rows.size() < limit && s.step()) {
            QVariantList row;
            row.reserve(def().fields.size());
            for (int i = 0; i < def().fields.size(); ++i)
                row.append(s.columnValue(i));
            rows.append(row);
        }
        s.reset();
        return rows;
    }

    std::optional<QVariantList> fetchOne(const QString &where, const Parameters &params,
                                         const QString &order)
    {
        QList<QVariantList> rows = fetch(where, params, order, 1);
        if (rows.isEmpty())
            return std::nullopt;
        return rows.takeFirst();
    }

    // The first row of a walk, with the rows that follow it kept for the next moves.
    std::optional<QVariantList> fetchWalk(const QString &where, const Parameters &params,
                                          const QString &offset = {})
    {
        QList<QVariantList> rows = fetch(where, params, orderBy(false), WalkBatch, offset);
        if (rows.isEmpty())
            return std::nullopt;
        const QVariantList first = rows.takeFirst();
        ahead = rows;
        return first;
    }

    static constexpr int WalkBatch = 32;

    // Puts the cursor on a row just fetched; without one it stays where it was.
    bool standOn(Table &table, const std::optional<QVariantList> &row)
    {
        if (!row)
            return false;
        hasRow = true;
        rowStored = *row;
        table.loadRow(toLogical(*row));
        table.setPosition(false, false, false);
        return true;
    }

    QVariantList toLogical(const QVariantList &stored) const
    {
        QVariantList values;
        for (int i = 0; i < def().fields.size(); ++i)
            values.append(backend->fromStorage(def().fields[i].type, stored.value(i)));
        return values;
    }

    // Search keys are converted without the size cut: a longer name must not find a shorter one.
    QVariantList keyToStorage(const QVariantList &key) const
    {
        QVariantList stored;
        for (int i = 0; i < key.size() && i < indexColumns.size(); ++i) {
            const FieldType type = def().fields[indexColumns[i].field].type;
            stored.append(backend->toStorage(type, DataSet::coerce(type, 0, key[i])));
        }
        return stored;
    }
};

Table::Table(QObject *parent) : DataSet(parent), d(std::make_unique<Impl>()) {}

Table::~Table()
{
    try {
        close();
    } catch (const std::exception &error) {
        // Closing releases locks and statements only; nothing left to report to but the log.
        qCWarning(lcEngine).noquote() << "closing" << m_tableName << "failed:" << error.what();
    }
}

void Table::setTableName(const QString &name)
{
    if (isOpen())
        throw Error(QStringLiteral("Cannot rename an open table."), Error::WrongState);
    m_tableName = name;
}

void Table::setIndexName(const QString &name)
{
    if (!isOpen()) {
        m_indexName = name;
        return;
    }
    d->chooseIndex(name);
    m_indexName = name;
    m_hasRange = false;
    first();
}

void Table::setExclusive(bool exclusive)
{
    if (isOpen())
        throw Error(QStringLiteral("Cannot change the sharing of an open table."),
                    Error::WrongState);
    m_exclusive = exclusive;
}

const TableDef &Table::definition() const
{
    ensureOpen();
    return d->def();
}

QStringList Table::indexFields() const
{
    ensureOpen();
    QStringList names;
    for (const KeyColumn &c : d->indexColumns)
        names.append(d->def().fields[c.field].name);
    return names;
}

void Table::doOpen()
{
    if (m_tableName.isEmpty())
        throw Error(QStringLiteral("No table name given."), Error::TableNotFound);
    auto impl = std::make_unique<Impl>();
    impl->db = Session::instance().database(databaseName());
    impl->backend = &impl->db->backend();
    impl->handle = impl->backend->openTable(m_tableName);
    impl->chooseIndex(m_indexName);
    impl->lock = impl->backend->lockTable(impl->handle, m_exclusive);

    QList<FieldInfo> fields;
    for (int i = 0; i < impl->def().fields.size(); ++i) {
        const FieldDef &field = impl->def().fields[i];
        fields.append(FieldInfo::fromDef(field));
        if (field.type == FieldType::AutoInc)
            impl->autoIncField = i;
    }
    impl->selectList = impl->handle.columns.join(QStringLiteral(", "));
    d = std::move(impl);
    m_hasRange = false;
    setStructure(fields);
}

void Table::doClose()
{
    d = std::make_unique<Impl>();
    m_hasRange = false;
}

namespace {

// Data-aware windows edit a row and then move on; the move saves the edit, as users expect.
void saveBeforeMoving(Table &table)
{
    if (table.state() == DataSet::State::Edit || table.state() == DataSet::State::Insert)
        table.post();
}

} // namespace

void Table::first()
{
    ensureOpen();
    saveBeforeMoving(*this);
    Parameters params(*d->backend);
    const QString where = d->rangeClause(params, m_hasRange);
    const std::optional<QVariantList> row = d->fetchWalk(where, params);
    if (!row) {
        d->hasRow = false;
        d->rowStored.clear();
        clearRow();
        setPosition(true, true, true);
        return;
    }
    d->hasRow = true;
    d->rowStored = *row;
    loadRow(d->toLogical(*row));
    setPosition(true, false, false);
}

void Table::last()
{
    ensureOpen();
    saveBeforeMoving(*this);
    Parameters params(*d->backend);
    const QString where = d->rangeClause(params, m_hasRange);
    const std::optional<QVariantList> row = d->fetchOne(where, params, d->orderBy(true));
    if (!row) {
        first();
        return;
    }
    d->hasRow = true;
    d->rowStored = *row;
    loadRow(d->toLogical(*row));
    setPosition(false, true, false);
}

void Table::next()
{
    ensureOpen();
    saveBeforeMoving(*this);
    if (!d->hasRow) {
        first();
        if (!isEmpty())
            setPosition(false, false, false);
        return;
    }
    if (!d->ahead.isEmpty()) {
        d->rowStored = d->ahead.takeFirst();
        loadRow(d->toLogical(d->rowStored));
        setPosition(false, false, false);
        return;
    }
    // The bound beyond the current row goes first: SQLite seeks the index on the first of two
    // lower bounds it is given, and the range's start would have it scan from there on every
    // batch, which makes walking a large range quadratic.
    Parameters params(*d->backend);
    const QString where = compareKeys(d->orderColumns, d->keyOf(d->orderColumns, d->rowStored),
                                      Compare::Greater, params) +
                          QStringLiteral(" AND ") + d->rangeClause(params, m_hasRange);
    const std::optional<QVariantList> row = d->fetchWalk(where, params);
    if (!row) {
        setPosition(bof(), true, false);
        return;
    }
    d->rowStored = *row;
    loadRow(d->toLogical(*row));
    setPosition(false, false, false);
}

void Table::prior()
{
    ensureOpen();
    saveBeforeMoving(*this);
    if (!d->hasRow) {
        first();
        return;
    }
    // The bound before the current row first, for the same reason as in next().
    Parameters params(*d->backend);
    const QString where = compareKeys(d->orderColumns, d->keyOf(d->orderColumns, d->rowStored),
                                      Compare::Less, params) +
                          QStringLiteral(" AND ") + d->rangeClause(params, m_hasRange);
    const std::optional<QVariantList> row = d->fetchOne(where, params, d->orderBy(true));
    if (!row) {
        setPosition(true, eof(), false);
        return;
    }
    d->rowStored = *row;
    loadRow(d->toLogical(*row));
    setPosition(false, false, false);
}

void Table::seek(int position)
{
    ensureOpen();
    if (position <= 0) {
        first();
        return;
    }
    saveBeforeMoving(*this);
    // The engine steps over the skipped rows in the index without reading them, so a grid that
    // shows the end of a long table reads only the rows it shows.
    Parameters params(*d->backend);
    const QString where = d->rangeClause(params, m_hasRange);
    const QString offset = QStringLiteral(" OFFSET ") + params.add(qint64(position));
    const std::optional<QVariantList> row = d->fetchWalk(where, params, offset);
    if (!row) {
        last();
        return;
    }
    d->hasRow = true;
    d->rowStored = *row;
    loadRow(d->toLogical(*row));
    setPosition(false, false, false);
}

int Table::recordCount()
{
    ensureOpen();
    Parameters params(*d->backend);
    const QString sql = QStringLiteral("SELECT count(*) FROM %1 WHERE %2")
                            .arg(d->handle.sqlName, d->rangeClause(params, m_hasRange));
    Statement &s = d->statement(sql, params.values());
    const int count = s.step() ? s.columnValue(0).toInt() : 0;
    s.reset();
    return count;
}

bool Table::findKey(const QVariantList &key)
{
    ensureOpen();
    saveBeforeMoving(*this);
    if (key.isEmpty() || key.size() > d->indexColumns.size())
        throw Error(QStringLiteral("The key has %1 values; the index %2 has %3 fields.")
                        .arg(key.size())
                        .arg(m_indexName.isEmpty() ? QStringLiteral("(primary)") : m_indexName)
                        .arg(d->indexColumns.size()));
    const QVariantList stored = d->keyToStorage(key);
    Parameters params(*d->backend);
    QStringList parts;
    for (int i = 0; i < stored.size(); ++i)
        parts.append(equalTo(d->indexColumns[i], stored[i], params));
    const QString where = parts.join(QStringLiteral(" AND ")) + QStringLiteral(" AND ") +
                          d->rangeClause(params, m_hasRange);
    const std::optional<QVariantList> row = d->fetchOne(where, params, d->orderBy(false));
    if (!row)
        return false;
    d->hasRow = true;
    d->rowStored = *row;
    loadRow(d->toLogical(*row));
    setPosition(false, false, false);
    return true;
}

QList<QVariantList> Table::findKeys(const QVariantList &values)
{
    ensureOpen();
    if (d->indexColumns.isEmpty())
        throw Error(QStringLiteral("The table %1 has no index to look keys up in.")
                        .arg(d->handle.canonicalName),
                    Error::UnknownIndex);
    // Every statement carries the same number of values, the last one repeated, so that one
    // prepared text serves every lookup.
    constexpr int PerStatement = 32;
    QVariantList stored;
    for (const QVariant &value : values) {
        if (!value.isNull())
            stored.append(d->keyToStorage({value}).constFirst());
    }
    QList<QVariantList> rows;
    for (qsizetype from = 0; from < stored.size(); from += PerStatement) {
        Parameters params(*d->backend);
        QStringList parameters;
        for (int i = 0; i < PerStatement; ++i)
            parameters.append(
                params.key(d->indexColumns[0], stored.at(std::min(from + i, stored.size() - 1))));
        const QString where = d->indexColumns[0].expression + QStringLiteral(" IN (") +
                              parameters.join(QStringLiteral(", ")) + QStringLiteral(") AND ") +
                              d->rangeClause(params, m_hasRange);
        for (const QVariantList &row :
             d->select(where, params, QString(), std::numeric_limits<int>::max()))
            rows.append(d->toLogical(row));
    }
    return rows;
}

QList<QVariantList> Table::rowsReadAhead() const
{
    if (!isOpen())
        return {};
    QList<QVariantList> rows;
    rows.reserve(d->ahead.size());
    for (const QVariantList &row : d->ahead)
        rows.append(d->toLogical(row));
    return rows;
}

bool Table::findNearest(const QVariantList &key)
{
    ensureOpen();
    saveBeforeMoving(*this);
    if (key.isEmpty() || key.size() > d->indexColumns.size())
        throw Error(QStringLiteral("The key has %1 values; the index %2 has %3 fields.")
                        .arg(key.size())
                        .arg(m_indexName.isEmpty() ? QStringLiteral("(primary)") : m_indexName)
                        .arg(d->indexColumns.size()));
    Parameters params(*d->backend);
    const QString where =
        compareKeys(d->indexColumns, d->keyToStorage(key), Compare::GreaterOrEqual, params) +
        QStringLiteral(" AND ") + d->rangeClause(params, m_hasRange);
    return d->standOn(*this, d->fetchWalk(where, params));
}

bool Table::locateNext(const QString &field, const QVariant &value)
{
    ensureOpen();
    saveBeforeMoving(*this);
    const int number = d->fieldNumber(field);
    const FieldDef &def = d->def().fields[number];
    Parameters params(*d->backend);
    QString where = d->rangeClause(params, m_hasRange);
    if (d->hasRow)
        where = compareKeys(d->orderColumns, d->keyOf(d->orderColumns, d->rowStored),
                            Compare::Greater, params) +
                QStringLiteral(" AND ") + where;
    const QVariant stored = d->backend->toStorage(def.type, DataSet::coerce(def.type, 0, value));
    where += QStringLiteral(" AND ") + equalTo(d->column(number, false), stored, params);
    return d->standOn(*this, d->fetchOne(where, params, d->orderBy(false)));
}

std::optional<std::pair<qint64, qint64>> Table::autoIncRange()
{
    ensureOpen();
    if (d->autoIncField < 0)
        return std::nullopt;
    // Two subqueries: SQLite answers a lone min() or max() from the key's end, but scans the
    // table for both in one.
    const QString column = d->handle.columns[d->autoIncField];
    const QString sql = QStringLiteral("SELECT (SELECT min(%1) FROM %2), (SELECT max(%1) FROM %2)")
                            .arg(column, d->handle.sqlName);
    Statement &s = d->statement(sql, {});
    std::optional<std::pair<qint64, qint64>> range;
    if (s.step() && !s.columnValue(0).isNull())
        range = std::make_pair(s.columnValue(0).toLongLong(), s.columnValue(1).toLongLong());
    s.reset();
    return range;
}

bool Table::findAutoInc(qint64 number)
{
    ensureOpen();
    saveBeforeMoving(*this);
    if (d->autoIncField < 0)
        return false;
    const QString column = d->handle.columns[d->autoIncField];
    Parameters params(*d->backend);
    const QString where = column + QStringLiteral(" >= ") + params.add(number);
    // A plain ascending order, which the numbering's key serves on every storage (NULLS FIRST
    // would not use a server's index; no row that qualifies has a blank number).
    return d->standOn(*this, d->fetchOne(where, params, QStringLiteral(" ORDER BY ") + column));
}

int Table::countUpTo(int limit)
{
    ensureOpen();
    Parameters params(*d->backend);
    const QString sql = QStringLiteral("SELECT count(*) FROM (SELECT 1 AS one FROM %1 WHERE %2%3) "
                                       "AS counted")
                            .arg(d->handle.sqlName, d->rangeClause(params, m_hasRange),
                                 d->backend->rowLimit(limit));
    Statement &s = d->statement(sql, params.values());
    const int count = s.step() ? s.columnValue(0).toInt() : 0;
    s.reset();
    return count;
}

void Table::setRange(const QVariantList &start, const QVariantList &end)
{
    ensureOpen();
    saveBeforeMoving(*this);
    d->rangeStart = d->keyToStorage(start);
    d->rangeEnd = d->keyToStorage(end);
    m_hasRange = true;
    first();
}

void Table::cancelRange()
{
    ensureOpen();
    d->rangeStart.clear();
    d->rangeEnd.clear();
    m_hasRange = false;
    first();
}

void Table::dropRange()
{
    ensureOpen();
    d->rangeStart.clear();
    d->rangeEnd.clear();
    // Rows read ahead were the range's: what follows in the whole table is read afresh.
    d->ahead.clear();
    m_hasRange = false;
}

void Table::insert()
{
    ensureOpen();
    saveBeforeMoving(*this);
    clearRow();
    setState(State::Insert);
}

void Table::append()
{
    insert();
}

void Table::edit()
{
    ensureOpen();
    if (state() == State::Edit || state() == State::Insert)
        return;
    if (!d->hasRow) {
        insert();
        return;
    }
    // Start from the row as it is now, so the changed-row check compares with what was seen.
    Parameters params(*d->backend);
    const QString where = d->rowCondition(d->rowStored, params);
    const std::optional<QVariantList> row = d->fetchOne(where, params, QString());
    if (!row)
        throw Error(QStringLiteral("Record was deleted by another user."), Error::RecordChanged);
    d->rowStored = *row;
    loadRow(d->toLogical(*row));
    setState(State::Edit);
}

void Table::post()
{
    ensureOpen();
    if (state() != State::Edit && state() != State::Insert)
        return;
    const TableDef &def = d->def();
    const QVariantList values = storedValues();
    for (int i = 0; i < def.fields.size(); ++i) {
        if (fields().at(i).required && values[i].isNull() && i != d->autoIncField)
            throw Error(QStringLiteral("Field '%1' must have a value.").arg(def.fields[i].name),
                        Error::RequiredField);
    }
    QVariantList stored;
    for (int i = 0; i < def.fields.size(); ++i)
        stored.append(d->backend->toStorage(def.fields[i].type, values[i]));

    if (state() == State::Insert) {
        QStringList names;
        Parameters params(*d->backend);
        QStringList placeholders;
        const bool numberedByEngine = d->autoIncField >= 0 && stored[d->autoIncField].isNull();
        for (int i = 0; i < def.fields.size(); ++i) {
            if (i == d->autoIncField && numberedByEngine)
                continue;
            names.append(d->handle.columns[i]);
            placeholders.append(params.add(stored[i]));
        }
        const QString sql =
            names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(d->handle.sqlName)
                            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                  .arg(d->handle.sqlName, names.join(QStringLiteral(", ")),
                                       placeholders.join(QStringLiteral(", ")));
        Statement &s =
            d->statement(sql, params.values(),
                         numberedByEngine ? d->handle.columns[d->autoIncField] : QString());
        s.step();
        if (numberedByEngine)
            stored[d->autoIncField] = s.insertedId();
        s.reset();
        if (d->autoIncField >= 0 && !numberedByEngine)
            d->backend->autoIncrementWritten(d->handle, d->autoIncField,
                                             stored[d->autoIncField].toLongLong());
    } else {
        QStringList assignments;
        QStringList unchangedSince;
        Parameters params(*d->backend);
        for (int i = 0; i < def.fields.size(); ++i) {
            if (!isModified(i))
                continue;
            const QString column = d->handle.columns[i];
            assignments.append(column + QStringLiteral(" = ") + params.add(stored[i]));
            const QVariant original = d->rowStored.value(i);
            unchangedSince.append(original.isNull()
                                      ? column + QStringLiteral(" IS NULL")
                                      : column + QStringLiteral(" = ") + params.add(original));
        }
        if (!assignments.isEmpty()) {
            QString where = d->rowCondition(d->rowStored, params);
            if (!unchangedSince.isEmpty())
                where += QStringLiteral(" AND ") + unchangedSince.join(QStringLiteral(" AND "));
            const QString sql =
                QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                    .arg(d->handle.sqlName, assignments.join(QStringLiteral(", ")), where);
            Statement &s = d->statement(sql, params.values());
            s.step();
            const int changed = s.changedRows();
            s.reset();
            if (changed == 0) {
                Parameters exists(*d->backend);
                const bool present =
                    d->fetchOne(d->rowCondition(d->rowStored, exists), exists, QString())
                        .has_value();
                throw Error(present ? QStringLiteral("Record changed by another user.")
                                    : QStringLiteral("Record was deleted by another user."),
                            Error::RecordChanged);
            }
        }
    }

    // Read the row back as stored, so the cursor stands on it with the engine's values.
    Parameters params(*d->backend);
    const std::optional<QVariantList> row =
        d->fetchOne(d->rowCondition(stored, params), params, QString());
    setState(State::Browse);
    if (row) {
        d->hasRow = true;
        d->rowStored = *row;
        loadRow(d->toLogical(*row));
        setPosition(false, false, false);
    } else {
        first();
    }
    Q_EMIT posted();
}

void Table::cancel()
{
    ensureOpen();
    if (state() != State::Edit && state() != State::Insert)
        return;
    setState(State::Browse);
    if (d->hasRow) {
        loadRow(d->toLogical(d->rowStored));
        setPosition(bof(), eof(), false);
    } else {
        clearRow();
        setPosition(true, true, true);
    }
}

void Table::remove()
{
    ensureOpen();
    if (state() == State::Insert) {
        cancel();
        return;
    }
    if (state() == State::Edit)
        cancel();
    if (!d->hasRow)
        throw Error(QStringLiteral("Cannot perform this operation on an empty dataset."),
                    Error::WrongState);
    const QVariantList removed = d->rowStored;
    Parameters params(*d->backend);
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE %2")
                            .arg(d->handle.sqlName, d->rowCondition(removed, params));
    Statement &s = d->statement(sql, params.values());
    s.step();
    s.reset();

    // Stand on the row that followed the deleted one, or on the one before it at the end.
    const QVariantList key = d->keyOf(d->orderColumns, removed);
    for (const bool forward : {true, false}) {
        Parameters p(*d->backend);
        const QString where =
            d->rangeClause(p, m_hasRange) + QStringLiteral(" AND ") +
            compareKeys(d->orderColumns, key, forward ? Compare::Greater : Compare::Less, p);
        if (const auto row = d->fetchOne(where, p, d->orderBy(!forward))) {
            d->rowStored = *row;
            loadRow(d->toLogical(*row));
            setPosition(false, !forward, false);
            return;
        }
    }
    d->hasRow = false;
    d->rowStored.clear();
    clearRow();
    setPosition(true, true, true);
}

void Table::updateCurrent(const QVariantMap &set, const QMap<QString, qint64> &add)
{
    ensureOpen();
    if (!d->hasRow)
        throw Error(QStringLiteral("Cannot perform this operation on an empty dataset."),
                    Error::WrongState);
    if (set.isEmpty() && add.isEmpty())
        return;
    QStringList assignments;
    Parameters params(*d->backend);
    for (auto it = set.cbegin(); it != set.cend(); ++it) {
        const int field = d->fieldNumber(it.key());
        const FieldDef &def = d->def().fields[field];
        assignments.append(d->handle.columns[field] + QStringLiteral(" = ") +
                           params.add(d->backend->toStorage(
                               def.type, DataSet::coerce(def.type, def.size, it.value()))));
    }
    for (auto it = add.cbegin(); it != add.cend(); ++it) {
        const QString column = d->handle.columns[d->fieldNumber(it.key())];
        // An integer field holds 32 bits: a counter stops at the largest value instead of
        // growing past what readers can take. The sum is taken in 64 bits, where a server's
        // 32-bit column would refuse the overflow instead of clamping it.
        const QString sum = QStringLiteral("CAST(COALESCE(%1, 0) AS BIGINT) + %2")
                                .arg(column, params.add(it.value()));
        assignments.append(QStringLiteral("%1 = CASE WHEN %2 > %3 THEN %3 ELSE %2 END")
                               .arg(column, sum)
                               .arg(std::numeric_limits<qint32>::max()));
    }
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                            .arg(d->handle.sqlName, assignments.join(QStringLiteral(", ")),
                                 d->rowCondition(d->rowStored, params));
    Statement &s = d->statement(sql, params.values());
    s.step();
    const int changed = s.changedRows();
    s.reset();
    if (changed == 0)
        throw Error(QStringLiteral("Record was deleted by another user."), Error::RecordChanged);
    refresh();
}

int Table::deleteRange(qint64 numberedUpTo)
{
    ensureOpen();
    if (state() == State::Edit || state() == State::Insert)
        cancel();
    Parameters params(*d->backend);
    QString where = d->rangeClause(params, m_hasRange);
    if (d->autoIncField >= 0 && numberedUpTo < std::numeric_limits<qint64>::max())
        where += QStringLiteral(" AND ") + d->handle.columns[d->autoIncField] +
                 QStringLiteral(" <= ") + params.add(numberedUpTo);
    Statement &s = d->statement(
        QStringLiteral("DELETE FROM %1 WHERE %2").arg(d->handle.sqlName, where), params.values());
    s.step();
    const int deleted = s.changedRows();
    s.reset();
    first();
    return deleted;
}

void Table::emptyTable()
{
    ensureOpen();
    if (!m_exclusive)
        throw Error(QStringLiteral("Table %1 must be opened exclusively to be emptied.")
                        .arg(d->handle.canonicalName),
                    Error::Locked);
    if (state() == State::Edit || state() == State::Insert)
        cancel();
    Statement &s = d->statement(QStringLiteral("DELETE FROM %1").arg(d->handle.sqlName), {});
    s.step();
    s.reset();
    first();
}

void Table::refresh()
{
    ensureOpen();
    if (!d->hasRow) {
        first();
        return;
    }
    // The row may have changed its key since it was read: it is found by the key it had.
    Parameters params(*d->backend);
    const std::optional<QVariantList> row =
        d->fetchOne(d->rowCondition(d->rowStored, params), params, QString());
    if (!row) {
        first();
        return;
    }
    d->rowStored = *row;
    loadRow(d->toLogical(*row));
    setPosition(bof(), eof(), false);
}

QStringList Table::lockHolders()
{
    ensureOpen();
    return d->backend->lockHolders(d->handle);
}

std::unique_ptr<DataSet> Table::lockList(QObject *parent)
{
    auto list = std::make_unique<MemoryDataSet>(parent);
    QList<QVariantList> rows;
    for (const QString &user : lockHolders())
        rows.append({user});
    list->setContent(
        {FieldInfo::fromDef(FieldDef{QStringLiteral("USERNAME"), FieldType::Alpha, 48})}, rows);
    list->open();
    return list;
}

int appendRecord(const QString &databaseName, const QString &tableName, const QVariantMap &values)
{
    Table table;
    table.setDatabaseName(databaseName);
    table.setTableName(tableName);
    table.open();
    table.append();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        table.setValue(it.key(), it.value());
    table.post();
    for (const FieldInfo &field : table.fields()) {
        if (field.type == FieldType::AutoInc)
            return table.asInteger(field.name);
    }
    return 0;
}

} // namespace dbe
