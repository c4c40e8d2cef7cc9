#include "tests/support/privatepostgres.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringList>
#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

namespace {

// The server refuses to run as root; CI runs the tests as root.
const char *const UnprivilegedAccount = "nobody";

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

// The directory of initdb, pg_ctl and postgres: VESK_PG_BINDIR, else what pg_config names,
// else the newest of Debian's /usr/lib/postgresql/<version>/bin.
QString serverBinDir()
{
    const QString fromEnvironment = qEnvironmentVariable("VESK_PG_BINDIR");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    QProcess pgConfig;
    pgConfig.start(QStringLiteral("pg_config"), {QStringLiteral("--bindir")});
    if (pgConfig.waitForFinished(10000) && pgConfig.exitCode() == 0) {
        const QString dir = QString::fromLocal8Bit(pgConfig.readAllStandardOutput()).trimmed();
        if (QFile::exists(dir + QStringLiteral("/initdb")))
            return dir;
    }
    QDir versions(QStringLiteral("/usr/lib/postgresql"));
    QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(found.begin(), found.end(),
              [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    for (const QString &version : found) {
        const QString dir = versions.filePath(version + QStringLiteral("/bin"));
        if (QFile::exists(dir + QStringLiteral("/initdb")))
            return dir;
    }
    return {};
}

// Runs a server program, as the unprivileged account when this process is root. False with
// its output in `error`.
bool runServerProgram(const QString &program, const QStringList &arguments, QString *error,
                      int timeoutMs = 90000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    // Instrumented test builds must not pass their sanitizer settings on to the server.
    environment.remove(QStringLiteral("LD_PRELOAD"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QDir::tempPath());
    if (runningAsRoot()) {
        const passwd *account = ::getpwnam(UnprivilegedAccount);
        process.start(QStringLiteral("setpriv"),
                      QStringList{QStringLiteral("--reuid=%1").arg(account->pw_uid),
                                  QStringLiteral("--regid=%1").arg(account->pw_gid),
                                  QStringLiteral("--clear-groups"), QStringLiteral("--"), program} +
                          arguments);
    } else {
        process.start(program, arguments);
    }
    const bool finished = process.waitForFinished(timeoutMs);
    const QString output = QString::fromLocal8Bit(process.readAll());
    if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    if (!finished)
        process.kill();
    *error = QStringLiteral("%1 %2 failed (%3):\n%4")
                 .arg(program, arguments.join(QLatin1Char(' ')),
                      finished ? QStringLiteral("exit code %1").arg(process.exitCode())
                               : QStringLiteral("no answer within %1 s").arg(timeoutMs / 1000),
                      output);
    return false;
}

// A port of 127.0.0.1 that nobody listens on at this moment.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

// Hands a directory the server writes to over to the unprivileged account.
bool giveToServer(const QString &path)
{
    if (!runningAsRoot())
        return true;
    const passwd *account = ::getpwnam(UnprivilegedAccount);
    return account &&
           ::chown(QFile::encodeName(path).constData(), account->pw_uid, account->pw_gid) == 0;
}

bool writeFile(const QString &path, const QByteArray &bytes, QFile::Permissions permissions)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return false;
    return file.setPermissions(permissions);
}

} // namespace

QString PostgresCluster::connection(const QString &role) const
{
    return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4")
        .arg(socketDir)
        .arg(port)
        .arg(database, role);
}

QString PostgresCluster::serverLog() const
{
    QFile log(QDir(root).filePath(QStringLiteral("pg/server.log")));
    if (!log.open(QIODevice::ReadOnly))
        return QStringLiteral("(no server log)");
    return QString::fromUtf8(log.readAll().right(8000));
}

bool PostgresCluster::save(const QString &file, QString *error) const
{
    const QString text = QStringLiteral("root=%1\ndata=%2\nsocket=%3\nport=%4\ndatabase=%5\n"
                                        "admin=%6\npassword=%7\n")
                             .arg(root, dataDir, socketDir)
                             .arg(port)
                             .arg(database, adminRole, adminPassword);
    if (writeFile(file, text.toUtf8(), QFile::ReadOwner | QFile::WriteOwner))
        return true;
    *error = QStringLiteral("cannot write %1").arg(file);
    return false;
}

std::optional<PostgresCluster> PostgresCluster::load(const QString &file, QString *error)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(file, in.errorString());
        return std::nullopt;
    }
    PostgresCluster cluster;
    for (const QByteArray &line : in.readAll().split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.left(equals);
        const QString value = QString::fromUtf8(line.mid(equals + 1));
        if (key == "root")
            cluster.root = value;
        else if (key == "data")
            cluster.dataDir = value;
        else if (key == "socket")
            cluster.socketDir = value;
        else if (key == "port")
            cluster.port = value.toInt();
        else if (key == "database")
            cluster.database = value;
        else if (key == "admin")
            cluster.adminRole = value;
        else if (key == "password")
            cluster.adminPassword = value;
    }
    if (cluster.socketDir.isEmpty() || cluster.port == 0 || cluster.adminPassword.isEmpty()) {
        *error = QStringLiteral("%1 does not describe a cluster").arg(file);
        return std::nullopt;
    }
    return cluster;
}

PrivatePostgres::PrivatePostgres() = default;

PrivatePostgres::~PrivatePostgres()
{
    if (!m_running)
        return;
    QString error;
    if (!stop(m_cluster, &error))
        qWarning("%s", qPrintable(error));
}

void PrivatePostgres::release()
{
    m_running = false;
    if (m_dir)
        m_dir->setAutoRemove(false);
}

bool PrivatePostgres::start(QString *error)
{
    // Another program may take the free port between the probe and the server's start.
    for (int attempt = 0; attempt < 3; ++attempt) {
        bool portTaken = false;
        if (startOnce(error, &portTaken))
            return true;
        if (!portTaken)
            return false;
    }
    return false;
}

bool PrivatePostgres::startOnce(QString *error, bool *portTaken)
{
    const QString bin = serverBinDir();
    if (bin.isEmpty()) {
        *error = QStringLiteral("No PostgreSQL server programs found (initdb); install the "
                                "postgresql package or set VESK_PG_BINDIR.");
        return false;
    }
    if (runningAsRoot() && !::getpwnam(UnprivilegedAccount)) {
        *error = QStringLiteral("The tests run as root and there is no account \"%1\" to run "
                                "the PostgreSQL server as.")
                     .arg(QString::fromLatin1(UnprivilegedAccount));
        return false;
    }
    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/vesk-pg-XXXXXX"));
    if (!m_dir->isValid()) {
        *error =
            QStringLiteral("Cannot create a temporary directory: %1").arg(m_dir->errorString());
        return false;
    }
    // The unprivileged account must pass through the directory to its own part of it.
    ::chmod(QFile::encodeName(m_dir->path()).constData(), 0711);
    const QString own = m_dir->filePath(QStringLiteral("pg"));
    QDir().mkpath(own);
    ::chmod(QFile::encodeName(own).constData(), 0700);

    m_cluster = PostgresCluster();
    m_cluster.root = m_dir->path();
    m_cluster.dataDir = own + QStringLiteral("/data");
    m_cluster.socketDir = own;
    m_cluster.port = freePort();
    m_cluster.adminPassword = QString::number(QRandomGenerator::system()->generate64(), 36) +
                              QString::number(QRandomGenerator::system()->generate64(), 36);
    const QString passwordFile = own + QStringLiteral("/admin.pw");
    if (m_cluster.port == 0 ||
        !writeFile(passwordFile, m_cluster.adminPassword.toUtf8(),
                   QFile::ReadOwner | QFile::WriteOwner) ||
        !giveToServer(passwordFile) || !giveToServer(own)) {
        *error = QStringLiteral("Cannot prepare %1 for the server.").arg(own);
        return false;
    }

    // The database's own collation is a language's (ICU, en-US), so the tests show that the
    // engine orders text byte by byte on its own account, as on the embedded storage.
    if (!runServerProgram(bin + QStringLiteral("/initdb"),
                          {QStringLiteral("-D"), m_cluster.dataDir, QStringLiteral("-U"),
                           m_cluster.adminRole, QStringLiteral("--pwfile=") + passwordFile,
                           QStringLiteral("--auth=scram-sha-256"), QStringLiteral("-E"),
                           QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"),
                           QStringLiteral("--locale-provider=icu"),
                           QStringLiteral("--icu-locale=en-US"), QStringLiteral("--no-sync")},
                          error))
        return false;
    QFile::remove(passwordFile);

    // A throwaway cluster: durability is not wanted, speed is; unless VESK_PG_DURABLE asks for
    // a server that writes its commits to disk as a site's would (the benchmarks, so that they
    // set like against like: SQLCipher syncs every commit).
    QString settings = QStringLiteral("\nlisten_addresses = '127.0.0.1'\n"
                                      "port = %1\n"
                                      "unix_socket_directories = '%2'\n"
                                      "max_connections = 200\n"
                                      "shared_buffers = 32MB\n")
                           .arg(m_cluster.port)
                           .arg(m_cluster.socketDir);
    if (!qEnvironmentVariableIsSet("VESK_PG_DURABLE"))
        settings += QStringLiteral("fsync = off\n"
                                   "synchronous_commit = off\n"
                                   "full_page_writes = off\n");
    QFile conf(m_cluster.dataDir + QStringLiteral("/postgresql.conf"));
    if (!conf.open(QIODevice::Append) || conf.write(settings.toUtf8()) < 0) {
        *error = QStringLiteral("Cannot configure the server: %1").arg(conf.errorString());
        return false;
    }
    conf.close();

    QString startError;
    if (!runServerProgram(bin + QStringLiteral("/pg_ctl"),
                          {QStringLiteral("-D"), m_cluster.dataDir, QStringLiteral("-l"),
                           own + QStringLiteral("/server.log"), QStringLiteral("-w"),
                           QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("start")},
                          &startError)) {
        const QString log = m_cluster.serverLog();
        *portTaken = log.contains(QLatin1String("could not bind"));
        *error = startError + QStringLiteral("\nServer log:\n") + log;
        return false;
    }
    m_running = true;
    return true;
}

bool PrivatePostgres::control(const PostgresCluster &cluster, const QString &action)
{
    QString error;
    const QString log = QDir(cluster.root).filePath(QStringLiteral("pg/server.log"));
    if (runServerProgram(serverBinDir() + QStringLiteral("/pg_ctl"),
                         {"-D", cluster.dataDir, "-l", log, "-m", "fast", "-w", action}, &error))
        return true;
    qWarning("%s\nServer log:\n%s", qPrintable(error), qPrintable(cluster.serverLog()));
    return false;
}

bool PrivatePostgres::stop(const PostgresCluster &cluster, QString *error)
{
    const QString bin = serverBinDir();
    bool ok = true;
    if (QFile::exists(cluster.dataDir + QStringLiteral("/postmaster.pid"))) {
        ok = runServerProgram(bin + QStringLiteral("/pg_ctl"),
                              {QStringLiteral("-D"), cluster.dataDir, QStringLiteral("-m"),
                               QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("-t"),
                               QStringLiteral("60"), QStringLiteral("stop")},
                              error);
        if (!ok)
            *error += QStringLiteral("\nServer log:\n") + cluster.serverLog();
    }
    // Only what start() made: a temporary directory of the expected name.
    if (ok && QFileInfo(cluster.root).fileName().startsWith(QLatin1String("vesk-pg-")))
        QDir(cluster.root).removeRecursively();
    return ok;
}

} // namespace testsupport
