#pragma once

#include "dbe/backend.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace dbe {

// Table locks shared between processes through advisory file locks beside the table file, so
// they also hold across workstations sharing a directory.
//
// Every user of a table holds a shared lock on ".<file>.lock"; an exclusive user holds it
// exclusively, which fails at once while anybody else has the table. Besides, each user keeps a
// locked marker file ".<file>.lck-<user>-<pid>-<n>" whose name carries the owner's user name:
// the lock list reads those names back, and a marker nobody holds any more is stale and removed.
class FileTableLocks
{
public:
    // Throws Locked when the table cannot be had in the wanted mode.
    static std::unique_ptr<TableLock> acquire(const QString &directory, const QString &fileName,
                                              bool exclusive, const QString &userName);
    static QStringList holders(const QString &directory, const QString &fileName);
};

} // namespace dbe
