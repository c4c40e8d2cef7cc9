#include "dbe/sqlcipher/filechangewatch.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cerrno>
#include <linux/magic.h>
#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace dbe {

namespace {

// What happens to a watched file itself: a write or truncation, and its unlinking or renaming
// (the link count is an attribute).
constexpr uint32_t FileEvents = IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;
// What replaces a file under its name. Writes to the directory's other files (the log, the
// journals every commit makes and removes) are not asked for.
constexpr uint32_t DirectoryEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;

} // namespace

bool isLocalFilesystem(const QString &directory)
{
    struct statfs info {
    };
    if (::statfs(QFile::encodeName(directory).constData(), &info) != 0)
        return false;
    // Listed by hand rather than excluding the network ones: a filesystem not named here may be
    // a network or FUSE one that learns of other machines' writes late, and a stale answer to an
    // access test is worse than a slower one.
    constexpr unsigned long ZfsMagic = 0x2fc12fc1;
    constexpr unsigned long BcachefsMagic = 0xca451a4e;
    switch (static_cast<unsigned long>(info.f_type)) {
    case EXT4_SUPER_MAGIC: // ext2, ext3 and ext4 share it
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case RAMFS_MAGIC:
    case OVERLAYFS_SUPER_MAGIC:
    case ZfsMagic:
    case BcachefsMagic:
        return true;
    default:
        return false;
    }
}

std::unique_ptr<FileChangeWatch> FileChangeWatch::create(const QStringList &paths)
{
    std::unique_ptr<FileChangeWatch> watch(new FileChangeWatch);
    watch->m_queue = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch->m_queue < 0)
        return nullptr;
    QStringList directories;
    for (const QString &path : paths) {
        const QFileInfo file(path);
        if (!isLocalFilesystem(file.absolutePath()))
            return nullptr;
        // The directory first: a file replaced between the two calls still shows on it.
        if (!directories.contains(file.absolutePath())) {
            const int directory = ::inotify_add_watch(
                watch->m_queue, QFile::encodeName(file.absolutePath()).constData(),
                DirectoryEvents | IN_ONLYDIR);
            if (directory < 0)
                return nullptr;
            watch->m_directoryWatches.push_back(directory);
            directories.append(file.absolutePath());
        }
        // A path, not a descriptor: nothing is opened. A symbolic link is followed to the file
        // SQLite has open.
        const int watched =
            ::inotify_add_watch(watch->m_queue, QFile::encodeName(path).constData(), FileEvents);
        if (watched < 0)
            return nullptr;
        watch->m_fileWatches.push_back(watched);
        watch->m_names.append(file.fileName());
    }
    return watch;
}

FileChangeWatch::~FileChangeWatch()
{
    if (m_queue >= 0)
        ::close(m_queue);
}

bool FileChangeWatch::unchanged() const
{
    if (!m_changed && drainConcernsWatchedFiles())
        m_changed = true;
    return !m_changed;
}

bool FileChangeWatch::drainConcernsWatchedFiles() const
{
    alignas(inotify_event) std::array<char, 4096> buffer;
    bool concerned = false;
    for (;;) {
        const ssize_t length = ::read(m_queue, buffer.data(), buffer.size());
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0)
            return concerned || errno != EAGAIN; // an unreadable queue proves nothing
        if (length == 0)
            return true;
        for (ssize_t offset = 0; offset < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer.data() + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            const bool onDirectory = std::find(m_directoryWatches.cbegin(),
                                               m_directoryWatches.cend(),
                                               event->wd) != m_directoryWatches.cend();
            // A name on a directory event is one of its entries; the table files are found
            // without regard to case, so any spelling of a watched name counts.
            if (!onDirectory || event->len == 0 ||
                m_names.contains(QFile::decodeName(event->name), Qt::CaseInsensitive))
                concerned = true;
        }
    }
}

} // namespace dbe
