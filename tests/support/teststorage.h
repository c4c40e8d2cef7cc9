#pragma once

#include "tests/support/privatepostgres.h"

#include <QString>
#include <QTemporaryDir>
#include <QVariantList>
#include <memory>

namespace dbe {
class Backend;
}

namespace testsupport {

// The storages a database of the tests can live in.
enum class Storage { SqlCipher, Postgres };
QString storageName(Storage storage);

// Called from a test class's initTestCase_data(): every test function then runs once per
// storage, as rows "SQLCipher" and "PostgreSQL", and the fixtures make their databases in the
// row's storage. The class's init() must call followStorageRow().
void addStorageRows(const QList<Storage> &storages = {Storage::SqlCipher, Storage::Postgres});
void followStorageRow();
// The storage of the running row; SQLCipher in test classes without storage rows.
Storage currentStorage();

// The PostgreSQL server of the test run: the cluster that the run's set-up started (the file
// VESK_TEST_POSTGRES describes it), else a private one this process starts for itself and stops
// when it ends. Throws dbe::Error, with the server's log, when there is none to be had.
class TestServer
{
public:
    static TestServer &instance();
    ~TestServer();

    const PostgresCluster &cluster() const { return m_cluster; }
    // A connection string (without password) for a role whose password is `password`; the role
    // is made at first need. A master password stands for a role on the server.
    QString connectionFor(const QString &password);
    // A schema name no test has used.
    QString newSchema();
    // Runs a statement as the cluster's administrator; answers the first column of the first
    // row, if any.
    QVariant execute(const QString &sql, const QVariantList &values = {});

private:
    TestServer();

    std::unique_ptr<PrivatePostgres> m_own;
    PostgresCluster m_cluster;
    std::unique_ptr<dbe::Backend> m_admin;
    int m_schemas = 0;
};

// A fresh place for one database in a storage, reachable through its own alias: a temporary
// directory, or a new schema on the test server (the alias is then saved in the configuration
// file, so that the test's child processes find it too). The alias goes with the object.
class DatabasePlace
{
public:
    DatabasePlace(const QString &alias, const QString &password,
                  Storage storage = currentStorage());
    ~DatabasePlace();
    DatabasePlace(const DatabasePlace &) = delete;
    DatabasePlace &operator=(const DatabasePlace &) = delete;

    Storage storage() const { return m_storage; }
    QString alias() const { return m_alias; }
    // The directory of the table files; empty on a server.
    QString dir() const;
    QString schema() const { return m_schema; }
    // How another process of the test names the database: the directory, or the alias.
    QString databaseName() const;
    // Adds a second alias (not saved) for the same directory or schema: it gets a connection of
    // its own.
    void addAliasForTheSamePlace(const QString &alias) const;

private:
    Storage m_storage;
    QString m_alias;
    QTemporaryDir m_dir;
    QString m_schema;
};

} // namespace testsupport
