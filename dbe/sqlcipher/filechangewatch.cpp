#include "dbe/sqlcipher/filechangewatch.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace dbe {

bool isLocalFilesystem(const QString &directory)
{
    struct statfs info {
    };
    if (::statfs(QFile::encodeName(directory).constData(), &info) != 0)
        return false;
    // Listed by hand rather than excluding the network ones: a filesystem not named here may be
    // a network or FUSE one whose mappings lag behind other machines' writes, and a stale
    // answer to an access test is worse than a slower one.
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
    for (const QString &path : paths) {
        if (!isLocalFilesystem(QFileInfo(path).absolutePath()))
            return nullptr;
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        struct stat status {
        };
        // Reading a mapped page that lies wholly past the end of the file raises SIGBUS. A table
        // file is at least one page long and SQLite never makes it shorter than that, so the
        // head stays readable for as long as the file is a table.
        if (::fstat(fd, &status) != 0 || status.st_size < HeadBytes) {
            ::close(fd);
            return nullptr;
        }
        void *mapping = ::mmap(nullptr, HeadBytes, PROT_READ, MAP_SHARED, fd, 0);
        // The mapping keeps the file open by itself.
        ::close(fd);
        if (mapping == MAP_FAILED)
            return nullptr;
        Head head;
        head.mapping = static_cast<const unsigned char *>(mapping);
        std::memcpy(head.seen.data(), head.mapping, HeadBytes);
        watch->m_heads.push_back(head);
    }
    return watch;
}

FileChangeWatch::~FileChangeWatch()
{
    for (const Head &head : m_heads)
        ::munmap(const_cast<unsigned char *>(head.mapping), HeadBytes);
}

bool FileChangeWatch::unchanged() const
{
    for (const Head &head : m_heads) {
        if (std::memcmp(head.mapping, head.seen.data(), HeadBytes) != 0)
            return false;
    }
    return true;
}

} // namespace dbe
