#pragma once

#include "dbe/dataset.h"

#include <QByteArray>
#include <memory>
#include <optional>

namespace dbe {

namespace dbase {
class DbfFile;

// Text in the Windows code page the old desktop wrote (Windows-1252) as Unicode.
QString fromWindows1252(const QByteArray &bytes);
} // namespace dbase

// A dBASE table opened read-only: the database name is the directory (or an alias of it), the
// table name the file name, with or without ".DBF", matched without regard to case as the
// engine matches its own tables. Records marked deleted are skipped by the walk; recordCount()
// counts the others.
//
// value() and the typed readers of DataSet follow the engine's rules (a blank field is empty,
// 0 or false). A caller that must not mistake a blank or garbled field for 0 reads it through
// integerValue() and logicalValue(), which refuse what they cannot read.
class DBaseTable : public MemoryDataSet
{
    Q_OBJECT

public:
    explicit DBaseTable(QObject *parent = nullptr);
    ~DBaseTable() override;

    void setTableName(const QString &name);
    QString tableName() const { return m_tableName; }

    // The file a table name stands for in a directory: the existing file whose name matches
    // without regard to case, else the name as given (with ".DBF" added when it has none).
    static QString filePath(const QString &directory, const QString &tableName);
    // Whether the directory holds the table.
    static bool exists(const QString &directory, const QString &tableName);

    // The current record's number in the file, from 1, deleted records counted.
    int recordNumber() const;

    // The field's bytes as stored, without the blanks that pad it to its width.
    QByteArray rawText(const QString &field) const;
    // A whole number. Throws, naming the file, the record and the field, when the field is
    // blank, is not a whole number or does not fit 32 bits.
    int integerValue(const QString &field) const;
    // "T", "t", "Y", "y" are true; "F", "f", "N", "n" false; a blank or "?" is no value. Any
    // other character throws, naming the file, the record and the field.
    std::optional<bool> logicalValue(const QString &field) const;

protected:
    // Reads the whole file at open: the old files are small, and the walk then costs nothing.
    void fetch() override;
    void doClose() override;

private:
    int fieldNumber(const QString &field) const; // throws UnknownField
    [[noreturn]] void refuse(const QString &field, const QString &problem) const;
    // The field's bytes in the current record.
    QByteArray storedBytes(int field) const;

    QString m_tableName;
    std::unique_ptr<dbase::DbfFile> m_file;
    QList<int> m_live; // the record numbers (from 0) of the rows, deleted records left out
};

} // namespace dbe
