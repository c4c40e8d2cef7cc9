#include "dbe/sqlcipher/filechangewatch.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
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
        if (!drain())
            return false;
        overflows = m_overflows;
        for (FileChangeWatch::Seen &item : seen) {
            const Object *object = live(item.watch);
            if (!object)
                return false;
            item.events = countOf(*object, item.name);
        }
        return true;
    }

    // Reads what is queued; true when no count differs from `seen`.
    bool matches(const std::vector<FileChangeWatch::Seen> &seen, quint64 overflows)
    {
        const QMutexLocker lock(&m_mutex);
        if (!drain() || overflows != m_overflows)
            return false;
        for (const FileChangeWatch::Seen &item : seen) {
            const Object *object = live(item.watch);
            if (!object || countOf(*object, item.name) != item.events)
                return false;
        }
        return true;
    }

private:
    EventQueue() : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

    struct Object {
        int users = 0;
        bool gone = false;
        quint64 events = 0;              // on the object itself
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

    bool drain()
    {
        alignas(inotify_event) std::array<char, 4096> buffer;
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
    if (!m_changed && !EventQueue::instance().matches(m_seen, m_overflows))
        m_changed = true;
    return !m_changed;
}

} // namespace dbe
