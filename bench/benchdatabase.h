#pragma once

#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/storage.h"
#include "dbe/table.h"
#include "rules/createtables.h"
#include "rules/schema.h"
#include "tests/support/teststorage.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <string>
#include <initializer_list>
#include <memory>
#include <utility>

// Whether the command line holds `flag` (a benchmark's own option, such as --postgres), which
// is then taken out of it: Google Benchmark refuses options it does not know.
inline bool takeOwnFlag(int &argc, char **argv, const char *flag)
{
    char **const end = argv + argc;
    char **const found =
        std::find_if(argv + 1, end, [flag](const char *argument) { return std::string(argument) == flag; });
    if (found == end)
        return false;
    std::rotate(found, found + 1, end);
    --argc;
    return true;
}

// An empty security database for a benchmark: the seven tables in a temporary directory, or in
// a schema of a private PostgreSQL cluster that the benchmark starts and stops itself, under
// their own alias, in an engine configuration of the benchmark's own, never the user's.
class BenchDatabase
{
public:
    BenchDatabase(const QString &alias, const QString &master) : m_alias(alias), m_master(master) {}

    // False, after saying why on the error output, when the tables could not be made. The files
    // go to `keptDir` when one is named (it outlives the run), else to a temporary directory.
    bool create(bool onServer = false, const QString &keptDir = {})
    {
        dbe::Session &session = useOwnConfig();
        if (onServer) {
            std::fprintf(stderr, "starting a private PostgreSQL cluster...\n");
            qputenv("VESK_PG_DURABLE", "1"); // commits synced to disk, as SQLCipher's are
            try {
                testsupport::TestServer &server = testsupport::TestServer::instance();
                session.addServerAlias(m_alias, dbe::storage::PostgresDriver,
                                       server.connectionFor(m_master), server.newSchema());
            } catch (const dbe::Error &error) {
                std::fprintf(stderr, "no PostgreSQL server: %s\n", qPrintable(error.text()));
                return false;
            }
        } else {
            session.addStandardAlias(m_alias, keptDir.isEmpty() ? m_dataDir.path() : keptDir);
        }
        try {
            security::createSecurityTables(m_alias, m_master);
        } catch (const dbe::Error &error) {
            std::fprintf(stderr, "cannot create the database: %s\n", qPrintable(error.text()));
            return false;
        }
        return true;
    }

    // Takes up the database an earlier run left in `dir`; false when it holds none.
    bool reopen(const QString &dir)
    {
        if (!QFileInfo::exists(dir + QStringLiteral("/") + security::tables::Log))
            return false;
        dbe::Session &session = useOwnConfig();
        session.addStandardAlias(m_alias, dir);
        session.addPassword(m_master);
        return true;
    }

private:
    dbe::Session &useOwnConfig()
    {
        qputenv("VESK_DBE_CONFIG", (m_configDir.path() + QStringLiteral("/dbe.ini")).toLocal8Bit());
        dbe::Session &session = dbe::Session::instance();
        session.reloadConfig();
        return session;
    }

    QString m_alias;
    QString m_master;
    QTemporaryDir m_configDir;
    QTemporaryDir m_dataDir;
};

// A table of the benchmark's database, open.
inline std::unique_ptr<dbe::Table> openBenchTable(const QString &alias, const QString &name)
{
    auto table = std::make_unique<dbe::Table>();
    table->setDatabaseName(alias);
    table->setTableName(name);
    table->open();
    return table;
}

// Appends one row with the given field values.
inline void appendRow(dbe::Table &table, std::initializer_list<std::pair<QString, QVariant>> values)
{
    table.append();
    for (const auto &[field, value] : values)
        table.setValue(field, value);
    table.post();
}

// The seven security tables of the benchmark's database, open. A benchmark that fills them in
// one transaction opens them first: the engine attaches table files only outside one.
struct BenchTables {
    explicit BenchTables(const QString &alias)
        : program(openBenchTable(alias, security::tables::Program)),
          access(openBenchTable(alias, security::tables::Access)),
          groups(openBenchTable(alias, security::tables::Groups)),
          members(openBenchTable(alias, security::tables::GrpColl)),
          users(openBenchTable(alias, security::tables::Users)),
          rights(openBenchTable(alias, security::tables::UserAcc)),
          log(openBenchTable(alias, security::tables::Log))
    {
    }

    std::unique_ptr<dbe::Table> program, access, groups, members, users, rights, log;
};
