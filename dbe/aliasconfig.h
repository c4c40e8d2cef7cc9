#pragma once

#include "dbe/aliasinfo.h"

#include <QList>
#include <QString>

namespace dbe {

// The engine's configuration file, shared by every program of the user (or of a site, when
// VESK_DBE_CONFIG names a shared file). Changes are made under a lock that every writer takes,
// on the file as it is at that moment, and land in one atomic replacement; so programs saving
// at once lose nothing of each other's, and a crash leaves the old file or the new one.
class AliasConfig
{
public:
    // The file named by VESK_DBE_CONFIG, else dbe.ini in the user's VeskSecure config folder.
    static QString defaultPath();

    static QList<AliasInfo> read(const QString &path);
    // Adds the aliases to the file and answers every alias the file then holds. An alias the
    // file already names (another program may have added it meanwhile) is left as it is when it
    // names the same place, and refused with DuplicateAlias when it names another: nothing is
    // written then. Throws InvalidName, Io, Locked.
    static QList<AliasInfo> add(const QString &path, const QList<AliasInfo> &aliases);
    // Removes the alias from the file and answers the aliases left.
    static QList<AliasInfo> remove(const QString &path, const QString &name);
};

} // namespace dbe
