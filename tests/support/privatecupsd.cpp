#include "tests/support/privatecupsd.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <sys/stat.h>

namespace testsupport {

namespace {

const char *const GenericPdfDriver = "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd";

bool writeFile(const QString &path, const QString &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(text.toUtf8()) == text.toUtf8().size();
}

} // namespace

PrivateCupsd::PrivateCupsd()
{
    // The filters run as the scheduler's unprivileged user: they must reach the spool.
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
}

PrivateCupsd::~PrivateCupsd()
{
    stop();
}

QString PrivateCupsd::socketPath() const
{
    return m_dir.filePath(QStringLiteral("cups.sock"));
}

QString PrivateCupsd::errorLog() const
{
    QFile log(m_dir.filePath(QStringLiteral("log/error_log")));
    if (!log.open(QIODevice::ReadOnly))
        return QStringLiteral("(no error log)");
    // The end of the log says why; the start is configuration noise.
    return QString::fromUtf8(log.readAll().right(6000));
}

bool PrivateCupsd::start(QString *error)
{
    const QString d = m_dir.path();
    for (const char *sub : {"spool", "tmp", "cache", "state", "log", "ppd"})
        QDir(d).mkpath(QString::fromLatin1(sub));
    ::chmod(QFile::encodeName(m_dir.filePath(QStringLiteral("tmp"))).constData(), 01777);

    const QString conf = QStringLiteral("LogLevel debug\n"
                                        "Listen %1\n"
                                        "Browsing No\n"
                                        "WebInterface No\n"
                                        "DefaultAuthType None\n"
                                        "<Location />\n  Order allow,deny\n  Allow all\n"
                                        "</Location>\n"
                                        "<Location /admin>\n  Order allow,deny\n  Allow all\n"
                                        "</Location>\n"
                                        "<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                                        "  </Limit>\n</Policy>\n")
                             .arg(socketPath());
    const QString files = QStringLiteral("FileDevice Yes\n"
                                         "ServerRoot %1\n"
                                         "RequestRoot %1/spool\n"
                                         "TempDir %1/tmp\n"
                                         "CacheDir %1/cache\n"
                                         "StateDir %1/state\n"
                                         "ErrorLog %1/log/error_log\n"
                                         "AccessLog %1/log/access_log\n"
                                         "PageLog %1/log/page_log\n"
                                         "ServerBin /usr/lib/cups\n"
                                         "DataDir /usr/share/cups\n"
                                         "Sandboxing Relaxed\n")
                              .arg(d);
    if (!writeFile(m_dir.filePath(QStringLiteral("cupsd.conf")), conf) ||
        !writeFile(m_dir.filePath(QStringLiteral("cups-files.conf")), files)) {
        *error = QStringLiteral("cannot write the cupsd configuration in ") + d;
        return false;
    }

    qputenv("CUPS_SERVER", QFile::encodeName(socketPath()));
    m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
    m_cupsd.setWorkingDirectory(d);
    m_cupsd.start(QStringLiteral("/usr/sbin/cupsd"),
                  {QStringLiteral("-f"), QStringLiteral("-c"),
                   m_dir.filePath(QStringLiteral("cupsd.conf")), QStringLiteral("-s"),
                   m_dir.filePath(QStringLiteral("cups-files.conf"))});
    if (!m_cupsd.waitForStarted(5000)) {
        *error = QStringLiteral("cupsd did not start: ") + m_cupsd.errorString();
        return false;
    }
    const QDeadlineTimer deadline(10000);
    while (!QFile::exists(socketPath())) {
        if (m_cupsd.state() != QProcess::Running || deadline.hasExpired()) {
            *error = QStringLiteral("cupsd did not open its socket.\ncupsd says: %1\n"
                                    "error log:\n%2")
                         .arg(QString::fromLocal8Bit(m_cupsd.readAll()), errorLog());
            stop();
            return false;
        }
        QThread::msleep(50);
    }
    return true;
}

void PrivateCupsd::stop()
{
    if (m_cupsd.state() == QProcess::NotRunning)
        return;
    m_cupsd.terminate();
    if (!m_cupsd.waitForFinished(5000)) {
        m_cupsd.kill();
        m_cupsd.waitForFinished(2000);
    }
}

bool PrivateCupsd::runClient(const QString &program, const QStringList &arguments,
                             QString *output) const
{
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(program, arguments);
    const bool finished = client.waitForFinished(15000);
    *output = QString::fromLocal8Bit(client.readAll());
    return finished && client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0;
}

bool PrivateCupsd::addFileQueue(const QString &queue, const QString &outputFile, QString *error)
{
    QString output;
    if (!runClient(QStringLiteral("lpadmin"),
                   {QStringLiteral("-p"), queue, QStringLiteral("-E"), QStringLiteral("-v"),
                    QStringLiteral("file://") + outputFile, QStringLiteral("-P"),
                    QString::fromLatin1(GenericPdfDriver)},
                   &output)) {
        *error = QStringLiteral("lpadmin failed: %1\nerror log:\n%2").arg(output, errorLog());
        return false;
    }
    return true;
}

int PrivateCupsd::completedJobs(const QString &queue) const
{
    QString output;
    if (!runClient(QStringLiteral("lpstat"),
                   {QStringLiteral("-W"), QStringLiteral("completed"), QStringLiteral("-o"), queue},
                   &output))
        return -1;
    return int(output.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
}

bool PrivateCupsd::waitForCompletedJobs(const QString &queue, int count, int timeoutMs,
                                        QString *error)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (completedJobs(queue) >= count)
            return true;
        QThread::msleep(100);
    }
    *error = QStringLiteral("queue %1 did not complete %2 job(s) in time.\nerror log:\n%3")
                 .arg(queue)
                 .arg(count)
                 .arg(errorLog());
    return false;
}

} // namespace testsupport
