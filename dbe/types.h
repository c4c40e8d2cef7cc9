#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <Qt>

namespace dbe {

// The logical field types of a table, as the security database defines them. How each is
// stored is the backend's business; callers only see these types and the typed accessors.
enum class FieldType {
    Alpha,     // text of at most `size` characters
    LongInt,   // 32-bit signed integer
    AutoInc,   // 32-bit signed integer numbered by the engine at post, 1, 2, 3, ...
    Timestamp, // date and time (local), millisecond precision
    Date,      // date only
    Logical,   // boolean
    Float,     // a real number; appears only in query results
};

QString fieldTypeName(FieldType type);
// The word a storage writes into its description of a table for a type ("ALPHA", "LONGINT"),
// and back; throws Error for a word no version of the engine wrote.
QString fieldTypeToken(FieldType type);
FieldType fieldTypeFromToken(const QString &token);

struct FieldDef {
    QString name;
    FieldType type = FieldType::Alpha;
    int size = 0; // characters, Alpha only

    bool operator==(const FieldDef &) const = default;
};

struct IndexDef {
    QString name;
    int number = 0;
    QStringList fields;
    bool primary = false;
    bool unique = false;
    bool maintained = true;
    bool caseInsensitive = false;

    bool operator==(const IndexDef &) const = default;
};

struct TableDef {
    QString name; // without extension, as given at creation ("USERS")
    QList<FieldDef> fields;
    QList<IndexDef> indexes;

    const FieldDef *field(const QString &fieldName) const;   // case-blind
    const IndexDef *index(const QString &indexName) const;   // case-blind
    const IndexDef *primaryIndex() const;

    bool operator==(const TableDef &) const = default;
};

// Timestamps and dates as the storages keep them in text: ISO order, so text order is time
// order; local time, millisecond precision ("2026-03-04 05:06:07.089", "2026-03-04"). Reading
// takes fewer fraction digits too, and a 'T' between date and time; anything else reads as
// invalid.
QString timestampToText(const QDateTime &value);
QDateTime timestampFromText(const QString &text);
QString dateToText(const QDate &value);
QDate dateFromText(const QString &text);

// Why no storage can create `def` (a blank or repeated name, an index on an unknown field, two
// autoincrement fields, ...), in the engine's words; an empty text when it is sound.
QString tableDefProblem(const TableDef &def);

// What a grid or a report needs to know of one field of an open data set. The engine fills
// the defaults from the field type; windows and reports adjust labels, widths and alignment.
struct FieldInfo {
    QString name;
    FieldType type = FieldType::Alpha;
    int size = 0;
    QString displayLabel;  // defaults to the name
    int displayWidth = 0;  // in characters
    Qt::Alignment alignment = Qt::AlignLeft;
    bool visible = true;
    bool required = false;
    bool calculated = false;

    static FieldInfo fromDef(const FieldDef &def, bool calculated = false);
};

} // namespace dbe
