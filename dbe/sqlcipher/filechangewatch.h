#pragma once

#include "dbe/changewatch.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace dbe {

// Watches SQLite table files through the kernel's inotify events on each file and on the
// directory that holds it.
//
// Any write to a watched file (a commit of this engine, of another workstation's, of a plain
// sqlcipher shell; a truncation; a copy over it) queues an event on the file before the writer's
// system call returns, and so before its commit can end. Replacing a file under its name (renamed
// over, deleted and copied back, a symbolic link put in its place) queues an event on the
// directory, and unlinking the open file one on the file itself. So one non-blocking read of
// the queue tells whether anything happened since the watch was taken, and it neither opens nor
// closes a table file: closing any descriptor of a file drops every POSIX lock the process holds
// on it, SQLite's own included.
//
// That holds for files on a filesystem of this machine. A network filesystem's client learns of
// another machine's writes only when it revalidates, so create() gives no watch there, nor in
// WAL mode, where the backend asks for none.
class FileChangeWatch : public ChangeWatch
{
public:
    ~FileChangeWatch() override;
    FileChangeWatch(const FileChangeWatch &) = delete;
    FileChangeWatch &operator=(const FileChangeWatch &) = delete;

    // The files must be held against writers while this runs (a read transaction's shared lock
    // on each), so that no commit falls between what the transaction reads and the watch. Null
    // when a file is not on a local filesystem or the kernel grants no watch.
    static std::unique_ptr<FileChangeWatch> create(const QStringList &paths);

    bool unchanged() const override;

    // The watch that a new read transaction over the same files would take, on the kernel's
    // watches this one holds, when all that happened since this one was taken was writes into
    // the files: none was replaced, renamed, unlinked or had its attributes changed, and the
    // directory saw no entry of theirs come or go, so each path still names the file watched.
    // Null otherwise, and the caller creates a watch afresh. Held against writers as create().
    std::unique_ptr<FileChangeWatch> renewed(const QStringList &paths) const;

    // What the watch compares: how many events the process's queue had counted for one watched
    // object when the watch was taken.
    struct Seen {
        int watch = -1;
        QString name; // an entry of a watched directory, upper-cased; empty for the object itself
        quint64 events = 0; // everything but writes into a file
        quint64 writes = 0;
    };

private:
    FileChangeWatch() = default;

    QStringList m_paths;
    std::vector<Seen> m_seen;
    quint64 m_overflows = 0;
    mutable bool m_changed = false;
};

// Whether writes to files in `directory` by other processes are seen at once: true for the
// filesystems of local disks and memory, false for network and unknown ones.
bool isLocalFilesystem(const QString &directory);

} // namespace dbe
