#include "admin/databasenames.h"

#include "dbe/aliasconfig.h"
#include "dbe/session.h"

QStringList KnownDatabaseNames()
{
    dbe::Session &session = dbe::Session::instance();
    QStringList known = session.aliasNames();
    // Aliases another program saved since the desktop started (a vesksec create, another
    // desktop) are offered too, read from the configuration file as it is now.
    try {
        for (const dbe::AliasInfo &saved : dbe::AliasConfig::read(session.configFile()))
            known.append(saved.name);
    } catch (const std::exception &) {
        // A file that cannot be read now offers what the session knows.
    }
    QStringList names;
    for (const QString &name : std::as_const(known)) {
        // A database opened by its directory is no alias to offer; "/" marks such a path here
        // as ":" and "\" did where drive letters exist.
        const bool isPath = name.contains(QLatin1Char(':')) || name.contains(QLatin1Char('\\')) ||
                            name.contains(QLatin1Char('/'));
        if (!name.isEmpty() && !isPath && !names.contains(name, Qt::CaseInsensitive))
            names.append(name);
    }
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return names;
}
