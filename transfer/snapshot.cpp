#include "transfer/snapshot.h"

#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "rules/schema.h"

#include <QDataStream>
#include <QIODevice>

namespace transfer {

namespace {

// The first bytes of an encoded snapshot, and its format: a later format gets a new number.
const QByteArray Magic = QByteArrayLiteral("VESKSNAP");
constexpr quint32 Format = 1;

[[noreturn]] void notASnapshot(const QString &why)
{
    throw dbe::Error(
        QStringLiteral("The file holds no snapshot of a security database: %1.").arg(why),
        dbe::Error::Damaged);
}

// The type each field's values are carried in (see dbe::TableContent).
QMetaType::Type carriedType(dbe::FieldType type)
{
    switch (type) {
    case dbe::FieldType::Alpha:
        return QMetaType::QString;
    case dbe::FieldType::LongInt:
    case dbe::FieldType::AutoInc:
        return QMetaType::LongLong;
    case dbe::FieldType::Logical:
        return QMetaType::Bool;
    case dbe::FieldType::Timestamp:
        return QMetaType::QDateTime;
    case dbe::FieldType::Date:
        return QMetaType::QDate;
    case dbe::FieldType::Float:
        return QMetaType::Double;
    }
    return QMetaType::UnknownType;
}

// The tables must be the seven, each with the fields its readers expect, and every value of
// its field's type: whatever is put into a database from a snapshot has to be a security
// database afterwards. Each table then carries the schema's description, indexes included,
// whichever storage described it.
void checkTables(QList<dbe::TableContent> &tables)
{
    const QList<dbe::TableDef> &expected = security::securityTables();
    if (tables.size() != expected.size())
        notASnapshot(
            QStringLiteral("it holds %1 tables, not %2").arg(tables.size()).arg(expected.size()));
    for (int t = 0; t < tables.size(); ++t) {
        dbe::TableDef &def = tables[t].def;
        if (def.name.compare(expected[t].name, Qt::CaseInsensitive) != 0 ||
            def.fields != expected[t].fields)
            notASnapshot(QStringLiteral("the table %1 is not the security table %2")
                             .arg(def.name, expected[t].name));
        def = expected[t];
        for (const QVariantList &row : std::as_const(tables[t].rows)) {
            if (row.size() != def.fields.size())
                notASnapshot(
                    QStringLiteral("a row of %1 has %2 values").arg(def.name).arg(row.size()));
            for (int f = 0; f < row.size(); ++f) {
                if (!row[f].isNull() && row[f].typeId() != carriedType(def.fields[f].type))
                    notASnapshot(QStringLiteral("a value of %1.%2 is no %3")
                                     .arg(def.name, def.fields[f].name,
                                          dbe::fieldTypeName(def.fields[f].type)));
            }
        }
    }
}

// Dates and times travel as the wall-clock text the tables keep: a QDateTime would travel in
// UTC, and a backup restored under another time zone would shift every log entry.
QVariant carried(dbe::FieldType type, const QVariant &value)
{
    if (value.isNull())
        return value;
    if (type == dbe::FieldType::Timestamp)
        return dbe::timestampToText(value.toDateTime());
    if (type == dbe::FieldType::Date)
        return dbe::dateToText(value.toDate());
    return value;
}

QVariant uncarried(dbe::FieldType type, const QVariant &value)
{
    if (value.isNull() || value.typeId() != QMetaType::QString)
        return value; // checkTables() refuses what is no text where text belongs
    if (type == dbe::FieldType::Timestamp) {
        const QDateTime time = dbe::timestampFromText(value.toString());
        return time.isValid() ? QVariant(time) : value;
    }
    if (type == dbe::FieldType::Date) {
        const QDate date = dbe::dateFromText(value.toString());
        return date.isValid() ? QVariant(date) : value;
    }
    return value;
}

} // namespace

const dbe::TableContent &Snapshot::table(const QString &name) const
{
    const QString wanted = security::securityTable(name).name;
    for (const dbe::TableContent &content : tables) {
        if (content.def.name.compare(wanted, Qt::CaseInsensitive) == 0)
            return content;
    }
    throw dbe::Error(QStringLiteral("The snapshot holds no table %1.").arg(name),
                     dbe::Error::TableNotFound);
}

Snapshot takeSnapshot(const QString &databaseName)
{
    const std::shared_ptr<dbe::Database> database = dbe::Session::instance().database(databaseName);
    QStringList names;
    for (const dbe::TableDef &def : security::securityTables())
        names.append(def.name);
    names = dbe::openForTransaction(*database, names);

    Snapshot snapshot;
    database->beginSnapshot(names);
    try {
        snapshot.taken = QDateTime::currentDateTime();
        for (const QString &name : std::as_const(names))
            snapshot.tables.append(dbe::readTableContent(*database, name));
        database->commit();
    } catch (...) {
        // The failure that ended the work is the one to report; a server gone away has
        // undone the transaction itself.
        try {
            database->rollback();
        } catch (const dbe::Error &) {
        }
        throw;
    }
    checkTables(snapshot.tables);
    return snapshot;
}

QByteArray encode(const Snapshot &snapshot)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out.writeRawData(Magic.constData(), int(Magic.size()));
    out << Format << snapshot.taken << quint32(snapshot.tables.size());
    for (const dbe::TableContent &table : snapshot.tables) {
        out << table.def.name << quint32(table.def.fields.size());
        for (const dbe::FieldDef &field : table.def.fields)
            out << field.name << dbe::fieldTypeToken(field.type) << qint32(field.size);
        out << table.counter << qint64(table.rows.size());
        for (const QVariantList &row : table.rows) {
            for (int f = 0; f < row.size(); ++f)
                out << carried(table.def.fields[f].type, row[f]);
        }
    }
    return bytes;
}

Snapshot decode(const QByteArray &bytes)
{
    if (!bytes.startsWith(Magic))
        notASnapshot(QStringLiteral("it does not begin as one"));
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    in.skipRawData(int(Magic.size()));
    quint32 format = 0;
    quint32 tableCount = 0;
    Snapshot snapshot;
    in >> format;
    if (format != Format)
        notASnapshot(QStringLiteral("it was written in format %1, which this version does not "
                                    "read")
                         .arg(format));
    in >> snapshot.taken >> tableCount;
    // Counts come from the file: checked against what the rest of it can hold before use.
    const auto check = [&](qint64 count, qint64 least) {
        if (in.status() != QDataStream::Ok || count < 0 ||
            count * least > bytes.size() - in.device()->pos())
            notASnapshot(QStringLiteral("it is cut short"));
    };
    check(tableCount, 8);
    for (quint32 t = 0; t < tableCount; ++t) {
        dbe::TableContent table;
        quint32 fieldCount = 0;
        in >> table.def.name >> fieldCount;
        check(fieldCount, 12);
        for (quint32 f = 0; f < fieldCount; ++f) {
            QString name;
            QString token;
            qint32 size = 0;
            in >> name >> token >> size;
            table.def.fields.append({name, dbe::fieldTypeFromToken(token), size});
        }
        qint64 rowCount = 0;
        in >> table.counter >> rowCount;
        check(rowCount, qint64(fieldCount) * 4);
        table.rows.reserve(rowCount);
        for (qint64 r = 0; r < rowCount; ++r) {
            QVariantList row;
            row.reserve(fieldCount);
            for (quint32 f = 0; f < fieldCount; ++f) {
                QVariant value;
                in >> value;
                row.append(uncarried(table.def.fields[f].type, value));
            }
            table.rows.append(std::move(row));
        }
        check(0, 0);
        snapshot.tables.append(std::move(table));
    }
    if (!in.atEnd())
        notASnapshot(QStringLiteral("it goes on after its last table"));
    checkTables(snapshot.tables);
    return snapshot;
}

QStringList rowCounts(const Snapshot &snapshot)
{
    QStringList lines;
    for (const dbe::TableContent &table : snapshot.tables)
        lines.append(
            QStringLiteral("%1.DB: %2 %3")
                .arg(table.def.name)
                .arg(table.rows.size())
                .arg(table.rows.size() == 1 ? QStringLiteral("row") : QStringLiteral("rows")));
    return lines;
}

} // namespace transfer
