#pragma once

#include "dbe/changewatch.h"

#include <QStringList>
#include <array>
#include <memory>
#include <vector>

namespace dbe {

// Watches SQLite table files through a shared read-only mapping of each file's head.
//
// Every commit to a file in a rollback-journal mode rewrites the file's first page: SQLite bumps
// the change counter in the header, and SQLCipher encrypts the page again under a fresh random
// IV, so the bytes after the salt change whoever commits (this engine, another workstation's, a
// plain sqlcipher shell). A shared mapping sees another process's write as soon as its write()
// returns, so comparing the head with the copy taken when the watch was made answers without a
// system call.
//
// That holds for a file in a rollback-journal mode on a filesystem of this machine. In WAL mode
// commits go to the -wal file and leave the first page alone, and a network filesystem's client
// need not show another machine's writes in a mapping until it revalidates on a lock; the
// backend asks for no watch on a WAL file, and create() gives none on a filesystem it does not
// know to be local.
class FileChangeWatch : public ChangeWatch
{
public:
    ~FileChangeWatch() override;
    FileChangeWatch(const FileChangeWatch &) = delete;
    FileChangeWatch &operator=(const FileChangeWatch &) = delete;

    // The files must be held against writers while this runs (a read transaction's shared lock
    // on each). Null when a file cannot be mapped or is not on a local filesystem.
    static std::unique_ptr<FileChangeWatch> create(const QStringList &paths);

    bool unchanged() const override;

    // How many leading bytes are compared: the whole SQLite header, which the change counter
    // sits in, and for SQLCipher 84 bytes of ciphertext after the salt.
    static constexpr int HeadBytes = 100;

private:
    FileChangeWatch() = default;

    struct Head {
        const unsigned char *mapping = nullptr; // HeadBytes of the file
        std::array<unsigned char, HeadBytes> seen{};
    };
    std::vector<Head> m_heads;
};

// Whether mappings of files in `directory` show every write to them at once: true for the
// filesystems of local disks and memory, false for network and unknown ones.
bool isLocalFilesystem(const QString &directory);

} // namespace dbe
