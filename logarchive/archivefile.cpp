#include "logarchive/archivefile.h"

#include "dbe/error.h"
#include "logarchive/logcsv.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace logarchive {

namespace {

constexpr qint64 PendingLimit = 1 << 20; // appended bytes kept before they are written
constexpr qint64 ReadBack = 1 << 16;     // bytes read at a time from the end

void syncDirectoryOf(const QString &path)
{
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

ArchiveFile::ArchiveFile(const QString &path) : m_path(path)
{
    const QByteArray name = QFile::encodeName(path);
    m_fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0)
        fail(QStringLiteral("open"), errno);
    struct stat info {};
    if (::fstat(m_fd, &info) != 0)
        fail(QStringLiteral("read the size of"), errno);
    if (!S_ISREG(info.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        throw dbe::Error(QStringLiteral("The archive %1 is not a regular file.").arg(path),
                         dbe::Error::Io);
    }
    if (info.st_size == 0) {
        // A new archive: its header and its name in the directory reach the disk before any
        // entry is deleted.
        writeAll(CsvHeader.constData(), CsvHeader.size());
        if (::fsync(m_fd) != 0)
            fail(QStringLiteral("sync"), errno);
        syncDirectoryOf(path);
    }
}

ArchiveFile::~ArchiveFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void ArchiveFile::fail(const QString &what, int error) const
{
    throw dbe::Error(QStringLiteral("Cannot %1 the archive %2: %3")
                         .arg(what, m_path, QString::fromLocal8Bit(std::strerror(error))),
                     dbe::Error::Io);
}

void ArchiveFile::writeAll(const char *data, qint64 size)
{
    if (::lseek(m_fd, 0, SEEK_END) < 0)
        fail(QStringLiteral("append to"), errno);
    while (size > 0) {
        const ssize_t done = ::write(m_fd, data, size_t(size));
        if (done < 0) {
            if (errno == EINTR)
                continue;
            fail(QStringLiteral("write"), errno);
        }
        data += done;
        size -= done;
    }
}

int ArchiveFile::dropUnpurgedTail(const std::function<bool(qint64)> &stillInLog)
{
    const off_t size = ::lseek(m_fd, 0, SEEK_END);
    if (size < 0)
        fail(QStringLiteral("read"), errno);
    // The lines are read from the end backwards: `tail` holds the bytes from `tailStart` up to
    // `end`, where the archive is to end.
    off_t end = size;
    off_t tailStart = size;
    QByteArray tail;
    int dropped = 0;
    bool first = true;
    while (end > 0) {
        // The line that ends at `end` starts after the line break before its own.
        const qsizetype newline = tail.size() >= 2 ? tail.lastIndexOf('\n', tail.size() - 2) : -1;
        if (newline < 0 && tailStart > 0) {
            const off_t from = std::max<off_t>(0, tailStart - ReadBack);
            QByteArray chunk(qsizetype(tailStart - from), Qt::Uninitialized);
            if (::pread(m_fd, chunk.data(), size_t(chunk.size()), from) != chunk.size())
                fail(QStringLiteral("read"), errno);
            tail.prepend(chunk);
            tailStart = from;
            continue;
        }
        const qsizetype lineStart = newline + 1;
        const QByteArray line = tail.mid(lineStart);
        const bool whole = line.endsWith("\r\n");
        if (first && !whole) {
            // A line being written when the purge stopped.
        } else if (tailStart + lineStart == 0) {
            break; // the header
        } else {
            bool isNumber = false;
            const qint64 logCount = line.left(line.indexOf(',')).toLongLong(&isNumber);
            if (!isNumber || !stillInLog(logCount))
                break;
            ++dropped;
        }
        first = false;
        end = tailStart + lineStart;
        tail.truncate(lineStart);
    }
    if (end != size) {
        if (::ftruncate(m_fd, end) != 0)
            fail(QStringLiteral("cut the unpurged end of"), errno);
        // Stopped while the new archive's header was written: it is written again.
        if (end == 0)
            writeAll(CsvHeader.constData(), CsvHeader.size());
        if (::fsync(m_fd) != 0)
            fail(QStringLiteral("sync"), errno);
    }
    return dropped;
}

void ArchiveFile::append(const QByteArray &bytes)
{
    m_pending += bytes;
    if (m_pending.size() >= PendingLimit) {
        writeAll(m_pending.constData(), m_pending.size());
        m_pending.clear();
    }
}

void ArchiveFile::sync()
{
    writeAll(m_pending.constData(), m_pending.size());
    m_pending.clear();
    if (::fsync(m_fd) != 0)
        fail(QStringLiteral("sync"), errno);
}

} // namespace logarchive
