#pragma once

#include "dbe/table.h"

namespace security {

// A table of the security database opened for one operation of the rules. Opened before the
// operation's transaction starts, as the engine requires, and closed (its lock released) when
// the operation ends.
class Cursor : public dbe::Table
{
public:
    Cursor(const QString &databaseName, const QString &table, const QString &index = {})
    {
        setDatabaseName(databaseName);
        setTableName(table);
        setIndexName(index);
        open();
    }
};

} // namespace security
