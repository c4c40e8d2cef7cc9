#include "admin/databasenames.h"

#include "dbe/session.h"

QStringList KnownDatabaseNames()
{
    QStringList names;
    for (const QString &name : dbe::Session::instance().aliasNames()) {
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
