#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace logarchive {

// The archive a purge appends the entries it removes to: a CSV file that grows by one purge
// after another. Appends go to the end of the file and are synced to the disk before the
// purge deletes anything; the file is never rewritten.
class ArchiveFile
{
public:
    // Opens (or creates, with the header line) the archive. Throws dbe::Error::Io.
    explicit ArchiveFile(const QString &path);
    ~ArchiveFile();
    ArchiveFile(const ArchiveFile &) = delete;
    ArchiveFile &operator=(const ArchiveFile &) = delete;

    // Cuts off the end of the archive that a purge wrote without deleting its entries from
    // the log (it was stopped between the two): a line left half written, then every line,
    // from the last backwards, whose entry `stillInLog` finds (by its LogCount) in the log.
    // Such entries are archived again by the purge that follows, so none ends up twice.
    // Answers how many whole lines were cut off.
    int dropUnpurgedTail(const std::function<bool(qint64 logCount)> &stillInLog);

    void append(const QByteArray &bytes);
    // Writes what was appended and syncs the file to the disk. Throws dbe::Error::Io.
    void sync();

private:
    [[noreturn]] void fail(const QString &what, int error) const;
    void writeAll(const char *data, qint64 size);

    QString m_path;
    int m_fd = -1;
    QByteArray m_pending;
};

} // namespace logarchive
