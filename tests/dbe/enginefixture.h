#pragma once

#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "tests/support/teststorage.h"

#include <functional>
#include <memory>

// A database of two small tables that exercise every field type and key shape the engine
// offers: ITEMS (autoincrement key, case-blind secondary index) and PAIRS (three-part key). It
// lives in the storage of the running test row.
class EngineFixture
{
public:
    static constexpr const char *Password = "Secret";

    explicit EngineFixture(const QString &alias = QStringLiteral("ENGINE"));

    QString alias() const { return m_place.alias(); }
    // The directory of the table files (SQLCipher only).
    QString dir() const { return m_place.dir(); }
    // How another process names the database.
    QString databaseName() const { return m_place.databaseName(); }
    testsupport::Storage storage() const { return m_place.storage(); }
    const testsupport::DatabasePlace &place() const { return m_place; }

    static dbe::TableDef itemsDef();
    static dbe::TableDef pairsDef();

    std::unique_ptr<dbe::Table> open(const QString &table, const QString &index = {},
                                     bool exclusive = false) const;
    int addItem(const QString &name, int qty = 0);
    void addPair(int a, int b, const QString &t);

private:
    testsupport::DatabasePlace m_place;
};

// The code of the engine error `action` throws; 0 when it throws none.
dbe::Error::Code codeOf(const std::function<void()> &action);
