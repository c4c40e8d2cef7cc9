// vesk_pgcluster: starts and stops the PostgreSQL cluster of a test run, for CTest's fixture.
//
//   vesk_pgcluster start FILE   start a private cluster, describe it in FILE
//   vesk_pgcluster stop FILE    stop the cluster FILE describes, remove its directory and FILE
//
// A failed start prints the server's log and ends with exit code 1, so that the tests that need
// the server are not run and the run fails.

#include "tests/support/privatepostgres.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

using testsupport::PostgresCluster;
using testsupport::PrivatePostgres;

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "vesk_pgcluster: %s\n", qPrintable(message));
    return 1;
}

bool stopDescribed(const QString &file, QString *error)
{
    const std::optional<PostgresCluster> cluster = PostgresCluster::load(file, error);
    if (!cluster)
        return false;
    if (!PrivatePostgres::stop(*cluster, error))
        return false;
    QFile::remove(file);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return fail(QStringLiteral("usage: vesk_pgcluster start|stop FILE"));
    const QString file = args.at(2);
    QString error;
    if (args.at(1) == QLatin1String("start")) {
        // A cluster an earlier run could not stop (it was killed) goes first.
        if (QFile::exists(file) && !stopDescribed(file, &error))
            std::fprintf(stderr, "vesk_pgcluster: an earlier cluster: %s\n", qPrintable(error));
        PrivatePostgres server;
        if (!server.start(&error))
            return fail(error);
        if (!server.cluster().save(file, &error))
            return fail(error);
        server.release();
        std::printf("PostgreSQL cluster running in %s, port %d\n",
                    qPrintable(server.cluster().root), server.cluster().port);
        return 0;
    }
    if (args.at(1) == QLatin1String("stop"))
        return stopDescribed(file, &error) ? 0 : fail(error);
    return fail(QStringLiteral("unknown command %1").arg(args.at(1)));
}
