#include "dbe/tablelock.h"

#include "dbe/error.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
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

int openLockFile(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
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
    const int commonFd = openLockFile(commonLockPath(directory, fileName));
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

    // The marker is locked under a temporary name and then renamed, so that a lock list read
    // in between never sees it unlocked and removes it as stale.
    const QString unique = QStringLiteral("%1-%2-%3")
                               .arg(encodeUser(userName))
                               .arg(::getpid())
                               .arg(markerSerial.fetch_add(1));
    const QString markerPath = directory + QLatin1Char('/') + markerPrefix(fileName) + unique;
    const QString pendingPath =
        directory + QStringLiteral("/.") + fileName + QStringLiteral(".new-") + unique;
    const int markerFd = openLockFile(pendingPath);
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
    QStringList users;
    const QString prefix = markerPrefix(fileName);
    const QStringList markers =
        QDir(directory).entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden,
                                  QDir::Name);
    for (const QString &marker : markers) {
        const QString path = directory + QLatin1Char('/') + marker;
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue; // removed by its owner meanwhile
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // Nobody holds it: left behind by a program that ended without closing.
            ::unlink(QFile::encodeName(path).constData());
            ::close(fd);
            continue;
        }
        ::close(fd);
        const QString unique = marker.mid(prefix.size());
        users.append(decodeUser(unique.section(QLatin1Char('-'), 0, 0)));
    }
    return users;
}

} // namespace dbe
