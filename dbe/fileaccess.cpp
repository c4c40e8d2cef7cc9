#include "dbe/fileaccess.h"

#include "dbe/error.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
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

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
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

void replaceFileAtomically(const QString &path, const QByteArray &bytes)
{
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary = target + ".XXXXXX";
    const auto fail = [&](const QString &what, int error) {
        throw Error(QStringLiteral("Cannot write %1: %2 (%3)").arg(path, what, systemError(error)),
                    Error::Io);
    };
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        fail(QStringLiteral("no temporary file"), errno);

    struct stat old;
    const bool existed = ::stat(target.constData(), &old) == 0;
    const mode_t mode = existed ? (old.st_mode & 0777) : creationMode();
    if (existed && ::fchown(fd, uid_t(-1), old.st_gid) != 0) {
        // Only the group's owner or root may hand the file on; the file stays the writer's.
    }
    if (!writeAll(fd, bytes) || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(temporary.constData());
        fail(QStringLiteral("writing failed"), error);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        fail(QStringLiteral("writing failed"), error);
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        fail(QStringLiteral("cannot replace the file"), error);
    }
    // The rename itself lives in the directory: flushed, it survives a crash too.
    const QByteArray directory = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dirFd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
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
