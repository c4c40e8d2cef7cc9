#include "dbe/safefilewriter.h"

#include "dbe/error.h"
#include "dbe/fileaccess.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace dbe {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The directory entry the rename replaces: the file a symbolic link names (a link to nothing
// yet is replaced itself), else the path as given.
QByteArray renameTarget(const QByteArray &path)
{
    struct stat entry;
    if (::lstat(path.constData(), &entry) != 0 || !S_ISLNK(entry.st_mode))
        return path;
    char *resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return path;
    QByteArray target(resolved);
    std::free(resolved);
    return target;
}

} // namespace

SafeFileWriter::SafeFileWriter(const QString &path) : m_path(path) {}

SafeFileWriter::~SafeFileWriter()
{
    discard();
}

bool SafeFileWriter::open(OpenMode mode)
{
    if (isOpen() || (mode & ReadOnly) || !(mode & WriteOnly)) {
        setErrorString(QStringLiteral("Cannot write %1: it can be opened once, for writing only.")
                           .arg(m_path));
        return false;
    }
    m_failed = m_path.isEmpty();
    if (m_failed) {
        setErrorString(QStringLiteral("Cannot write a file without a name."));
        return false;
    }
    const QByteArray path = QFile::encodeName(m_path);
    struct stat existing;
    const bool exists = ::stat(path.constData(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        // No rename can put a file in a device's or a pipe's place. (A folder refuses this
        // open, which says so.)
        m_fd = ::open(path.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (m_fd < 0)
            return fail(QString(), errno);
        return QIODevice::open(mode);
    }
    // A rename would replace a file its owner made read-only as readily as any other.
    if (exists && ::access(path.constData(), W_OK) != 0)
        return fail(QString(), errno);
    m_target = renameTarget(path);
    m_temporary = m_target + ".XXXXXX";
    m_fd = ::mkostemp(m_temporary.data(), O_CLOEXEC);
    if (m_fd < 0) {
        const int error = errno;
        m_temporary.clear();
        return fail(QStringLiteral("no temporary file can be made beside it"), error);
    }
    if (exists && ::fchown(m_fd, uid_t(-1), existing.st_gid) != 0) {
        // Only the group's members (and root) may hand the file on; it stays the writer's.
    }
    if (::fchmod(m_fd, exists ? (existing.st_mode & 0777) : creationMode()) != 0)
        return fail(QStringLiteral("its permissions cannot be kept"), errno);
    return QIODevice::open(mode);
}

qint64 SafeFileWriter::writeData(const char *data, qint64 size)
{
    if (m_failed || m_fd < 0)
        return -1;
    qint64 left = size;
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            fail(QString(), written < 0 ? errno : EIO);
            return -1;
        }
        data += written;
        left -= written;
    }
    return size;
}

qint64 SafeFileWriter::readData(char *, qint64)
{
    return -1;
}

bool SafeFileWriter::commit()
{
    struct CloseDevice {
        SafeFileWriter *writer;
        ~CloseDevice() { writer->QIODevice::close(); }
    } closeDevice{this};
    if (m_failed)
        return false;
    if (m_fd < 0) {
        setErrorString(QStringLiteral("Cannot write %1: it was not opened.").arg(m_path));
        return false;
    }
    if (m_temporary.isEmpty()) {
        // A device may report a failed write only when it is closed.
        if (::close(std::exchange(m_fd, -1)) != 0)
            return fail(QString(), errno);
        return true;
    }
    if (::fsync(m_fd) != 0)
        return fail(QStringLiteral("it cannot be flushed to the disk"), errno);
    if (::close(std::exchange(m_fd, -1)) != 0)
        return fail(QString(), errno);
    if (::rename(m_temporary.constData(), m_target.constData()) != 0)
        return fail(QStringLiteral("the old file cannot be replaced"), errno);
    m_temporary.clear();
    // The rename itself lives in the directory: flushed, it survives a crash too. A file
    // system that cannot flush a directory (EINVAL) has nothing to flush.
    const QByteArray directory =
        QFile::encodeName(QFileInfo(QFile::decodeName(m_target)).absolutePath());
    const int directoryFd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool flushed = directoryFd >= 0 && (::fsync(directoryFd) == 0 || errno == EINVAL);
    const int error = errno;
    if (directoryFd >= 0)
        ::close(directoryFd);
    if (!flushed)
        return fail(QStringLiteral("it is in place, but its folder cannot be flushed to the disk"),
                    error);
    return true;
}

void SafeFileWriter::close()
{
    discard();
    QIODevice::close();
}

bool SafeFileWriter::fail(const QString &what, int error)
{
    m_failed = true;
    setErrorString(
        what.isEmpty()
            ? QStringLiteral("Cannot write %1: %2").arg(m_path, systemError(error))
            : QStringLiteral("Cannot write %1: %2 (%3)").arg(m_path, what, systemError(error)));
    discard();
    return false;
}

void SafeFileWriter::discard()
{
    if (m_fd >= 0) {
        // Nothing written here is kept, so its closing has nothing left to report.
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.isEmpty()) {
        ::unlink(m_temporary.constData());
        m_temporary.clear();
    }
}

void writeFileSafely(const QString &path, const QByteArray &bytes)
{
    SafeFileWriter file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Error(file.errorString(), Error::Io);
}

} // namespace dbe
