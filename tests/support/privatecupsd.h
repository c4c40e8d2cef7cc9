#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// A CUPS scheduler of the test's own: configuration, spool, logs and socket in a temporary
// directory, queues that print into files. start() points this process's CUPS clients at it
// (CUPS_SERVER), so call it before anything asks CUPS for printers. The scheduler stops when
// the object goes, also when a test fails.
class PrivateCupsd
{
public:
    PrivateCupsd();
    ~PrivateCupsd();
    PrivateCupsd(const PrivateCupsd &) = delete;
    PrivateCupsd &operator=(const PrivateCupsd &) = delete;

    // False with the reason and the scheduler's error log in `error`.
    bool start(QString *error);
    void stop();

    // A queue that writes each job to `outputFile` through Debian's generic PDF printer driver
    // (a raw queue would deliver nothing to a file: device).
    bool addFileQueue(const QString &queue, const QString &outputFile, QString *error);
    // Waits until the queue has at least `count` completed jobs.
    bool waitForCompletedJobs(const QString &queue, int count, int timeoutMs, QString *error);
    int completedJobs(const QString &queue) const;

    QString socketPath() const;
    QString dir() const { return m_dir.path(); }
    QString errorLog() const;

private:
    bool runClient(const QString &program, const QStringList &arguments, QString *output) const;

    QTemporaryDir m_dir;
    QProcess m_cupsd;
};

} // namespace testsupport
