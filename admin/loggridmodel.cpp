#include "admin/loggridmodel.h"

#include "dbe/table.h"

#include <algorithm>
#include <climits>

namespace {

// Entries counted at most to tell a short log from a long one.
constexpr int SurelyLong = 2000;
// Edges kept at most; a long session of jumps starts afresh rather than grow without end.
constexpr int KeptEdges = 100000;

QList<QVariantList> blanks(qsizetype count)
{
    return QList<QVariantList>(std::max<qsizetype>(count, 0));
}

} // namespace

LogGridModel::LogGridModel(QObject *parent) : ui::DataSetModel(parent) {}

dbe::Table *LogGridModel::log() const
{
    return qobject_cast<dbe::Table *>(dataSet());
}

QVariantList LogGridModel::currentKey() const
{
    QVariantList key;
    for (const QString &field : log()->indexFields())
        key.append(log()->value(field));
    return key;
}

int LogGridModel::countRows()
{
    m_edges.clear();
    m_pin = {};
    m_byKey = false;
    dbe::Table *table = log();
    if (!table)
        return DataSetModel::countRows();
    // A log whose numbers span fewer entries than the limit holds fewer: it is counted. One
    // that spans more is counted up to a few thousand only, which tells a log thinned out by
    // deletions (shown counted) from a long one.
    const auto numbers = table->autoIncRange();
    if (!numbers)
        return 0;
    if (numbers->second - numbers->first + 1 < m_exactBelow)
        return DataSetModel::countRows();
    if (const int few = table->countUpTo(SurelyLong); few < SurelyLong && few < m_exactBelow)
        return few;
    m_byKey = true;
    m_firstNumber = numbers->first;
    return int(std::min<qint64>(INT_MAX, numbers->second - numbers->first + 1));
}

LogGridModel::Stretch LogGridModel::walk(int count, bool forward) const
{
    Stretch stretch;
    dbe::Table *table = log();
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            forward ? table->next() : table->prior();
            if (forward ? table->eof() : table->bof())
                break;
        }
        const QVariantList key = currentKey();
        if (forward) {
            stretch.rows.append(currentValues());
            if (i == 0)
                stretch.firstKey = key;
            stretch.lastKey = key;
        } else {
            stretch.rows.prepend(currentValues());
            if (i == 0)
                stretch.lastKey = key;
            stretch.firstKey = key;
        }
    }
    return stretch;
}

bool LogGridModel::standBeside(const QVariantList &key, bool after) const
{
    dbe::Table *table = log();
    // The entry itself, or the one that took its place in the order when it was deleted.
    if (!table->findNearest(key)) {
        if (after)
            return false;
        table->last(); // every entry lies before the key
        return !table->isEmpty();
    }
    if (after) {
        if (currentKey() != key)
            return true;
        table->next();
        return !table->eof();
    }
    table->prior();
    return !table->bof();
}

qint64 LogGridModel::currentNumber() const
{
    for (const dbe::FieldInfo &field : log()->fields()) {
        if (field.type == dbe::FieldType::AutoInc)
            return log()->value(field.name).toLongLong();
    }
    return -1;
}

LogGridModel::Stretch LogGridModel::readEnd(int count) const
{
    dbe::Table *table = log();
    table->last();
    if (table->isEmpty())
        return {};
    // A walk backwards reads entry by entry, a round trip each on a server; one forwards reads
    // ahead in batches. Started at the entry numbered count - 1 before the last, it ends on the
    // last entry wherever the log's tail was written in order and nothing was deleted from it;
    // where it does not, the tail is read backwards after all.
    const QVariantList endKey = currentKey();
    if (table->findAutoInc(currentNumber() - count + 1)) {
        Stretch forward = walk(count, true);
        if (forward.rows.size() == count && forward.lastKey == endKey)
            return forward;
    }
    table->last();
    return walk(count, false);
}

QList<QVariantList> LogGridModel::readPinned(int block, int count) const
{
    dbe::Table *table = log();
    const int before = m_pin.row - block * BlockRows;
    if (!table->findNearest(m_pin.key))
        return blanks(count);
    Stretch head = walk(before + 1, false);
    Stretch tail;
    if (standBeside(head.lastKey, true))
        tail = walk(count - before - 1, true);
    QList<QVariantList> rows = blanks(before + 1 - head.rows.size());
    rows += head.rows;
    rows += tail.rows;
    rows += blanks(count - rows.size());
    m_edges.insert(block, {{}, head.firstKey, tail.rows.isEmpty() ? head.lastKey : tail.lastKey});
    return rows;
}

QList<QVariantList> LogGridModel::readBlock(int block) const
{
    if (!m_byKey)
        return DataSetModel::readBlock(block);
    dbe::Table *table = log();
    const int count = std::min(BlockRows, rowCount() - block * BlockRows);
    const int lastBlock = (rowCount() - 1) / BlockRows;
    if (m_edges.size() > KeptEdges)
        m_edges.clear();
    if (m_pin.row >= 0 && m_pin.row / BlockRows == block)
        return readPinned(block, count);

    Stretch stretch;
    bool fromEnd = false;
    const auto previous = m_edges.constFind(block - 1);
    const auto following = m_edges.constFind(block + 1);
    if (block == 0) {
        table->first();
        if (!table->isEmpty())
            stretch = walk(count, true);
    } else if (block == lastBlock) {
        // The newest entries always come from the log's end, whatever was read before them.
        fromEnd = true;
        stretch = readEnd(count);
    } else if (previous != m_edges.constEnd()) {
        if (standBeside(previous->lastKey, true))
            stretch = walk(count, true);
    } else if (following != m_edges.constEnd()) {
        fromEnd = true;
        if (standBeside(following->firstKey, false))
            stretch = walk(count, false);
    } else if (table->findAutoInc(m_firstNumber + qint64(block) * BlockRows)) {
        stretch = walk(count, true);
    }
    if (!stretch.rows.isEmpty())
        m_edges.insert(block, {{}, stretch.firstKey, stretch.lastKey});
    const qsizetype missing = count - stretch.rows.size();
    if (fromEnd)
        return blanks(missing) + stretch.rows;
    return stretch.rows + blanks(missing);
}

int LogGridModel::placeCurrentEntry()
{
    dbe::Table *table = log();
    if (!table || !table->isOpen() || table->isEmpty())
        return -1;
    const QVariantList key = currentKey();
    const qint64 number = currentNumber();
    reload();
    if (rowCount() == 0)
        return -1;
    if (!m_byKey) {
        // A short log: the entries up to this one, counted.
        table->setRange({}, key);
        const int row = table->recordCount() - 1;
        table->cancelRange();
        return std::clamp(row, 0, rowCount() - 1);
    }
    m_pin = {int(std::clamp<qint64>(number - m_firstNumber, 0, rowCount() - 1)), key};
    return m_pin.row;
}
