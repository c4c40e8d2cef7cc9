#pragma once

#include "ui/datasetmodel.h"

#include <QHash>

namespace dbe {
class Table;
}

// The grid model of View Log. A short log is counted and read by position as any grid's is.
// A long one (a busy site writes millions of entries a year) is neither counted nor skipped
// through: its rows are numbered by the engine's numbering of the entries (the first entry's
// number is row 0, the last one's the last row), which follows the time order of the log's
// index wherever the log was written one entry after another, and each block of rows is read
// by key on the index:
//   - the first and the last block from the log's two ends,
//   - a block beside one already read as the rows that follow (or precede) it in the index,
//     so that scrolling shows every entry, one after the other,
//   - any other block from the entry numbered as its first row.
// Opening at the newest entry, Ctrl+Home/End and a drag of the scroll thumb then read a few
// dozen rows by key, at twenty million entries as at a thousand. Where entries were deleted
// from the middle of the log or written out of time order (a workstation's clock behind), the
// rows are placed by their numbers only approximately: a block reached by a jump may then
// repeat or leave out a few entries beside blocks read before, and the rows beyond the log's
// end stay blank.
class LogGridModel : public ui::DataSetModel
{
    Q_OBJECT

public:
    // Logs with fewer entries are counted and read by position, exactly.
    static constexpr int DefaultExactBelow = 20000;

    explicit LogGridModel(QObject *parent = nullptr);

    void setExactBelow(int entries) { m_exactBelow = entries; }
    bool readByKey() const { return m_byKey; }

    // Places the log's current entry at its row, reading the block around it by key, and
    // answers that row: how a search shows the entry it found.
    int placeCurrentEntry();

protected:
    int countRows() override;
    QList<QVariantList> readBlock(int block) const override;

private:
    // Entries read one after another in the index, in the grid's order, with the index keys
    // of the first and the last.
    struct Stretch {
        QList<QVariantList> rows;
        QVariantList firstKey;
        QVariantList lastKey;
    };
    struct Pin {
        int row = -1;
        QVariantList key;
    };
    dbe::Table *log() const;
    QVariantList currentKey() const;
    // Up to `count` entries from the cursor's entry on, forwards or backwards.
    Stretch walk(int count, bool forward) const;
    // Puts the cursor on the entry next to `key` in the index, after it or before it; false
    // when there is none.
    bool standBeside(const QVariantList &key, bool after) const;
    QList<QVariantList> readPinned(int block, int count) const;
    // The engine's number of the cursor's entry.
    qint64 currentNumber() const;
    // The last `count` entries of the log.
    Stretch readEnd(int count) const;

    int m_exactBelow = DefaultExactBelow;
    bool m_byKey = false;
    qint64 m_firstNumber = 0;
    Pin m_pin;
    // The edges of the blocks read so far; the rows themselves may have been dropped since.
    mutable QHash<int, Stretch> m_edges;
};
