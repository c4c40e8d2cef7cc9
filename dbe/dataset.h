#pragma once

#include "dbe/types.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QVariant>

#include <functional>

namespace dbe {

// A set of rows with a current row and named, typed fields: the common face of tables, query
// results and lock lists, and what grids and reports read.
//
// Walk: first(), next() until eof(). Field reads take the name (case-blind); a blank field
// reads as empty text, 0, false or an invalid date-time. Calculated fields are declared before
// open() and filled by the handler each time a row is read.
class DataSet : public QObject
{
    Q_OBJECT

public:
    enum class State { Inactive, Browse, Edit, Insert, CalcFields };
    Q_ENUM(State)

    explicit DataSet(QObject *parent = nullptr);
    ~DataSet() override;

    void setDatabaseName(const QString &name);
    QString databaseName() const { return m_databaseName; }

    void open();
    void close();
    bool isOpen() const { return m_state != State::Inactive; }
    State state() const { return m_state; }

    virtual void first() = 0;
    virtual void last() = 0;
    virtual void next() = 0;
    virtual void prior() = 0;
    // Moves to the row at `position` in the data set's order, 0 being the first, as a grid does
    // that shows rows far apart. Past the last row the cursor stands at the end, eof() set.
    // This default walks from the first row; data sets that can do better do.
    virtual void seek(int position);
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    bool isEmpty() const { return m_empty; }
    virtual int recordCount() = 0;

    // Fields of the open data set, stored ones first, then the calculated ones.
    const QList<FieldInfo> &fields() const { return m_fields; }
    bool hasField(const QString &name) const { return fieldIndex(name) >= 0; }
    int fieldIndex(const QString &name) const; // -1 when absent
    FieldInfo &fieldInfo(const QString &name); // throws UnknownField

    QVariant value(const QString &name) const; // null when blank
    QVariant value(int index) const;
    bool isNull(const QString &name) const { return value(name).isNull(); }
    QString asString(const QString &name) const;
    int asInteger(const QString &name) const;
    bool asBoolean(const QString &name) const;
    QDateTime asDateTime(const QString &name) const;
    QDate asDate(const QString &name) const;

    // Writes need the Edit or Insert state (calculated fields: the handler's CalcFields state).
    // Text longer than an Alpha field is cut to the field size. A null QVariant blanks the field.
    void setValue(const QString &name, const QVariant &value);
    void setString(const QString &name, const QString &value) { setValue(name, value); }
    void setInteger(const QString &name, int value) { setValue(name, value); }
    void setBoolean(const QString &name, bool value) { setValue(name, value); }
    void setDateTime(const QString &name, const QDateTime &value) { setValue(name, value); }
    void setNull(const QString &name) { setValue(name, QVariant()); }

    // Calculated fields: declare them while closed; the handler runs for every row read.
    void addCalculatedField(const QString &name, FieldType type, int size = 0);
    using CalcHandler = std::function<void(DataSet &)>;
    void setCalcFieldsHandler(CalcHandler handler) { m_calcHandler = std::move(handler); }

    // Converts a value to the form a field of `type` holds (cuts text to `size`).
    static QVariant coerce(FieldType type, int size, const QVariant &value);

Q_SIGNALS:
    void opened();
    void closed();
    void scrolled();        // the current row changed (also after open, post, delete)
    void stateChanged();
    void fieldChanged(const QString &name);
    void posted();

protected:
    // Subclasses open their source and call setStructure(); close releases it.
    virtual void doOpen() = 0;
    virtual void doClose() = 0;

    void setStructure(const QList<FieldInfo> &storedFields);
    int storedFieldCount() const { return m_storedCount; }

    // The current row's stored values (calculated ones are filled by loadRow()).
    void loadRow(const QVariantList &storedValues);
    void clearRow();
    QVariantList storedValues() const { return m_values.mid(0, m_storedCount); }
    QVariantList &buffer() { return m_values; }
    void setPosition(bool bof, bool eof, bool empty);
    void setState(State state);
    void ensureOpen() const;
    bool isModified(int index) const { return m_modified.value(index); }
    void clearModified();

private:
    QString m_databaseName;
    State m_state = State::Inactive;
    State m_stateBeforeCalc = State::Inactive;
    QList<FieldInfo> m_fields;
    QList<FieldInfo> m_calcFields; // declared while closed
    int m_storedCount = 0;
    QVariantList m_values;
    QList<bool> m_modified;
    bool m_bof = true;
    bool m_eof = true;
    bool m_empty = true;
    CalcHandler m_calcHandler;
};

// A data set held in memory: the rows of a query result or of a lock list, read once at open.
class MemoryDataSet : public DataSet
{
    Q_OBJECT

public:
    explicit MemoryDataSet(QObject *parent = nullptr);

    // For data sets filled by their owner: the fields and rows that open() will show.
    void setContent(const QList<FieldInfo> &fields, const QList<QVariantList> &rows);

    void first() override;
    void last() override;
    void next() override;
    void prior() override;
    void seek(int position) override;
    int recordCount() override;
    int currentRow() const { return m_row; }

protected:
    void doOpen() override;
    void doClose() override;
    // Fills m_pendingFields and m_pendingRows; the default keeps what setContent() gave.
    virtual void fetch() {}

    QList<FieldInfo> m_pendingFields;
    QList<QVariantList> m_pendingRows;

private:
    void moveTo(int row);

    QList<QVariantList> m_rows;
    int m_row = -1;
};

} // namespace dbe
