#include "tests/support/teststorage.h"

#include "dbe/backend.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/storage.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTest>
#include <unistd.h>

namespace testsupport {

namespace {

bool g_storageRows = false;
Storage g_rowStorage = Storage::SqlCipher;

const char *const StorageColumn = "storage";

} // namespace

QString storageName(Storage storage)
{
    return storage == Storage::Postgres ? QStringLiteral("PostgreSQL")
                                        : QStringLiteral("SQLCipher");
}

void addStorageRows(const QList<Storage> &storages)
{
    QTest::addColumn<int>(StorageColumn);
    for (Storage storage : storages)
        QTest::newRow(qPrintable(storageName(storage))) << int(storage);
    g_storageRows = true;
}

void followStorageRow()
{
    if (!g_storageRows)
        qFatal("followStorageRow() without addStorageRows() in initTestCase_data()");
    QFETCH_GLOBAL(int, storage);
    g_rowStorage = Storage(storage);
}

Storage currentStorage()
{
    return g_rowStorage;
}

TestServer &TestServer::instance()
{
    static TestServer server;
    return server;
}

TestServer::TestServer()
{
    QString error;
    const QString file = qEnvironmentVariable("VESK_TEST_POSTGRES");
    if (!file.isEmpty()) {
        const std::optional<PostgresCluster> cluster = PostgresCluster::load(file, &error);
        if (!cluster)
            throw dbe::Error(
                QStringLiteral("The test run's PostgreSQL cluster is not there: %1").arg(error));
        m_cluster = *cluster;
    } else {
        m_own = std::make_unique<PrivatePostgres>();
        if (!m_own->start(&error))
            throw dbe::Error(
                QStringLiteral("Cannot start a PostgreSQL cluster for the test: %1").arg(error));
        m_cluster = m_own->cluster();
    }

    // The administrator works through the engine's own storage, as any program would.
    dbe::BackendContext context;
    context.databaseName = QStringLiteral("test server administration");
    context.alias.name = context.databaseName;
    context.alias.defaultDriver = dbe::storage::PostgresDriver;
    context.alias.connection = m_cluster.connection(m_cluster.adminRole);
    context.alias.schema = QStringLiteral("public");
    context.credentials = std::make_shared<dbe::Credentials>();
    context.credentials->passwords = {m_cluster.adminPassword};
    context.userName = QStringLiteral("test administrator");
    context.busyTimeoutMs = 10000;
    m_admin = dbe::storage::open(context);
}

TestServer::~TestServer() = default;

QVariant TestServer::execute(const QString &sql, const QVariantList &values)
{
    const std::unique_ptr<dbe::Statement> statement = m_admin->prepare(sql, {});
    for (int i = 0; i < values.size(); ++i)
        statement->bind(i + 1, values[i]);
    return statement->step() ? statement->columnValue(0) : QVariant();
}

QString TestServer::connectionFor(const QString &password)
{
    const QString role =
        QStringLiteral("vesk_") +
        QString::fromLatin1(QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha256)
                                .toHex()
                                .left(16));
    const auto exists = [&] {
        return execute(QStringLiteral("SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = $1"),
                       {role})
            .isValid();
    };
    if (!exists()) {
        try {
            execute(execute(QStringLiteral("SELECT format('CREATE ROLE %I LOGIN PASSWORD %L', "
                                           "$1::text, $2::text)"),
                            {role, password})
                        .toString());
        } catch (const dbe::Error &) {
            if (!exists()) // another test process made it meanwhile
                throw;
        }
        execute(execute(QStringLiteral("SELECT format('GRANT CREATE ON DATABASE %I TO %I', "
                                       "$1::text, $2::text)"),
                        {m_cluster.database, role})
                    .toString());
    }
    return m_cluster.connection(role);
}

QString TestServer::newSchema()
{
    return QStringLiteral("t%1_%2_%3")
        .arg(::getpid())
        .arg(++m_schemas)
        .arg(QRandomGenerator::global()->bounded(0x10000), 4, 16, QLatin1Char('0'));
}

DatabasePlace::DatabasePlace(const QString &alias, const QString &password, Storage storage)
    : m_storage(storage), m_alias(alias)
{
    dbe::Session &session = dbe::Session::instance();
    if (session.hasAlias(alias))
        session.deleteAlias(alias);
    if (storage == Storage::SqlCipher) {
        session.addStandardAlias(alias, m_dir.path());
        return;
    }
    TestServer &server = TestServer::instance();
    m_schema = server.newSchema();
    session.addServerAlias(alias, dbe::storage::PostgresDriver, server.connectionFor(password),
                           m_schema);
    session.saveConfig();
}

DatabasePlace::~DatabasePlace()
{
    dbe::Session &session = dbe::Session::instance();
    if (session.hasAlias(m_alias))
        session.deleteAlias(m_alias);
}

QString DatabasePlace::dir() const
{
    return m_storage == Storage::SqlCipher ? m_dir.path() : QString();
}

void DatabasePlace::addAliasForTheSamePlace(const QString &alias) const
{
    dbe::Session &session = dbe::Session::instance();
    if (m_storage == Storage::SqlCipher) {
        session.addStandardAlias(alias, m_dir.path());
        return;
    }
    const dbe::AliasInfo info = session.alias(m_alias);
    session.addServerAlias(alias, info.defaultDriver, info.connection, info.schema);
}

QString DatabasePlace::databaseName() const
{
    return m_storage == Storage::SqlCipher ? m_dir.path() : m_alias;
}

} // namespace testsupport
