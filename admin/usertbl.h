#pragma once

#include "dbe/dataset.h"

namespace dbe {
class Table;
}

// The lock list of an open table as a data set: one row per lock, with the owner's network
// user name in "USERNAME". Opening it reads the list of `SourceCursor`'s table at that moment.
class TLocksTable : public dbe::MemoryDataSet
{
    Q_OBJECT

public:
    explicit TLocksTable(QObject *parent = nullptr);

    dbe::Table *SourceCursor = nullptr;

protected:
    void fetch() override;
};
