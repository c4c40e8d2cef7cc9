#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

// Fixture dBASE files written by a real dBASE writer (shapelib's DBFCreate and DBFWrite*), so
// that the reader is tested against files it did not make itself.
namespace dbffixture {

struct Field {
    QByteArray name;
    char type = 'C';
    int width = 10;
    int decimals = 0;
};

// One value per field: an int is written as a number, a QByteArray as the field's bytes
// (padded with blanks; bytes holding a zero are patched into the record, as shapelib's string
// writer stops at one), a QChar as a logical's mark, and a null QVariant leaves the field
// blank.
struct Record {
    QVariantList values;
    bool deleted = false;
};

// Writes the table at `path` (the file name as given, in any letter case). Throws
// std::runtime_error when shapelib refuses.
void writeTable(const QString &path, const QList<Field> &fields, const QList<Record> &records);

// Sets one header byte the way a previous program would have left it.
void setHeaderByte(const QString &path, int offset, quint8 value);
quint8 headerByte(const QString &path, int offset);

} // namespace dbffixture
