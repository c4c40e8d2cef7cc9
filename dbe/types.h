#pragma once

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
