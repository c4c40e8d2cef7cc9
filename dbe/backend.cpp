#include "dbe/backend.h"

#include "dbe/error.h"

#include <limits>

namespace dbe {

std::optional<WatchedRows> Backend::readWatchedAtOnce(const QStringList &, const QString &,
                                                      const QVariantList &)
{
    return std::nullopt;
}

QVariant Backend::toStorage(FieldType type, const QVariant &value) const
{
    if (value.isNull() || !value.isValid())
        return {};
    switch (type) {
    case FieldType::Alpha:
        return value.toString();
    case FieldType::LongInt:
    case FieldType::AutoInc:
        return QVariant(value.toLongLong());
    case FieldType::Logical:
        return QVariant(value.toBool());
    case FieldType::Float:
        return QVariant(value.toDouble());
    case FieldType::Timestamp: {
        const QDateTime dt =
            value.typeId() == QMetaType::QDate ? value.toDate().startOfDay() : value.toDateTime();
        return dt.isValid() ? QVariant(timestampToText(dt)) : QVariant();
    }
    case FieldType::Date: {
        const QDate d =
            value.typeId() == QMetaType::QDateTime ? value.toDateTime().date() : value.toDate();
        return d.isValid() ? QVariant(dateToText(d)) : QVariant();
    }
    }
    return value;
}

QVariant Backend::fromStorage(FieldType type, const QVariant &stored) const
{
    if (stored.isNull() || !stored.isValid())
        return {};
    switch (type) {
    case FieldType::Alpha:
        return stored.toString();
    case FieldType::LongInt:
    case FieldType::AutoInc: {
        // A number beyond 32 bits was not written by the engine; it is handed on whole rather
        // than cut to another number that a caller would take for a real one.
        const qint64 number = stored.toLongLong();
        if (number < std::numeric_limits<qint32>::min() ||
            number > std::numeric_limits<qint32>::max())
            return QVariant(number);
        return QVariant(int(number));
    }
    case FieldType::Logical:
        return QVariant(stored.toBool());
    case FieldType::Float:
        return QVariant(stored.toDouble());
    case FieldType::Timestamp: {
        const QDateTime dt = timestampFromText(stored.toString());
        return dt.isValid() ? QVariant(dt) : QVariant();
    }
    case FieldType::Date: {
        const QDate d = dateFromText(stored.toString());
        return d.isValid() ? QVariant(d) : QVariant();
    }
    }
    return stored;
}

std::unique_ptr<ChangeWatch> Backend::watchChanges(const QStringList &, const ChangeWatch *)
{
    return nullptr;
}

void Backend::prepareChangeWatch(const QString &) {}

void Backend::followReplacedFiles(const QStringList &) {}

qint64 Backend::autoIncrementCounter(const TableHandle &table, int)
{
    throw Error(
        QStringLiteral("The storage of %1 cannot read its numbering.").arg(table.canonicalName),
        Error::WrongState);
}

void Backend::setAutoIncrementCounter(const TableHandle &table, int, qint64)
{
    throw Error(
        QStringLiteral("The storage of %1 cannot set its numbering.").arg(table.canonicalName),
        Error::WrongState);
}

void Backend::dropTable(const QString &name)
{
    throw Error(QStringLiteral("The storage cannot remove the table %1.").arg(name),
                Error::WrongState);
}

void Backend::beginSnapshot(const QStringList &)
{
    begin();
}

void Backend::beginWriting(const QStringList &)
{
    begin();
}

} // namespace dbe
