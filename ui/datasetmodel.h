#pragma once

#include "dbe/types.h"

#include <QAbstractTableModel>
#include <QPointer>

class QTableView;

namespace dbe {
class DataSet;
}

namespace ui {

// A read-only grid model over a data set. reload() reads every row once (calculated fields
// included) and leaves the data set on its first row; the columns are the visible fields,
// titled, aligned and sized as their FieldInfo says. Closing the data set empties the model.
class DataSetModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit DataSetModel(QObject *parent = nullptr);

    void setDataSet(dbe::DataSet *dataSet);
    dbe::DataSet *dataSet() const { return m_dataSet; }

    // Reads the rows again; call after opening the data set and adjusting its fields.
    void reload();

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

private:
    void clear();

    QPointer<dbe::DataSet> m_dataSet;
    QStringList m_columnOrder;
    QList<dbe::FieldInfo> m_columns;
    QList<int> m_columnFieldIndex;
    QList<QVariantList> m_rows;
    int m_currentRow = -1;
};

// Gives each column of `view` the width its field asks for, in characters of the view's font.
void applyColumnWidths(QTableView *view, const DataSetModel &model);

} // namespace ui
