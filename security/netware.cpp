#include "security/netware.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <dlfcn.h>

namespace security {

namespace {

// The client's two entry points. Connection handles and result codes are 16 bits wide, as in
// the client's own interface; a result of 0 means success.
using GetPrimaryConnectionId = quint16 (*)(quint16 *connection);
using GetConnectionStatus = quint16 (*)(quint16 connection, void *buffer, quint16 bufferSize);

constexpr quint16 StatusBufferSize = 120;
constexpr int UserNameOffset = 72;

// Unloads the library however the lookup ends.
class LoadedLibrary
{
public:
    explicit LoadedLibrary(const QString &path)
        : m_handle(dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL))
    {
    }
    ~LoadedLibrary()
    {
        if (m_handle)
            dlclose(m_handle);
    }
    LoadedLibrary(const LoadedLibrary &) = delete;
    LoadedLibrary &operator=(const LoadedLibrary &) = delete;

    bool isLoaded() const { return m_handle != nullptr; }
    template <typename Function> Function resolve(const char *name) const
    {
        return reinterpret_cast<Function>(dlsym(m_handle, name));
    }

private:
    void *m_handle;
};

QString multiarchTriplet()
{
#if defined(__x86_64__)
    return QStringLiteral("x86_64-linux-gnu");
#elif defined(__aarch64__)
    return QStringLiteral("aarch64-linux-gnu");
#elif defined(__i386__)
    return QStringLiteral("i386-linux-gnu");
#elif defined(__arm__)
    return QStringLiteral("arm-linux-gnueabihf");
#else
    return {};
#endif
}

} // namespace

// The Linux client would ship as an ordinary shared library; "libnwcalls.so" keeps the name
// the Windows client's NWCALLS.DLL gave it, so an administrator knows what to install.
QString NetwareClient::libraryFileName()
{
    return QStringLiteral("libnwcalls.so");
}

// The Windows client was searched in the executable's folder, the Windows folder and the
// system folder. Here the executable's folder comes first as well, then the folders the
// dynamic loader itself would look in, local installations before the distribution's.
QStringList NetwareClient::defaultSearchPath()
{
    QStringList path;
    if (QCoreApplication::instance())
        path << QCoreApplication::applicationDirPath();
    const QString triplet = multiarchTriplet();
    path << QStringLiteral("/usr/local/lib");
    if (!triplet.isEmpty())
        path << QStringLiteral("/usr/lib/") + triplet;
    path << QStringLiteral("/usr/lib");
    if (!triplet.isEmpty())
        path << QStringLiteral("/lib/") + triplet;
    path << QStringLiteral("/lib");
    return path;
}

QString NetwareClient::findLibrary(const QStringList &searchPath)
{
    for (const QString &folder : searchPath) {
        const QFileInfo candidate(QDir(folder), libraryFileName());
        if (candidate.isFile())
            return candidate.absoluteFilePath();
    }
    return {};
}

QString NetwareClient::primaryConnectionUserName(const QStringList &searchPath)
{
    const QString path = findLibrary(searchPath);
    if (path.isEmpty())
        return {};
    // Loaded by the path the search found, not by the bare name: the dynamic loader would not
    // look in the executable's folder, which the search covers first.
    const LoadedLibrary library(path);
    if (!library.isLoaded())
        return {};
    const auto primaryConnectionId =
        library.resolve<GetPrimaryConnectionId>("NWGETPRIMARYCONNECTIONID");
    const auto connectionStatus = library.resolve<GetConnectionStatus>("NWGETCONNECTIONSTATUS");
    if (!primaryConnectionId || !connectionStatus)
        return {};

    quint16 connection = 0;
    if (primaryConnectionId(&connection) != 0)
        return {};
    char buffer[StatusBufferSize] = {};
    if (connectionStatus(connection, buffer, StatusBufferSize) != 0)
        return {};
    // A client that fills the name field to its end leaves no terminator; stop at the buffer.
    const char *name = buffer + UserNameOffset;
    const size_t length = strnlen(name, StatusBufferSize - UserNameOffset);
    return QString::fromLocal8Bit(name, qsizetype(length));
}

} // namespace security
