#pragma once

#include <QIODevice>
#include <QString>

namespace dbe {

// Writes a file so that a reader finds either the old file or the whole new one, even after a
// crash or on a full disk: the bytes go to a temporary file beside the target, which commit()
// flushes to the disk and renames over the target, flushing the directory too. An existing
// file keeps its permissions (and group, where the owner may set it); a symbolic link keeps
// pointing where it did, and the file it names is replaced.
//
// A target that is no regular file (/dev/null, a terminal, a pipe) cannot be replaced by a
// rename; it is written directly instead, and every write and its closing are checked.
//
// Every failure is kept with the file's name and the system's reason, and fails commit():
// writers such as QPdfWriter and QImageWriter ignore what their device's write answers, and
// would otherwise report a cut-off file as written. Without a successful commit() the target
// is left as it was.
class SafeFileWriter : public QIODevice
{
public:
    explicit SafeFileWriter(const QString &path);
    ~SafeFileWriter() override;
    SafeFileWriter(const SafeFileWriter &) = delete;
    SafeFileWriter &operator=(const SafeFileWriter &) = delete;

    QString path() const { return m_path; }

    // Write-only. False, with errorString(), when there is no place to write to.
    bool open(OpenMode mode) override;
    // Puts what was written in place. False, with errorString(), when anything written, the
    // flush or the rename failed; the target is as it was then (a device excepted, which
    // got what it took).
    bool commit();
    // Drops what was written; the target stays as it was.
    void close() override;
    // Whether opening or a write failed; errorString() says why.
    bool failed() const { return m_failed; }

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool fail(const QString &what, int error);
    void discard();

    QString m_path;
    QByteArray m_target;    // the file the rename replaces, symbolic links followed
    QByteArray m_temporary; // empty when the target is written directly
    int m_fd = -1;
    bool m_failed = false;
};

// Writes `bytes` to `path` through a SafeFileWriter. Throws Error::Io with its text.
void writeFileSafely(const QString &path, const QByteArray &bytes);

} // namespace dbe
