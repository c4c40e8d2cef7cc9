#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

namespace dbe::dbase {

// One field of a dBASE table as its header describes it.
struct DbfField {
    QString name;
    char type = 'C'; // 'C' character, 'N' numeric, 'F' float, 'L' logical, 'D' date, ...
    int width = 0;
    int decimals = 0;
};

// The contents of one dBASE file, held in memory and read through shapelib: the field list and
// the records with their deletion marks, field values as the bytes the file stores.
//
// Why shapelib, and only for the structure: it reads the dBASE header, the field descriptors
// and the records faithfully, and it is what Debian keeps secure. Its typed readers are not
// faithful for our files (text trimmed at both ends, integers through atoi so a blank or a
// non-number reads as 0, logicals as their raw character, deleted records not skipped), so the
// values are taken as raw bytes and interpreted by the callers. The checks shapelib leaves out
// (that the file is a dBASE table at all, and that it holds every record its header announces)
// are made here before shapelib sees the bytes.
class DbfFile
{
public:
    // Parses a file's bytes; `fileName` names it in error texts. Throws dbe::Error when the bytes
    // are not a dBASE table or are cut short.
    DbfFile(QByteArray bytes, const QString &fileName);
    ~DbfFile();

    DbfFile(const DbfFile &) = delete;
    DbfFile &operator=(const DbfFile &) = delete;

    QString fileName() const { return m_fileName; }
    const QList<DbfField> &fields() const { return m_fields; }
    int fieldIndex(const QString &name) const; // case-blind; -1 when absent

    // Records in file order, deleted ones included; numbered from 0.
    int recordCount() const { return m_recordCount; }
    bool isDeleted(int record) const;
    // The field's bytes as stored, padding included.
    QByteArray rawValue(int record, int field) const;

private:
    const char *recordBytes(int record) const;

    struct Handle;
    QByteArray m_bytes;
    QString m_fileName;
    std::unique_ptr<Handle> m_handle;
    QList<DbfField> m_fields;
    QList<int> m_offsets; // of each field within a record
    int m_recordCount = 0;
};

} // namespace dbe::dbase
