#include "dbe/fileaccess.h"

#include "dbe/error.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dbe {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The umask read without changing it: setting it to learn it would let a file that another
// thread creates in between come out writable for everybody.
std::optional<mode_t> umaskFromProc()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (!line.startsWith("Umask:"))
            continue;
        bool ok = false;
        const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
        if (ok)
            return mode_t(mask);
    }
    return std::nullopt;
}

QString fileKind(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a pipe (FIFO)");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a special file");
}

} // namespace

mode_t creationMode()
{
    std::optional<mode_t> mask = umaskFromProc();
    if (!mask) {
        const mode_t current = ::umask(022);
        ::umask(current);
        mask = current;
    }
    return 0666 & ~*mask;
}

mode_t permissionsOf(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) == 0)
        return info.st_mode & 0666;
    return creationMode();
}

QString openRegularFile(QFile &file, QIODevice::OpenMode mode)
{
    const int access = !(mode & QIODevice::WriteOnly)  ? O_RDONLY
                       : !(mode & QIODevice::ReadOnly) ? O_WRONLY
                                                       : O_RDWR;
    // Without O_NONBLOCK the open of a pipe waits for a writer. The kind is checked on what
    // was opened, so nothing can be put in the file's place between the check and the open.
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(),
                          access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return systemError(errno);
    struct stat info;
    QString refused;
    if (::fstat(fd, &info) != 0)
        refused = systemError(errno);
    else if (!S_ISREG(info.st_mode))
        refused = QStringLiteral("it is %1, not a regular file").arg(fileKind(info.st_mode));
    else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        refused = systemError(errno);
    else if (!file.open(fd, mode, QFileDevice::AutoCloseHandle))
        refused = file.errorString();
    if (!refused.isEmpty())
        ::close(fd);
    return refused;
}

ExclusiveFileLock::ExclusiveFileLock(const QString &path, int timeoutMs)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0)
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        throw Error(QStringLiteral("Cannot lock %1: %2").arg(path, systemError(errno)), Error::Io);
    QElapsedTimer waited;
    waited.start();
    while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error != EWOULDBLOCK || waited.elapsed() >= timeoutMs) {
            ::close(m_fd);
            if (error == EWOULDBLOCK)
                throw Error(QStringLiteral("%1 is locked by another program.").arg(path),
                            Error::Locked);
            throw Error(QStringLiteral("Cannot lock %1: %2").arg(path, systemError(error)),
                        Error::Io);
        }
        QThread::msleep(5);
    }
}

ExclusiveFileLock::~ExclusiveFileLock()
{
    ::close(m_fd);
}

} // namespace dbe
