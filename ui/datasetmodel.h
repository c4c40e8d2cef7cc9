#pragma once

#include "dbe/types.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QPointer>

class QTableView;

namespace dbe {
class DataSet;
class Error;
} // namespace dbe

namespace ui {

// A read-only grid model over a data set. The columns are the visible fields, titled, aligned
// and sized as their FieldInfo says. Closing the data set empties the model.
//
// reload() counts the rows; the rows themselves are read through the data set (calculated
// fields included) a block at a time when the grid first asks for one of them, and only the
// blocks used last are kept. A log of a hundred thousand entries then opens as fast as a short
// one and takes as little memory. Reading moves the data set's cursor, as a grid moves it over
// the rows it shows: a window must not rely on where the cursor of a grid's data set stands.
// The rows are counted at reload(); rows other programs add later show at the next reload(),
// and one added among those counted (a log entry from a workstation whose clock is behind)
// shifts the rows after it by one in blocks read afterwards, until then.
class DataSetModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // Rows read with one move of the data set's cursor, and the blocks kept.
    static constexpr int BlockRows = 64;
    static constexpr int KeptBlocks = 32;

    explicit DataSetModel(QObject *parent = nullptr);

    void setDataSet(dbe::DataSet *dataSet);
    dbe::DataSet *dataSet() const { return m_dataSet; }

    // Counts the rows again and forgets those read; call after opening the data set and
    // adjusting its fields. Leaves the data set on its first row.
    void reload();

    // How many rows have been read from the data set since the last reload().
    int rowsRead() const { return m_rowsRead; }

    // The fields shown, by name, left to right; empty (the default) shows the visible fields in
    // the data set's order. Invisible fields stay hidden either way.
    void setColumnOrder(const QStringList &fieldNames) { m_columnOrder = fieldNames; }

    // The row the grid's indicator points at (-1: none).
    void setCurrentRow(int row);
    int currentRow() const { return m_currentRow; }

    const dbe::FieldInfo &columnField(int column) const { return m_columns.at(column); }
    // The column that shows this field; -1 when none does.
    int columnOf(const QString &fieldName) const
    {
        for (qsizetype column = 0; column < m_columns.size(); ++column) {
            if (m_columns.at(column).name.compare(fieldName, Qt::CaseInsensitive) == 0)
                return int(column);
        }
        return -1;
    }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The text a grid shows for a value of a field of this type.
    static QString displayText(dbe::FieldType type, const QVariant &value);

Q_SIGNALS:
    // Reading rows failed; the cells left unread stay blank until the next reload(). Emitted
    // from the event loop, never while the grid paints, so a window may show the error at once.
    void readFailed(const dbe::Error &error);

protected:
    // How many rows reload() gives the grid; by default the data set's count.
    virtual int countRows();
    // Reads the rows of one block (an empty list stands for a row left blank). By default the
    // data set is moved to the block's first row by position and walked from there.
    virtual QList<QVariantList> readBlock(int block) const;
    // The shown fields' values of the data set's current row.
    QVariantList currentValues() const;

private:
    void clear();
    // The values of one row, read with its block when not in memory; null when unreadable.
    const QVariantList *row(int row) const;

    QPointer<dbe::DataSet> m_dataSet;
    QStringList m_columnOrder;
    QList<dbe::FieldInfo> m_columns;
    QList<int> m_columnFieldIndex;
    int m_rowCount = 0;
    int m_currentRow = -1;
    // Rows are read as the grid paints, through const functions.
    mutable QHash<int, QList<QVariantList>> m_blocks;
    mutable QList<int> m_blocksByUse; // least recently used first
    mutable int m_rowsRead = 0;
    mutable bool m_readFailed = false;
};

// Gives each column of `view` the width its field asks for, in characters of the view's font.
void applyColumnWidths(QTableView *view, const DataSetModel &model);
// Widens a column of `view`, when need be, so that `text` fits in its cells.
void widenColumnToFit(QTableView *view, int column, const QString &text);

} // namespace ui
