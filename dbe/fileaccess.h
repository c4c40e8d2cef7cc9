#pragma once

#include <QFile>
#include <QString>
#include <sys/types.h>

namespace dbe {

// The permissions a file created now gets when nothing else is asked: rw for everybody, less
// the process's umask.
mode_t creationMode();

// The read and write permissions of an existing file, or creationMode() when it does not exist.
mode_t permissionsOf(const QString &path);

// Opens `file` (named already) if it is a regular file, and nothing else: a pipe or a device in
// a file's place would hold the open or the reads up for ever. Answers why it is not open, or
// nothing when it is. Never creates a file.
QString openRegularFile(QFile &file, QIODevice::OpenMode mode);

// An exclusive advisory lock on a file, waiting up to `timeoutMs` for other processes to give it
// up; throws Error::Locked when they do not, Error::Io when the file cannot be opened.
class ExclusiveFileLock
{
public:
    ExclusiveFileLock(const QString &path, int timeoutMs);
    ~ExclusiveFileLock();
    ExclusiveFileLock(const ExclusiveFileLock &) = delete;
    ExclusiveFileLock &operator=(const ExclusiveFileLock &) = delete;

private:
    int m_fd = -1;
};

} // namespace dbe
