#pragma once

#include "dbe/dataset.h"

#include <QMap>

#include <limits>
#include <memory>
#include <optional>
#include <utility>

namespace dbe {

class Database;
class TableLock;
struct TableHandle;

// A cursor on one table of a database, ordered by the primary index or a named one.
//
// The cursor reads live data: it remembers the key of its current row and fetches the rows after
// it from the table, a batch at a time, so a change another process committed is seen at the next
// lookup, range or return to the first row, and by a walk at its next batch.
// While open it holds a shared lock on the table (an exclusive one when opened exclusively),
// which is what the lock list shows and what makes an exclusive open fail.
class Table : public DataSet
{
    Q_OBJECT

public:
    explicit Table(QObject *parent = nullptr);
    ~Table() override;

    // "USERS.DB", "Users" and "users" name the same table.
    void setTableName(const QString &name);
    QString tableName() const { return m_tableName; }
    // Empty: the primary index. May be changed while open; the cursor then goes to the first row.
    void setIndexName(const QString &name);
    QString indexName() const { return m_indexName; }
    void setExclusive(bool exclusive);
    bool exclusive() const { return m_exclusive; }

    const TableDef &definition() const; // of the open table
    QStringList indexFields() const;    // key fields of the current index

    void first() override;
    void last() override;
    void next() override;
    void prior() override;
    // Skips the rows before `position` in the index, within the range, rather than reading them.
    void seek(int position) override;
    int recordCount() override; // within the range, if one is set

    // Exact search of the key's leading fields on the current index (case-blind where the index
    // is). Found: the cursor moves there, true. Not found: the cursor stays, false.
    bool findKey(const QVariantList &key);

    // The rows whose key on the current index has one of `values` for its first field, within
    // the range, in no particular order, as values in the order of fields(): a lookup of many
    // rows at once (the names of a screenful of log entries), a few dozen values to a
    // statement where findKey() costs one each. Blank values find nothing; give each value
    // once, as one given twice may find its rows twice. The cursor stays.
    QList<QVariantList> findKeys(const QVariantList &values);
    // The rows a forward walk has read past the current one and not moved to yet, as values:
    // what a lookup made for the current row may look up for the coming ones as well.
    QList<QVariantList> rowsReadAhead() const;

    // Moves to the first row whose key on the current index is at or after `key` (leading
    // fields), within the range. None: the cursor stays, false.
    bool findNearest(const QVariantList &key);
    // Moves to the next row after the current one, in the index's order and within the range,
    // whose `field` holds `value`. None: the cursor stays, false.
    bool locateNext(const QString &field, const QVariant &value);

    // Positioning by the engine's numbering, which follows the order rows were written in: a
    // grid over a log of millions of entries places its rows by number instead of counting
    // them. Both read the numbering's own key (the row id, or its index on a server), so they
    // cost the same at twenty million rows as at ten, and both disregard any range.
    // The smallest and largest number of the autoincrement field; none when the table is empty
    // or has no such field.
    std::optional<std::pair<qint64, qint64>> autoIncRange();
    // Moves to the row with the smallest number at or above `number`. None: the cursor stays.
    bool findAutoInc(qint64 number);
    // The rows within the range, counted up to `limit`: tells a short table from a long one
    // without counting a long one.
    int countUpTo(int limit);

    // Restricts the cursor to keys from start to end, both included (leading fields only); the
    // cursor moves to the first row in the range.
    void setRange(const QVariantList &start, const QVariantList &end);
    void cancelRange();
    // Drops the range and leaves the cursor where it is, for a caller that positions it
    // afresh before its next read anyway: saves cancelRange()'s read of the first row.
    void dropRange();
    bool hasRange() const { return m_hasRange; }

    void insert();
    void append();
    void edit();
    // Writes the row. An autoincrement field is numbered here and readable right after. Fails
    // with KeyViolation on a duplicate primary key, and with RecordChanged when another user
    // changed a field this cursor changed (or deleted the row) since it was read, and with
    // RequiredField when a field marked required (FieldInfo::required) is blank.
    void post();
    void cancel();
    // Deletes the current row; the cursor moves to the following one (or the previous one at
    // the end).
    void remove();

    // One-statement write to the current row, without the changed-row check of post(): `set`
    // replaces fields, `add` adds to integer fields in the database. For counters that several
    // workstations bump at once.
    void updateCurrent(const QVariantMap &set, const QMap<QString, qint64> &add = {});

    // Deletes, in one statement, the rows within the range (every row without one) whose
    // autoincrement number is at most `numberedUpTo`, so that rows written after a reader took
    // the largest number are left; answers how many. Needs no exclusive use: it is how old
    // entries leave a log that hosts keep writing to.
    int deleteRange(qint64 numberedUpTo = std::numeric_limits<qint64>::max());

    // Deletes every row. Needs the table opened exclusively.
    void emptyTable();

    // Reads the current row again from the table.
    void refresh();

    // The network user name of every lock on this table, one entry per lock (per open cursor
    // in any process), this cursor's own included.
    QStringList lockHolders();
    // The same as a data set with the single field "USERNAME".
    std::unique_ptr<DataSet> lockList(QObject *parent = nullptr);

protected:
    void doOpen() override;
    void doClose() override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;

    QString m_tableName;
    QString m_indexName;
    bool m_exclusive = false;
    bool m_hasRange = false;
};

// Appends one row with the given field values through a cursor of its own; answers the number
// the engine gave its autoincrement field (0 when the table has none).
int appendRecord(const QString &databaseName, const QString &tableName, const QVariantMap &values);

} // namespace dbe
