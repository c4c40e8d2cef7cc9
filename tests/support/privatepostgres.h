#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>

namespace testsupport {

// What a test process needs to use a running cluster of the test run.
struct PostgresCluster {
    QString root; // the temporary directory that holds everything of the cluster
    QString dataDir;
    QString socketDir;
    int port = 0;
    QString database = QStringLiteral("postgres");
    QString adminRole = QStringLiteral("vesk_admin");
    QString adminPassword;

    // A libpq connection string for `role`, through the private socket; never with a password.
    QString connection(const QString &role) const;
    QString serverLog() const;

    bool save(const QString &file, QString *error) const;
    static std::optional<PostgresCluster> load(const QString &file, QString *error);
};

// A PostgreSQL cluster of the test run's own. initdb writes it into a temporary directory, as
// the unprivileged account "nobody" when the tests run as root (the server refuses to run as
// root); it listens on a socket in that directory and on a free port of 127.0.0.1, and every
// connection must give its role's password (SCRAM), so a wrong password really fails. Nothing
// outside the directory is touched. The cluster stops, and its directory goes, with the object,
// unless release() hands it on to a later stop().
class PrivatePostgres
{
public:
    PrivatePostgres();
    ~PrivatePostgres();
    PrivatePostgres(const PrivatePostgres &) = delete;
    PrivatePostgres &operator=(const PrivatePostgres &) = delete;

    // False with the reason, and the server's log, in `error`.
    bool start(QString *error);
    const PostgresCluster &cluster() const { return m_cluster; }
    // Leaves the cluster running and its directory in place when the object goes.
    void release();

    // Stops a cluster (fast shutdown) and removes its directory.
    static bool stop(const PostgresCluster &cluster, QString *error);
    // pg_ctl's `action` (stop, start, restart; fast shutdown) on the cluster's server, waited for;
    // false, after a warning with the server's log, when it failed.
    static bool control(const PostgresCluster &cluster, const QString &action);

private:
    bool startOnce(QString *error, bool *portTaken);

    std::unique_ptr<QTemporaryDir> m_dir;
    PostgresCluster m_cluster;
    bool m_running = false;
};

} // namespace testsupport
