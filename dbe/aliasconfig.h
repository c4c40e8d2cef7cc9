#pragma once

#include "dbe/session.h"

#include <QList>
#include <QString>

namespace dbe {

// The engine's configuration file: one INI section per alias with its TYPE, PATH and
// DEFAULT DRIVER. Kept as plain text so that an administrator can read and mend it.
class AliasConfig
{
public:
    // The file named by VESK_DBE_CONFIG, else dbe.ini in the user's VeskSecure config folder.
    static QString defaultPath();

    static QList<AliasInfo> read(const QString &path);
    // Writes `aliases` over the ones of the same name in the file and keeps the others, so that
    // two programs saving at once lose nothing of each other's. Throws Io.
    static void merge(const QString &path, const QList<AliasInfo> &aliases);
    static void remove(const QString &path, const QString &name);

private:
    static void write(const QString &path, const QList<AliasInfo> &aliases);
};

} // namespace dbe
