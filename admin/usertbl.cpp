#include "admin/usertbl.h"

#include "dbe/error.h"
#include "dbe/table.h"

TLocksTable::TLocksTable(QObject *parent) : dbe::MemoryDataSet(parent) {}

void TLocksTable::fetch()
{
    if (!SourceCursor)
        throw dbe::Error(QStringLiteral("No table to list the locks of."), dbe::Error::NotOpen);
    const std::unique_ptr<dbe::DataSet> locks = SourceCursor->lockList();
    locks->open();
    m_pendingFields.clear();
    m_pendingRows.clear();
    const int fieldCount = int(locks->fields().size());
    for (const dbe::FieldInfo &field : locks->fields())
        m_pendingFields.append(field);
    for (locks->first(); !locks->eof(); locks->next()) {
        QVariantList row;
        for (int i = 0; i < fieldCount; ++i)
            row.append(locks->value(i));
        m_pendingRows.append(row);
    }
    locks->close();
}
