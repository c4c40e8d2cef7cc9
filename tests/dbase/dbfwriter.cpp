#include "tests/dbase/dbfwriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <memory>
#include <shapefil.h>
#include <stdexcept>

namespace dbffixture {

namespace {

[[noreturn]] void refuse(const QString &what)
{
    throw std::runtime_error(what.toStdString());
}

struct CloseDbf {
    void operator()(DBFInfo *dbf) const { DBFClose(dbf); }
};

int widthOf(DBFHandle dbf, int field)
{
    int width = 0;
    DBFGetFieldInfo(dbf, field, nullptr, &width, nullptr);
    return width;
}

// Puts `bytes` into the record's field byte for byte, padded with blanks.
void patchField(DBFHandle dbf, int record, int field, const QByteArray &bytes)
{
    int offset = 1; // after the deletion mark
    int recordLength = 1;
    for (int i = 0; i < DBFGetFieldCount(dbf); ++i) {
        if (i < field)
            offset += widthOf(dbf, i);
        recordLength += widthOf(dbf, i);
    }
    const char *tuple = DBFReadTuple(dbf, record);
    if (!tuple)
        refuse(QStringLiteral("record %1 cannot be read back").arg(record));
    QByteArray raw(tuple, recordLength);
    const int width = widthOf(dbf, field);
    raw.replace(offset, width, bytes.leftJustified(width, ' ', true));
    if (!DBFWriteTuple(dbf, record, raw.data()))
        refuse(QStringLiteral("record %1 cannot be patched").arg(record));
}

// Typed values go through shapelib's typed writers. Its number writer reformats what it is
// given and its logical writer knows only "T" and "F", so stored bytes that no typed writer
// would produce (a blank, "12a", "?") are written as they are.
void writeValue(DBFHandle dbf, int record, int field, const QVariant &value)
{
    const char type = DBFGetNativeFieldType(dbf, field);
    const auto direct = [&](const QByteArray &bytes) {
        return DBFWriteAttributeDirectly(dbf, record, field, const_cast<char *>(bytes.constData()));
    };
    bool written = true;
    if (value.isNull()) {
        written = direct(QByteArray());
    } else if (value.typeId() == QMetaType::Int) {
        written = DBFWriteIntegerAttribute(dbf, record, field, value.toInt());
    } else if (value.typeId() == QMetaType::QChar) {
        const char mark = char(value.toChar().toLatin1());
        written = (mark == 'T' || mark == 'F') ? DBFWriteLogicalAttribute(dbf, record, field, mark)
                                               : direct(QByteArray(1, mark));
    } else if (value.typeId() == QMetaType::QByteArray) {
        const QByteArray bytes = value.toByteArray();
        if (bytes.contains('\0')) {
            // The record must exist before it can be patched.
            written = direct(QByteArray());
            patchField(dbf, record, field, bytes);
        } else if (type == 'C') {
            written = DBFWriteStringAttribute(dbf, record, field, bytes.constData());
        } else {
            written = direct(bytes);
        }
    } else {
        refuse(QStringLiteral("no way to write a %1").arg(QString::fromLatin1(value.typeName())));
    }
    if (!written)
        refuse(QStringLiteral("shapelib refused field %1 of record %2").arg(field).arg(record));
}

} // namespace

void writeTable(const QString &path, const QList<Field> &fields, const QList<Record> &records)
{
    // shapelib names what it creates "<base>.dbf"; the file is renamed to the name wanted.
    const QFileInfo target(path);
    const QString base = target.absolutePath() + QStringLiteral("/fixture-") + target.baseName();
    const QString created = base + QStringLiteral(".dbf");
    QFile::remove(created);
    {
        std::unique_ptr<DBFInfo, CloseDbf> dbf(DBFCreate(QFile::encodeName(created).constData()));
        if (!dbf)
            refuse(QStringLiteral("shapelib cannot create %1").arg(created));
        for (const Field &field : fields) {
            if (DBFAddNativeFieldType(dbf.get(), field.name.constData(), field.type, field.width,
                                      field.decimals) < 0)
                refuse(QStringLiteral("shapelib refused field %1")
                           .arg(QString::fromLatin1(field.name)));
        }
        for (int record = 0; record < records.size(); ++record) {
            const QVariantList &values = records[record].values;
            for (int field = 0; field < fields.size(); ++field)
                writeValue(dbf.get(), record, field, values.value(field));
            if (records[record].deleted && !DBFMarkRecordDeleted(dbf.get(), record, 1))
                refuse(QStringLiteral("shapelib cannot delete record %1").arg(record));
        }
    }
    QFile::remove(path);
    if (!QFile::rename(created, path))
        refuse(QStringLiteral("cannot rename %1 to %2").arg(created, path));
}

void setHeaderByte(const QString &path, int offset, quint8 value)
{
    QFile file(path);
    const char byte = char(value);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(offset) || file.write(&byte, 1) != 1)
        refuse(QStringLiteral("cannot write byte %1 of %2").arg(offset).arg(path));
}

quint8 headerByte(const QString &path, int offset)
{
    QFile file(path);
    char byte = 0;
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset) || file.read(&byte, 1) != 1)
        refuse(QStringLiteral("cannot read byte %1 of %2").arg(offset).arg(path));
    return quint8(byte);
}

} // namespace dbffixture
