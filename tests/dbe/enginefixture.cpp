#include "enginefixture.h"

#include "dbe/error.h"

using dbe::FieldDef;
using dbe::FieldType;
using dbe::IndexDef;

EngineFixture::EngineFixture(const QString &alias) : m_place(alias, QString::fromLatin1(Password))
{
    dbe::Session &session = dbe::Session::instance();
    session.addPassword(QString::fromLatin1(Password));
    auto db = session.database(alias);
    for (const dbe::TableDef &def : {itemsDef(), pairsDef()}) {
        db->createTable(def, QString::fromLatin1(Password), true);
    }
}

dbe::TableDef EngineFixture::itemsDef()
{
    return {QStringLiteral("ITEMS"),
            {FieldDef{QStringLiteral("Item_ID"), FieldType::AutoInc, 0},
             FieldDef{QStringLiteral("Name"), FieldType::Alpha, 10},
             FieldDef{QStringLiteral("Qty"), FieldType::LongInt, 0},
             FieldDef{QStringLiteral("Stamp"), FieldType::Timestamp, 0},
             FieldDef{QStringLiteral("Day"), FieldType::Date, 0},
             FieldDef{QStringLiteral("Flag"), FieldType::Logical, 0}},
            {IndexDef{
                 QStringLiteral("ITEMID"), 1, {QStringLiteral("Item_ID")}, true, true, true, false},
             IndexDef{
                 QStringLiteral("ByName"), 2, {QStringLiteral("Name")}, false, false, true, true}}};
}

dbe::TableDef EngineFixture::pairsDef()
{
    return {QStringLiteral("PAIRS"),
            {FieldDef{QStringLiteral("A"), FieldType::LongInt, 0},
             FieldDef{QStringLiteral("B"), FieldType::LongInt, 0},
             FieldDef{QStringLiteral("T"), FieldType::Alpha, 1}},
            {IndexDef{QStringLiteral("PAIRKEY"),
                      1,
                      {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("T")},
                      true,
                      true,
                      true,
                      false}}};
}

std::unique_ptr<dbe::Table> EngineFixture::open(const QString &table, const QString &index,
                                                bool exclusive) const
{
    auto t = std::make_unique<dbe::Table>();
    t->setDatabaseName(alias());
    t->setTableName(table);
    t->setIndexName(index);
    t->setExclusive(exclusive);
    t->open();
    return t;
}

int EngineFixture::addItem(const QString &name, int qty)
{
    auto t = open(QStringLiteral("ITEMS"));
    t->append();
    t->setString(QStringLiteral("Name"), name);
    t->setInteger(QStringLiteral("Qty"), qty);
    t->post();
    return t->asInteger(QStringLiteral("Item_ID"));
}

void EngineFixture::addPair(int a, int b, const QString &type)
{
    auto t = open(QStringLiteral("PAIRS"));
    t->append();
    t->setInteger(QStringLiteral("A"), a);
    t->setInteger(QStringLiteral("B"), b);
    t->setString(QStringLiteral("T"), type);
    t->post();
}

dbe::Error::Code codeOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const dbe::Error &e) {
        return e.code();
    }
    return dbe::Error::Code(0);
}
