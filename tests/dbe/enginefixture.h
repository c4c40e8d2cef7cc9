#pragma once

#include "dbe/database.h"
#include "dbe/session.h"
#include "dbe/table.h"

#include <QTemporaryDir>

#include <memory>

// A database of two small tables that exercise every field type and key shape the engine
// offers: ITEMS (autoincrement key, case-blind secondary index) and PAIRS (three-part key).
class EngineFixture
{
public:
    static constexpr const char *Password = "Secret";

    explicit EngineFixture(const QString &alias = QStringLiteral("ENGINE"));
    ~EngineFixture();

    QString alias() const { return m_alias; }
    QString dir() const { return m_dir.path(); }

    static dbe::TableDef itemsDef();
    static dbe::TableDef pairsDef();

    std::unique_ptr<dbe::Table> open(const QString &table, const QString &index = {},
                                     bool exclusive = false) const;
    int addItem(const QString &name, int qty = 0);
    void addPair(int a, int b, const QString &t);

private:
    QTemporaryDir m_dir;
    QString m_alias;
};
