#include "ui/datasetmodel.h"

#include "intl/shortdate.h"

#include "dbe/dataset.h"
#include "dbe/error.h"
#include "ui/engineerror.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLocale>
#include <QTableView>

namespace ui {

DataSetModel::DataSetModel(QObject *parent) : QAbstractTableModel(parent) {}

void DataSetModel::setDataSet(dbe::DataSet *dataSet)
{
    if (m_dataSet)
        disconnect(m_dataSet, nullptr, this, nullptr);
    m_dataSet = dataSet;
    if (m_dataSet)
        connect(m_dataSet, &dbe::DataSet::closed, this, &DataSetModel::clear);
    reload();
}

void DataSetModel::clear()
{
    beginResetModel();
    m_columns.clear();
    m_columnFieldIndex.clear();
    m_rowCount = 0;
    m_blocks.clear();
    m_blocksByUse.clear();
    m_rowsRead = 0;
    m_readFailed = false;
    m_currentRow = -1;
    endResetModel();
}

void DataSetModel::reload()
{
    beginResetModel();
    m_columns.clear();
    m_columnFieldIndex.clear();
    m_rowCount = 0;
    m_blocks.clear();
    m_blocksByUse.clear();
    m_rowsRead = 0;
    m_readFailed = false;
    m_currentRow = -1;
    if (m_dataSet && m_dataSet->isOpen()) {
        const QList<dbe::FieldInfo> &fields = m_dataSet->fields();
        QList<int> order;
        if (m_columnOrder.isEmpty()) {
            for (int i = 0; i < fields.size(); ++i)
                order.append(i);
        } else {
            for (const QString &name : std::as_const(m_columnOrder))
                order.append(m_dataSet->fieldIndex(name));
        }
        for (int i : std::as_const(order)) {
            if (i >= 0 && fields.at(i).visible) {
                m_columns.append(fields.at(i));
                m_columnFieldIndex.append(i);
            }
        }
        m_rowCount = countRows();
        // Leave the cursor where a grid starts: on the first row.
        m_dataSet->first();
        if (m_rowCount > 0)
            m_currentRow = 0;
    }
    endResetModel();
}

int DataSetModel::countRows()
{
    return m_dataSet->recordCount();
}

QVariantList DataSetModel::currentValues() const
{
    QVariantList values;
    values.reserve(m_columnFieldIndex.size());
    for (int fieldIndex : std::as_const(m_columnFieldIndex))
        values.append(m_dataSet->value(fieldIndex));
    return values;
}

QList<QVariantList> DataSetModel::readBlock(int block) const
{
    const int first = block * BlockRows;
    const int count = std::min(BlockRows, m_rowCount - first);
    QList<QVariantList> rows;
    rows.reserve(count);
    m_dataSet->seek(first);
    for (int i = 0; i < count && !m_dataSet->eof(); ++i) {
        rows.append(currentValues());
        // No move past the block's last row: it would read the next block's rows for nothing.
        if (i + 1 < count)
            m_dataSet->next();
    }
    return rows;
}

const QVariantList *DataSetModel::row(int row) const
{
    const int block = row / BlockRows;
    auto found = m_blocks.find(block);
    if (found == m_blocks.end()) {
        if (m_readFailed || !m_dataSet || !m_dataSet->isOpen())
            return nullptr;
        QList<QVariantList> rows;
        try {
            rows = readBlock(block);
        } catch (const dbe::Error &error) {
            // The grid asks while it paints, where no message box may open: the failure is
            // passed on from the event loop, once, and the rest of the grid stays blank.
            m_readFailed = true;
            qCWarning(lcUi).noquote() << "reading rows for a grid failed:" << error.text();
            auto *self = const_cast<DataSetModel *>(this);
            QMetaObject::invokeMethod(
                self, [self, error] { Q_EMIT self->readFailed(error); }, Qt::QueuedConnection);
            return nullptr;
        }
        m_rowsRead += int(rows.size());
        if (m_blocks.size() >= KeptBlocks)
            m_blocks.remove(m_blocksByUse.takeFirst());
        found = m_blocks.insert(block, rows);
    } else {
        m_blocksByUse.removeOne(block);
    }
    m_blocksByUse.append(block);
    const int offset = row - block * BlockRows;
    return offset < found->size() ? &found->at(offset) : nullptr;
}

void DataSetModel::setCurrentRow(int row)
{
    if (row == m_currentRow)
        return;
    const int previous = m_currentRow;
    m_currentRow = row;
    if (previous >= 0)
        Q_EMIT headerDataChanged(Qt::Vertical, previous, previous);
    if (row >= 0)
        Q_EMIT headerDataChanged(Qt::Vertical, row, row);
}

int DataSetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int DataSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QString DataSetModel::displayText(dbe::FieldType type, const QVariant &value)
{
    if (value.isNull())
        return {};
    switch (type) {
    case dbe::FieldType::Timestamp:
    case dbe::FieldType::Date: {
        // The one format of dates in the kit, as the date edits and the reports show them. Read
        // once: a grid asks for every cell it paints.
        static const controls::ShortDateFormat shortDate = controls::ShortDateFormat::current();
        return shortDate.formatValue(type == dbe::FieldType::Date ? QVariant(value.toDate())
                                                                   : QVariant(value.toDateTime()));
    }
    case dbe::FieldType::Logical:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return value.toString();
    }
}

QVariant DataSetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rowCount || index.column() >= m_columns.size())
        return {};
    const dbe::FieldInfo &field = m_columns.at(index.column());
    switch (role) {
    case Qt::DisplayRole: {
        const QVariantList *values = row(index.row());
        return values && index.column() < values->size()
                   ? displayText(field.type, values->at(index.column()))
                   : QString();
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(field.alignment | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        // The row indicator: an arrow beside the current row, nothing beside the others.
        if (role == Qt::DisplayRole)
            return section == m_currentRow ? QStringLiteral("\u25B6") : QString();
        return {};
    }
    if (section < 0 || section >= m_columns.size())
        return {};
    const dbe::FieldInfo &field = m_columns.at(section);
    if (role == Qt::DisplayRole)
        return field.displayLabel.isEmpty() ? field.name : field.displayLabel;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(field.alignment | Qt::AlignVCenter);
    return {};
}

namespace {

// Room for a cell's margins and the grid line on top of its characters.
constexpr int CellPadding = 8;

} // namespace

void applyColumnWidths(QTableView *view, const DataSetModel &model)
{
    const QFontMetrics cellMetrics = view->fontMetrics();
    const QFontMetrics titleMetrics = view->horizontalHeader()->fontMetrics();
    const int padding = CellPadding;
    for (int column = 0; column < model.columnCount(); ++column) {
        const int characters = model.columnField(column).displayWidth;
        if (characters <= 0)
            continue;
        // A title wider than the field's characters widens the column, so it is never cut.
        const QString title = model.headerData(column, Qt::Horizontal).toString();
        const int width = std::max(characters * cellMetrics.averageCharWidth(),
                                   titleMetrics.horizontalAdvance(title)) +
                          padding;
        view->setColumnWidth(column, width);
    }
}

void widenColumnToFit(QTableView *view, int column, const QString &text)
{
    const int width = view->fontMetrics().horizontalAdvance(text) + CellPadding;
    if (width > view->columnWidth(column))
        view->setColumnWidth(column, width);
}

} // namespace ui
