#include "dbe/dataset.h"

#include "dbe/error.h"

namespace dbe {

DataSet::DataSet(QObject *parent) : QObject(parent) {}

DataSet::~DataSet() = default;

void DataSet::setDatabaseName(const QString &name)
{
    if (isOpen())
        throw Error(QStringLiteral("Cannot change the database of an open data set."),
                    Error::WrongState);
    m_databaseName = name;
}

void DataSet::open()
{
    if (isOpen())
        return;
    doOpen();
    setState(State::Browse);
    first();
    Q_EMIT opened();
}

void DataSet::close()
{
    if (!isOpen())
        return;
    doClose();
    m_fields.clear();
    m_storedCount = 0;
    m_values.clear();
    m_modified.clear();
    m_bof = m_eof = m_empty = true;
    setState(State::Inactive);
    Q_EMIT closed();
}

void DataSet::seek(int position)
{
    first();
    for (int row = 0; row < position && !eof(); ++row)
        next();
}

int DataSet::fieldIndex(const QString &name) const
{
    // Callers nearly always spell a field as it was defined, and a report asks for fields by
    // name millions of times: the exact spelling is looked for before case is folded. Field
    // names are unique without regard to case, so both find the same field.
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].name == name)
            return i;
    }
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

FieldInfo &DataSet::fieldInfo(const QString &name)
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw Error(QStringLiteral("Field '%1' not found.").arg(name), Error::UnknownField);
    return m_fields[index];
}

QVariant DataSet::value(const QString &name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw Error(QStringLiteral("Field '%1' not found.").arg(name), Error::UnknownField);
    return value(index);
}

QVariant DataSet::value(int index) const
{
    return m_values.value(index);
}

QString DataSet::asString(const QString &name) const
{
    const QVariant v = value(name);
    if (v.isNull())
        return {};
    switch (m_fields[fieldIndex(name)].type) {
    case FieldType::Logical:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case FieldType::Timestamp:
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    case FieldType::Date:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    default:
        return v.toString();
    }
}

int DataSet::asInteger(const QString &name) const
{
    return value(name).toInt();
}

bool DataSet::asBoolean(const QString &name) const
{
    return value(name).toBool();
}

QDateTime DataSet::asDateTime(const QString &name) const
{
    const QVariant v = value(name);
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().startOfDay();
    return v.toDateTime();
}

QDate DataSet::asDate(const QString &name) const
{
    const QVariant v = value(name);
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().date();
    return v.toDate();
}

void DataSet::setValue(const QString &name, const QVariant &newValue)
{
    ensureOpen();
    const int index = fieldIndex(name);
    if (index < 0)
        throw Error(QStringLiteral("Field '%1' not found.").arg(name), Error::UnknownField);
    const FieldInfo &field = m_fields[index];
    const bool writable = field.calculated
                              ? m_state == State::CalcFields
                              : (m_state == State::Edit || m_state == State::Insert);
    if (!writable)
        throw Error(QStringLiteral("Dataset not in edit or insert mode."), Error::WrongState);
    m_values[index] = coerce(field.type, field.size, newValue);
    if (!field.calculated) {
        m_modified[index] = true;
        Q_EMIT fieldChanged(field.name);
    }
}

void DataSet::addCalculatedField(const QString &name, FieldType type, int size)
{
    if (isOpen())
        throw Error(QStringLiteral("Calculated fields are declared while the data set is closed."),
                    Error::WrongState);
    m_calcFields.append(FieldInfo::fromDef(FieldDef{name, type, size}, true));
}

QVariant DataSet::coerce(FieldType type, int size, const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return {};
    switch (type) {
    case FieldType::Alpha: {
        QString text = value.toString();
        if (size > 0 && text.size() > size)
            text.truncate(size);
        // A blank Alpha field is stored as no value at all, as a blank field reads.
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case FieldType::LongInt:
    case FieldType::AutoInc:
        return QVariant(value.toInt());
    case FieldType::Logical:
        return QVariant(value.toBool());
    case FieldType::Float:
        return QVariant(value.toDouble());
    case FieldType::Timestamp: {
        QDateTime dt = value.typeId() == QMetaType::QDate ? value.toDate().startOfDay()
                                                          : value.toDateTime();
        return dt.isValid() ? QVariant(dt) : QVariant();
    }
    case FieldType::Date: {
        const QDate d = value.typeId() == QMetaType::QDateTime ? value.toDateTime().date()
                                                               : value.toDate();
        return d.isValid() ? QVariant(d) : QVariant();
    }
    }
    return value;
}

void DataSet::setStructure(const QList<FieldInfo> &storedFields)
{
    m_fields = storedFields;
    m_storedCount = int(storedFields.size());
    m_fields.append(m_calcFields);
    m_values = QVariantList(m_fields.size());
    m_modified = QList<bool>(m_fields.size(), false);
}

void DataSet::loadRow(const QVariantList &storedValues)
{
    m_values = storedValues.mid(0, m_storedCount);
    while (m_values.size() < m_fields.size())
        m_values.append(QVariant());
    clearModified();
    if (m_calcHandler && m_fields.size() > m_storedCount) {
        const State previous = m_state;
        m_state = State::CalcFields;
        try {
            m_calcHandler(*this);
        } catch (...) {
            m_state = previous;
            throw;
        }
        m_state = previous;
    }
}

void DataSet::clearRow()
{
    m_values = QVariantList(m_fields.size());
    clearModified();
}

void DataSet::clearModified()
{
    m_modified = QList<bool>(m_fields.size(), false);
}

void DataSet::setPosition(bool bof, bool eof, bool empty)
{
    m_bof = bof;
    m_eof = eof;
    m_empty = empty;
    Q_EMIT scrolled();
}

void DataSet::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged();
}

void DataSet::ensureOpen() const
{
    if (!isOpen())
        throw Error(QStringLiteral("Cannot perform this operation on a closed dataset."),
                    Error::NotOpen);
}

// ---------------------------------------------------------------------------------------------

MemoryDataSet::MemoryDataSet(QObject *parent) : DataSet(parent) {}

void MemoryDataSet::setContent(const QList<FieldInfo> &fields, const QList<QVariantList> &rows)
{
    m_pendingFields = fields;
    m_pendingRows = rows;
}

void MemoryDataSet::doOpen()
{
    fetch();
    m_rows = m_pendingRows;
    m_row = -1;
    setStructure(m_pendingFields);
}

void MemoryDataSet::doClose()
{
    m_rows.clear();
    m_row = -1;
}

void MemoryDataSet::moveTo(int row)
{
    m_row = row;
    loadRow(m_rows.at(row));
}

void MemoryDataSet::first()
{
    ensureOpen();
    if (m_rows.isEmpty()) {
        m_row = -1;
        clearRow();
        setPosition(true, true, true);
        return;
    }
    moveTo(0);
    setPosition(true, false, false);
}

void MemoryDataSet::last()
{
    ensureOpen();
    if (m_rows.isEmpty()) {
        first();
        return;
    }
    moveTo(int(m_rows.size()) - 1);
    setPosition(false, true, false);
}

void MemoryDataSet::next()
{
    ensureOpen();
    if (m_row + 1 >= m_rows.size()) {
        setPosition(bof() && m_rows.size() <= 1, true, m_rows.isEmpty());
        return;
    }
    moveTo(m_row + 1);
    setPosition(false, false, false);
}

void MemoryDataSet::prior()
{
    ensureOpen();
    if (m_row <= 0) {
        setPosition(true, eof() && m_rows.size() <= 1, m_rows.isEmpty());
        return;
    }
    moveTo(m_row - 1);
    setPosition(false, false, false);
}

void MemoryDataSet::seek(int position)
{
    ensureOpen();
    if (position <= 0 || m_rows.isEmpty()) {
        first();
        return;
    }
    if (position >= m_rows.size()) {
        last();
        return;
    }
    moveTo(position);
    setPosition(false, false, false);
}

int MemoryDataSet::recordCount()
{
    ensureOpen();
    return int(m_rows.size());
}

} // namespace dbe
