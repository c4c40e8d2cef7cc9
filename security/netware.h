#pragma once

#include <QString>
#include <QStringList>

namespace security {

// The user name of the workstation's primary NetWare connection, read through the NetWare
// client library when one is installed. The library is optional: without it, or without a
// primary connection, the name is empty.
class NetwareClient
{
public:
    // The file name the client library is searched under.
    static QString libraryFileName();

    // Where the library is searched, in order: the executable's folder, then the system
    // library folders.
    static QStringList defaultSearchPath();

    // The first folder of `searchPath` that holds the library, as a full file path; empty
    // when none does.
    static QString findLibrary(const QStringList &searchPath);

    // The primary connection's user name, or empty when the library is absent, does not load,
    // lacks one of its two entry points, or reports no connection.
    static QString primaryConnectionUserName(const QStringList &searchPath = defaultSearchPath());
};

} // namespace security
