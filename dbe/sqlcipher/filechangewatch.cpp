#include "dbe/sqlcipher/filechangewatch.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <array>
#include <cerrno>
#include <climits>
#include <linux/magic.h>
#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace dbe {

namespace {

// What happens to a watched file itself: a write or truncation, and its unlinking or renaming
// (the link count is an attribute).
constexpr uint32_t FileEvents = IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;
// Writes are counted apart: a commit makes only these, and leaves the paths naming the files.
constexpr uint32_t WriteEvents = IN_MODIFY;
// What replaces a file under its name. Writes to the directory's other files (the log, the
// journals every commit makes and removes) are not asked for.
constexpr uint32_t DirectoryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// The table files are found without regard to case, so every spelling of a name counts as one.
QString entryKey(const QString &name)
{
    return name.toUpper();
}

// One inotify queue for the whole process, kept open for its life: closing a queue waits for the
// kernel to retire its watches, some milliseconds, which every reading of the rights after a
// commit would pay. Each watched object counts the events read for it, so that any number of
// watches can share the queue.
class EventQueue
{
public:
    static EventQueue &instance()
    {
        static EventQueue queue;
        return queue;
    }

    // Watches the object and counts its events from now on; -1 when the kernel refuses.
    int add(const QString &path, uint32_t events)
    {
        const QMutexLocker lock(&m_mutex);
        if (m_fd < 0)
            return -1;
        const int watch = ::inotify_add_watch(m_fd, QFile::encodeName(path).constData(), events);
        if (watch >= 0)
            ++m_objects[watch].users;
        return watch;
    }

    // One more user of a watch add() gave.
    void retain(int watch)
    {
        const QMutexLocker lock(&m_mutex);
        ++m_objects[watch].users;
    }

    void release(int watch)
    {
        const QMutexLocker lock(&m_mutex);
        const auto object = m_objects.find(watch);
        if (object == m_objects.end() || --object->users > 0)
            return;
        if (!object->gone)
            ::inotify_rm_watch(m_fd, watch);
        m_objects.erase(object);
    }

    // Reads what is queued, then takes the counts into `seen`; false when the queue cannot be
    // read or a watch is gone (its object deleted): then nothing can be proved.
    bool take(std::vector<FileChangeWatch::Seen> &seen, quint64 &overflows)
    {
        const QMutexLocker lock(&m_mutex);
        return drain() && takeCounts(seen, overflows);
    }

    // What happened since the counts in `seen` were taken.
    enum class Drift { None, Writes, Other };

    // Reads what is queued and tells how the counts differ from `seen`.
    Drift drift(const std::vector<FileChangeWatch::Seen> &seen, quint64 overflows)
    {
        const QMutexLocker lock(&m_mutex);
        if (!drain())
            return Drift::Other;
        return driftOf(seen, overflows);
    }

    // When no more than writes happened since `seen` was taken: holds the same kernel watches
    // once more for `renewed`, a copy of `seen`, with the counts of now.
    bool renew(const std::vector<FileChangeWatch::Seen> &seen, quint64 overflows,
               std::vector<FileChangeWatch::Seen> &renewed, quint64 &renewedOverflows)
    {
        const QMutexLocker lock(&m_mutex);
        if (!drain() || driftOf(seen, overflows) == Drift::Other)
            return false;
        renewed = seen;
        if (!takeCounts(renewed, renewedOverflows)) {
            renewed.clear(); // holds none of the watches
            return false;
        }
        for (const FileChangeWatch::Seen &item : renewed)
            ++m_objects[item.watch].users;
        return true;
    }

private:
    EventQueue() : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

    struct Object {
        int users = 0;
        bool gone = false;
        quint64 events = 0;              // on the object itself, but writes
        quint64 writes = 0;              // into the object, a file
        QHash<QString, quint64> entries; // on a directory's entries, by entryKey()
    };

    const Object *live(int watch) const
    {
        const auto object = m_objects.constFind(watch);
        return object == m_objects.cend() || object->gone ? nullptr : &*object;
    }

    static quint64 countOf(const Object &object, const QString &entry)
    {
        return entry.isEmpty() ? object.events : object.entries.value(entry);
    }

    bool takeCounts(std::vector<FileChangeWatch::Seen> &seen, quint64 &overflows) const
    {
        overflows = m_overflows;
        for (FileChangeWatch::Seen &item : seen) {
            const Object *object = live(item.watch);
            if (!object)
                return false;
            item.events = countOf(*object, item.name);
            item.writes = item.name.isEmpty() ? object->writes : 0;
        }
        return true;
    }

    Drift driftOf(const std::vector<FileChangeWatch::Seen> &seen, quint64 overflows) const
    {
        if (overflows != m_overflows)
            return Drift::Other;
        Drift drift = Drift::None;
        for (const FileChangeWatch::Seen &item : seen) {
            const Object *object = live(item.watch);
            if (!object || countOf(*object, item.name) != item.events)
                return Drift::Other;
            if (item.name.isEmpty() && object->writes != item.writes)
                drift = Drift::Writes;
        }
        return drift;
    }

    bool drain()
    {
        alignas(inotify_event) std::array<char, 4096> buffer;
        // A read that left room for the longest event emptied the queue: a second read would
        // only find what came after, which the next drain counts as well.
        constexpr ssize_t Emptied = ssize_t(buffer.size() - (sizeof(inotify_event) + NAME_MAX + 1));
        for (;;) {
            const ssize_t length = ::read(m_fd, buffer.data(), buffer.size());
            if (length < 0 && errno == EINTR)
                continue;
            if (length < 0)
                return errno == EAGAIN;
            if (length == 0)
                return false;
            for (ssize_t offset = 0; offset < length;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer.data() + offset);
                offset += ssize_t(sizeof(inotify_event) + event->len);
                count(*event);
            }
            if (length <= Emptied)
                return true;
        }
    }

    void count(const inotify_event &event)
    {
        if (event.mask & IN_Q_OVERFLOW) {
            ++m_overflows;
            return;
        }
        const auto object = m_objects.find(event.wd);
        if (object == m_objects.end())
            return; // released already
        if (event.mask & IN_IGNORED)
            object->gone = true;
        if (event.len > 0)
            ++object->entries[entryKey(QFile::decodeName(event.name))];
        else if ((event.mask & ~WriteEvents) == 0)
            ++object->writes;
        else
            ++object->events;
    }

    QMutex m_mutex;
    int m_fd = -1;
    quint64 m_overflows = 0;
    QHash<int, Object> m_objects;
};

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
    EventQueue &queue = EventQueue::instance();
    std::unique_ptr<FileChangeWatch> watch(new FileChangeWatch);
    watch->m_paths = paths;
    // The tables share a directory: it is asked of the kernel once.
    QHash<QString, int> directories;
    for (const QString &path : paths) {
        const QFileInfo file(path);
        const QString directoryPath = file.absolutePath();
        // The directory first: a file replaced between the two calls still shows on it.
        int directory = directories.value(directoryPath, -1);
        if (directory < 0) {
            if (!isLocalFilesystem(directoryPath))
                return nullptr;
            directory = queue.add(directoryPath, DirectoryEvents);
            if (directory < 0)
                return nullptr;
            directories.insert(directoryPath, directory);
        } else {
            queue.retain(directory);
        }
        watch->m_seen.push_back({directory, entryKey(file.fileName()), 0});
        queue.retain(directory);
        watch->m_seen.push_back({directory, QString(), 0});
        // A path, not a descriptor: nothing is opened. A symbolic link is followed to the file
        // SQLite has open.
        const int watched = queue.add(path, FileEvents);
        if (watched < 0)
            return nullptr;
        watch->m_seen.push_back({watched, {}, 0});
    }
    // What was queued before counts as seen: nobody can write the files now.
    if (!queue.take(watch->m_seen, watch->m_overflows))
        return nullptr;
    return watch;
}

FileChangeWatch::~FileChangeWatch()
{
    for (const Seen &item : m_seen)
        EventQueue::instance().release(item.watch);
}

bool FileChangeWatch::unchanged() const
{
    if (!m_changed && EventQueue::instance().drift(m_seen, m_overflows) != EventQueue::Drift::None)
        m_changed = true;
    return !m_changed;
}

std::unique_ptr<FileChangeWatch> FileChangeWatch::renewed(const QStringList &paths) const
{
    if (paths != m_paths)
        return nullptr;
    std::unique_ptr<FileChangeWatch> watch(new FileChangeWatch);
    if (!EventQueue::instance().renew(m_seen, m_overflows, watch->m_seen, watch->m_overflows))
        return nullptr;
    watch->m_paths = m_paths;
    return watch;
}

} // namespace dbe
