#include "dbe/dbase/dbasetable.h"

#include "dbe/dbase/dbffile.h"
#include "dbe/error.h"
#include "dbe/fileaccess.h"
#include "dbe/session.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <limits>

namespace dbe {

namespace dbase {

QString fromWindows1252(const QByteArray &bytes)
{
    // Windows-1252 is Latin-1 except for 0x80-0x9F. The five positions it leaves unassigned
    // keep their C1 code points, as Windows itself converts them.
    static const char16_t upper[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const quint8 byte = quint8(c);
        *out++ = (byte >= 0x80 && byte < 0xA0) ? QChar(upper[byte - 0x80]) : QChar(byte);
    }
    return text;
}

} // namespace dbase

namespace {

QString withExtension(const QString &tableName)
{
    return QFileInfo(tableName).suffix().isEmpty() ? tableName + QStringLiteral(".DBF") : tableName;
}

QByteArray withoutPadding(QByteArray bytes)
{
    while (!bytes.isEmpty() && bytes.back() == ' ')
        bytes.chop(1);
    return bytes;
}

FieldInfo fieldInfoOf(const dbase::DbfField &field)
{
    FieldDef def{field.name, FieldType::Alpha, field.width};
    switch (field.type) {
    case 'N':
        def.type = field.decimals > 0 ? FieldType::Float : FieldType::LongInt;
        def.size = 0;
        break;
    case 'F':
        def.type = FieldType::Float;
        def.size = 0;
        break;
    case 'L':
        def.type = FieldType::Logical;
        def.size = 0;
        break;
    case 'D':
        def.type = FieldType::Date;
        def.size = 0;
        break;
    default:
        break;
    }
    return FieldInfo::fromDef(def);
}

std::optional<bool> logicalOf(char mark)
{
    switch (mark) {
    case 'T':
    case 't':
    case 'Y':
    case 'y':
        return true;
    case 'F':
    case 'f':
    case 'N':
    case 'n':
        return false;
    default:
        return std::nullopt;
    }
}

// The engine's view of a field: what a grid or a report shows. Unreadable values are blank
// here; the strict readers say what is wrong with them.
QVariant valueOf(const dbase::DbfField &field, const QByteArray &raw)
{
    const QByteArray text = raw.trimmed();
    if (text.isEmpty())
        return {};
    switch (field.type) {
    case 'N':
    case 'F': {
        bool ok = false;
        if (field.type == 'N' && field.decimals == 0) {
            const int whole = text.toInt(&ok);
            return ok ? QVariant(whole) : QVariant();
        }
        const double real = text.toDouble(&ok);
        return ok ? QVariant(real) : QVariant();
    }
    case 'L': {
        const std::optional<bool> logical = logicalOf(text.at(0));
        return logical ? QVariant(*logical) : QVariant();
    }
    case 'D': {
        const QDate date = QDate::fromString(QString::fromLatin1(text), QStringLiteral("yyyyMMdd"));
        return date.isValid() ? QVariant(date) : QVariant();
    }
    default:
        return dbase::fromWindows1252(withoutPadding(raw));
    }
}

} // namespace

DBaseTable::DBaseTable(QObject *parent) : MemoryDataSet(parent) {}

DBaseTable::~DBaseTable() = default;

void DBaseTable::setTableName(const QString &name)
{
    if (isOpen())
        throw Error(QStringLiteral("Cannot rename an open table."), Error::WrongState);
    m_tableName = name;
}

QString DBaseTable::filePath(const QString &directory, const QString &tableName)
{
    const QString wanted = withExtension(tableName);
    const QDir dir(directory);
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString &file : files) {
        if (file.compare(wanted, Qt::CaseInsensitive) == 0)
            return dir.filePath(file);
    }
    return dir.filePath(wanted);
}

bool DBaseTable::exists(const QString &directory, const QString &tableName)
{
    return QFileInfo(filePath(directory, tableName)).isFile();
}

void DBaseTable::fetch()
{
    if (m_tableName.isEmpty())
        throw Error(QStringLiteral("No table name given."), Error::TableNotFound);
    const QString path = filePath(Session::instance().directoryOf(databaseName()), m_tableName);
    QFile file(path);
    if (!QFileInfo(path).isFile())
        throw Error(QStringLiteral("Table does not exist: %1").arg(path), Error::TableNotFound);
    if (const QString refused = openRegularFile(file, QIODevice::ReadOnly); !refused.isEmpty())
        throw Error(QStringLiteral("Cannot read %1: %2").arg(path, refused), Error::Io);
    auto dbf = std::make_unique<dbase::DbfFile>(file.readAll(), QFileInfo(path).fileName());
    if (file.error() != QFileDevice::NoError)
        throw Error(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()), Error::Io);

    QList<int> live;
    QList<QVariantList> rows;
    for (int record = 0; record < dbf->recordCount(); ++record) {
        if (dbf->isDeleted(record))
            continue;
        QVariantList values;
        for (int i = 0; i < dbf->fields().size(); ++i)
            values.append(valueOf(dbf->fields().at(i), dbf->rawValue(record, i)));
        live.append(record);
        rows.append(values);
    }
    QList<FieldInfo> fields;
    for (const dbase::DbfField &field : dbf->fields())
        fields.append(fieldInfoOf(field));
    m_file = std::move(dbf);
    m_live = std::move(live);
    m_pendingFields = fields;
    m_pendingRows = rows;
}

void DBaseTable::doClose()
{
    MemoryDataSet::doClose();
    m_pendingRows.clear();
    m_file.reset();
    m_live.clear();
}

int DBaseTable::recordNumber() const
{
    ensureOpen();
    return currentRow() < 0 ? 0 : m_live.at(currentRow()) + 1;
}

int DBaseTable::fieldNumber(const QString &field) const
{
    ensureOpen();
    const int index = m_file->fieldIndex(field);
    if (index < 0)
        throw Error(QStringLiteral("%1 has no field %2.").arg(m_file->fileName(), field),
                    Error::UnknownField);
    if (currentRow() < 0)
        throw Error(QStringLiteral("%1 has no current record.").arg(m_file->fileName()),
                    Error::WrongState);
    return index;
}

QByteArray DBaseTable::storedBytes(int field) const
{
    return m_file->rawValue(m_live.at(currentRow()), field);
}

void DBaseTable::refuse(const QString &field, const QString &problem) const
{
    throw Error(QStringLiteral("%1, record %2, field %3: %4")
                    .arg(m_file->fileName())
                    .arg(recordNumber())
                    .arg(m_file->fields().at(m_file->fieldIndex(field)).name, problem));
}

QByteArray DBaseTable::rawText(const QString &field) const
{
    const int index = fieldNumber(field);
    return withoutPadding(storedBytes(index));
}

int DBaseTable::integerValue(const QString &field) const
{
    const int index = fieldNumber(field);
    const QByteArray stored = storedBytes(index).trimmed();
    if (stored.isEmpty())
        refuse(field, QStringLiteral("it is blank where a number is needed."));
    QByteArray whole = stored;
    // A numeric field with decimals writes a whole number as "12.00".
    const qsizetype point = whole.indexOf('.');
    bool ok = point < 0 || whole.mid(point + 1).count('0') == whole.size() - point - 1;
    if (point >= 0)
        whole.truncate(point);
    const qlonglong number = ok ? whole.toLongLong(&ok) : 0;
    if (!ok || number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        refuse(field,
               QStringLiteral("\"%1\" is not a whole number.").arg(QString::fromLatin1(stored)));
    return int(number);
}

std::optional<bool> DBaseTable::logicalValue(const QString &field) const
{
    const int index = fieldNumber(field);
    const QByteArray stored = storedBytes(index).trimmed();
    if (stored.isEmpty() || stored == "?")
        return std::nullopt;
    const std::optional<bool> value =
        stored.size() == 1 ? logicalOf(stored.at(0)) : std::optional<bool>();
    if (!value)
        refuse(field,
               QStringLiteral("\"%1\" is not a logical value.").arg(QString::fromLatin1(stored)));
    return value;
}

} // namespace dbe
