#pragma once

#include "dbe/dataset.h"

#include <QMap>

#include <memory>

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

    // Restricts the cursor to keys from start to end, both included (leading fields only); the
    // cursor moves to the first row in the range.
    void setRange(const QVariantList &start, const QVariantList &end);
    void cancelRange();
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
