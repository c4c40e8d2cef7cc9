#include "dbe/sqlcipher/filetablelocks.h"

#include "dbe/error.h"
#include "dbe/fileaccess.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QUrl>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dbe {

namespace {

QString commonLockPath(const QString &directory, const QString &fileName)
{
    return directory + QStringLiteral("/.") + fileName + QStringLiteral(".lock");
}

QString markerPrefix(const QString &fileName)
{
    return QStringLiteral(".") + fileName + QStringLiteral(".lck-");
}

// '-' separates the parts of a marker name, so the user name is percent-encoded with it.
QString encodeUser(const QString &user)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(user, {}, "-."));
}

QString decodeUser(const QString &encoded)
{
    return QUrl::fromPercentEncoding(encoded.toLatin1());
}

// Lock files and markers get the permissions of the table they lock, as SQLite gives its
// journal the database's: whoever may write the table may lock it, and may read the markers
// that say who has it open. A file left by a program that ran under another umask is mended
// by its owner.
int openLockFile(const QString &path, mode_t mode)
{
    const QByteArray name = QFile::encodeName(path);
    int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, mode);
    if (fd < 0 && errno == EACCES) {
        // flock() needs no write access on a local file system.
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0)
        return fd;
    struct stat info;
    if (::fstat(fd, &info) == 0 && info.st_uid == ::geteuid() && (info.st_mode & 0777) != mode)
        ::fchmod(fd, mode);
    return fd;
}

// Removes the marker at `path` if nobody holds it: left behind by a program that ended without
// closing (a crash, a kill). Answers whether it was stale.
bool removeIfStale(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT; // removed by its owner meanwhile
    bool stale = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // Unlinked only while it is still the file that was found unheld.
        struct stat held;
        struct stat now;
        stale = true;
        if (::fstat(fd, &held) == 0 && ::stat(name.constData(), &now) == 0 &&
            held.st_ino == now.st_ino && held.st_dev == now.st_dev)
            ::unlink(name.constData());
    }
    ::close(fd);
    return stale;
}

// A marker is renamed into place within microseconds of being created; one still under its
// temporary name after this long belongs to a program that died in between.
constexpr qint64 PendingMarkerLifetimeSecs = 60;

// Sweeps the stale markers of one table. Answers the user names of the live ones.
QStringList sweepMarkers(const QString &directory, const QString &fileName)
{
    QStringList users;
    const QString prefix = markerPrefix(fileName);
    const QString pendingPrefix = QStringLiteral(".") + fileName + QStringLiteral(".new-");
    const QFileInfoList entries =
        QDir(directory).entryInfoList({prefix + QLatin1Char('*'), pendingPrefix + QLatin1Char('*')},
                                      QDir::Files | QDir::Hidden, QDir::Name);
    const QDateTime now = QDateTime::currentDateTime();
    for (const QFileInfo &entry : entries) {
        const QString marker = entry.fileName();
        if (marker.startsWith(pendingPrefix)) {
            if (entry.lastModified().secsTo(now) > PendingMarkerLifetimeSecs)
                removeIfStale(entry.filePath());
            continue;
        }
        if (removeIfStale(entry.filePath()))
            continue;
        const QString unique = marker.mid(prefix.size());
        users.append(decodeUser(unique.section(QLatin1Char('-'), 0, 0)));
    }
    return users;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

class FileTableLock : public TableLock
{
public:
    FileTableLock(int commonFd, int markerFd, QString markerPath)
        : m_commonFd(commonFd), m_markerFd(markerFd), m_markerPath(std::move(markerPath))
    {
    }
    ~FileTableLock() override
    {
        // Removed while still locked, so nobody takes it for a live marker in between.
        ::unlink(QFile::encodeName(m_markerPath).constData());
        ::close(m_markerFd);
        ::close(m_commonFd);
    }

private:
    int m_commonFd;
    int m_markerFd;
    QString m_markerPath;
};

std::atomic<int> markerSerial{0};

} // namespace

std::unique_ptr<TableLock> FileTableLocks::acquire(const QString &directory,
                                                   const QString &fileName, bool exclusive,
                                                   const QString &userName)
{
    const mode_t mode = permissionsOf(directory + QLatin1Char('/') + fileName);
    const int commonFd = openLockFile(commonLockPath(directory, fileName), mode);
    if (commonFd < 0)
        throw Error(QStringLiteral("Cannot lock table %1: %2").arg(fileName, systemError()),
                    Error::Io);
    if (::flock(commonFd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        const int err = errno;
        ::close(commonFd);
        if (err == EWOULDBLOCK)
            throw Error(exclusive ? QStringLiteral("Table is busy: %1 is open by another user.")
                                        .arg(fileName)
                                  : QStringLiteral("Table is busy: %1 is opened exclusively by "
                                                   "another user.")
                                        .arg(fileName),
                        Error::Locked);
        throw Error(QStringLiteral("Cannot lock table %1: %2")
                        .arg(fileName, QString::fromLocal8Bit(std::strerror(err))),
                    Error::Io);
    }
    // Markers of programs that were killed pile up otherwise, one per table they had open.
    sweepMarkers(directory, fileName);

    // The marker is locked under a temporary name and then renamed, so that a lock list read
    // in between never sees it unlocked and removes it as stale. A random part keeps a new
    // process that got a dead one's pid from taking over its marker's name.
    const QString unique =
        QStringLiteral("%1-%2-%3-%4")
            .arg(encodeUser(userName))
            .arg(::getpid())
            .arg(markerSerial.fetch_add(1))
            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    const QString markerPath = directory + QLatin1Char('/') + markerPrefix(fileName) + unique;
    const QString pendingPath =
        directory + QStringLiteral("/.") + fileName + QStringLiteral(".new-") + unique;
    const int markerFd = openLockFile(pendingPath, mode);
    if (markerFd < 0 || ::flock(markerFd, LOCK_SH | LOCK_NB) != 0
        || ::rename(QFile::encodeName(pendingPath).constData(),
                    QFile::encodeName(markerPath).constData())
               != 0) {
        const QString reason = systemError();
        if (markerFd >= 0)
            ::close(markerFd);
        ::unlink(QFile::encodeName(pendingPath).constData());
        ::close(commonFd);
        throw Error(QStringLiteral("Cannot lock table %1: %2").arg(fileName, reason), Error::Io);
    }
    return std::make_unique<FileTableLock>(commonFd, markerFd, markerPath);
}

QStringList FileTableLocks::holders(const QString &directory, const QString &fileName)
{
    return sweepMarkers(directory, fileName);
}

} // namespace dbe
