// Table cursors: walking, key search, ranges, editing, typed fields, calculated fields, locks.

#include "dbe/error.h"
#include "dbe/keyednames.h"
#include "dbe/query.h"
#include "enginefixture.h"
#include "tests/support/testsupport.h"

#include <QTest>

using dbe::DataSet;
using dbe::Error;
using dbe::Table;

namespace {

// Compares within a loop of named cases, saying which case failed.
#define QCOMPARE_EQ_CASE(name, actual, expected)                                                   \
    QVERIFY2((actual) == (expected), qPrintable(QStringLiteral("%1: got \"%2\", expected \"%3\"")  \
                                                    .arg(QLatin1String(name), actual, expected)))

QStringList walk(Table &t, const QString &field)
{
    QStringList values;
    for (t.first(); !t.eof(); t.next())
        values.append(t.asString(field));
    return values;
}

} // namespace

class TableTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { testsupport::addStorageRows(); }
    void initTestCase() { testsupport::isolateEngineConfig(); }
    void init() { testsupport::followStorageRow(); }

    void walksInIndexOrder()
    {
        EngineFixture db;
        db.addItem(QStringLiteral("cherry"));
        db.addItem(QStringLiteral("apple"));
        db.addItem(QStringLiteral("Banana"));
        auto byId = db.open(QStringLiteral("ITEMS"));
        QCOMPARE(walk(*byId, QStringLiteral("Item_ID")), QStringList({"1", "2", "3"}));
        auto byName = db.open(QStringLiteral("ITEMS"), QStringLiteral("ByName"));
        QCOMPARE(walk(*byName, QStringLiteral("Name")), QStringList({"apple", "Banana", "cherry"}));
        byName->last();
        QCOMPARE(byName->asString(QStringLiteral("Name")), QStringLiteral("cherry"));
        byName->prior();
        QCOMPARE(byName->asString(QStringLiteral("Name")), QStringLiteral("Banana"));
        QVERIFY(!byName->bof());
    }

    void opensByAnyFormOfTheName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("no extension") << "ITEMS";
        QTest::newRow("mixed case") << "Items";
        QTest::newRow("extension") << "ITEMS.DB";
        QTest::newRow("lower extension") << "items.db";
    }
    void opensByAnyFormOfTheName()
    {
        QFETCH(QString, name);
        EngineFixture db;
        db.addItem(QStringLiteral("one"));
        auto t = db.open(name);
        QCOMPARE(t->recordCount(), 1);
        QCOMPARE(t->definition().name, QStringLiteral("ITEMS"));
    }

    void refusesMissingTableAndIndex()
    {
        EngineFixture db;
        Table missing;
        missing.setDatabaseName(db.alias());
        missing.setTableName(QStringLiteral("NOSUCH"));
        try {
            missing.open();
            QFAIL("a missing table opened");
        } catch (const Error &e) {
            QCOMPARE(e.code(), Error::TableNotFound);
            QVERIFY(e.text().contains(QStringLiteral("NOSUCH.DB")));
        }
        QVERIFY(!missing.isOpen());
        QCOMPARE(codeOf([&] { db.open(QStringLiteral("ITEMS"), QStringLiteral("NoIndex")); }),
                 Error::UnknownIndex);
        Table unknownAlias;
        unknownAlias.setDatabaseName(QStringLiteral("NO_SUCH_ALIAS"));
        unknownAlias.setTableName(QStringLiteral("ITEMS"));
        QCOMPARE(codeOf([&] { unknownAlias.open(); }), Error::UnknownAlias);
    }

    void findsWholeKeysCaseBlindOnCaseBlindIndex_data()
    {
        QTest::addColumn<QString>("index");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("found");
        QTest::newRow("exact") << "ByName"
                               << "Banana" << true;
        QTest::newRow("capitals") << "ByName"
                                  << "BANANA" << true;
        QTest::newRow("small letters") << "ByName"
                                       << "banana" << true;
        QTest::newRow("prefix is not the key") << "ByName"
                                               << "Ban" << false;
        QTest::newRow("absent") << "ByName"
                                << "Kiwi" << false;
        QTest::newRow("longer than the field") << "ByName"
                                               << "Bananarama!" << false;
        QTest::newRow("trailing blank counts") << "ByName"
                                               << "Banana " << false;
    }
    void findsWholeKeysCaseBlindOnCaseBlindIndex()
    {
        QFETCH(QString, index);
        QFETCH(QString, key);
        QFETCH(bool, found);
        EngineFixture db;
        db.addItem(QStringLiteral("apple"));
        db.addItem(QStringLiteral("Banana"), 7);
        db.addItem(QStringLiteral("Bananaram"));
        auto t = db.open(QStringLiteral("ITEMS"), index);
        QCOMPARE(t->asString(QStringLiteral("Name")), QStringLiteral("apple"));
        QCOMPARE(t->findKey({key}), found);
        // Found: the cursor stands on the row; not found: it has not moved.
        QCOMPARE(t->asString(QStringLiteral("Name")),
                 found ? QStringLiteral("Banana") : QStringLiteral("apple"));
    }

    void primaryKeySearchIsExact()
    {
        EngineFixture db;
        db.addPair(1, 5, QStringLiteral("C"));
        db.addPair(1, 5, QStringLiteral("G"));
        auto t = db.open(QStringLiteral("PAIRS"));
        QVERIFY(t->findKey({1, 5, QStringLiteral("G")}));
        QCOMPARE(t->asString(QStringLiteral("T")), QStringLiteral("G"));
        QVERIFY(!t->findKey({1, 5, QStringLiteral("g")}));
        QVERIFY(!t->findKey({1, 6, QStringLiteral("C")}));
        QVERIFY(t->findKey({1})); // leading fields only
        QCOMPARE(t->asString(QStringLiteral("T")), QStringLiteral("C"));
    }

    void rangesIncludeBothEnds_data()
    {
        QTest::addColumn<QVariantList>("from");
        QTest::addColumn<QVariantList>("to");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("one user's rows and the end key")
            << QVariantList{1, 0, "A"} << QVariantList{2, 0, "A"}
            << QStringList{"1/1/C", "1/2/G", "2/0/A"};
        QTest::newRow("next user")
            << QVariantList{2, 0, "A"} << QVariantList{3, 0, "A"} << QStringList{"2/0/A", "2/1/C"};
        QTest::newRow("leading field only")
            << QVariantList{2} << QVariantList{2} << QStringList{"2/0/A", "2/1/C"};
        QTest::newRow("empty") << QVariantList{4} << QVariantList{9} << QStringList{};
        QTest::newRow("start after end") << QVariantList{3} << QVariantList{1} << QStringList{};
    }
    void rangesIncludeBothEnds()
    {
        QFETCH(QVariantList, from);
        QFETCH(QVariantList, to);
        QFETCH(QStringList, rows);
        EngineFixture db;
        db.addPair(3, 1, QStringLiteral("C"));
        db.addPair(2, 1, QStringLiteral("C"));
        db.addPair(2, 0, QStringLiteral("A"));
        db.addPair(1, 2, QStringLiteral("G"));
        db.addPair(1, 1, QStringLiteral("C"));
        auto t = db.open(QStringLiteral("PAIRS"));
        t->setRange(from, to);
        QStringList seen;
        for (t->first(); !t->eof(); t->next())
            seen.append(QStringLiteral("%1/%2/%3")
                            .arg(t->asInteger(QStringLiteral("A")))
                            .arg(t->asInteger(QStringLiteral("B")))
                            .arg(t->asString(QStringLiteral("T"))));
        QCOMPARE(seen, rows);
        QCOMPARE(t->recordCount(), rows.size());
        QCOMPARE(t->isEmpty(), rows.isEmpty());
        t->cancelRange();
        QCOMPARE(t->recordCount(), 5);
    }

    void deleteLeavesTheFollowingRow_data()
    {
        QTest::addColumn<QString>("victim");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("left");
        QTest::newRow("first") << "a"
                               << "b" << 2;
        QTest::newRow("middle") << "b"
                                << "c" << 2;
        QTest::newRow("last moves back") << "c"
                                         << "b" << 2;
    }
    void deleteLeavesTheFollowingRow()
    {
        QFETCH(QString, victim);
        QFETCH(QString, after);
        QFETCH(int, left);
        EngineFixture db;
        for (const char *name : {"a", "b", "c"})
            db.addItem(QString::fromLatin1(name));
        auto t = db.open(QStringLiteral("ITEMS"), QStringLiteral("ByName"));
        QVERIFY(t->findKey({victim}));
        t->remove();
        QCOMPARE(t->asString(QStringLiteral("Name")), after);
        QCOMPARE(t->recordCount(), left);
    }

    void deletingTheLastRowLeavesAnEmptyCursor()
    {
        EngineFixture db;
        db.addItem(QStringLiteral("only"));
        auto t = db.open(QStringLiteral("ITEMS"));
        t->remove();
        QVERIFY(t->isEmpty());
        QVERIFY(t->eof());
        QCOMPARE(t->asString(QStringLiteral("Name")), QString());
        QCOMPARE(codeOf([&] { t->remove(); }), Error::WrongState);
    }

    void numbersAutoincrementAtPostWithoutReuse()
    {
        EngineFixture db;
        auto t = db.open(QStringLiteral("ITEMS"));
        t->append();
        t->setString(QStringLiteral("Name"), QStringLiteral("x"));
        QVERIFY(t->isNull(QStringLiteral("Item_ID")));
        t->post();
        QCOMPARE(t->asInteger(QStringLiteral("Item_ID")), 1);
        QCOMPARE(db.addItem(QStringLiteral("y")), 2);
        t->last();
        t->remove();
        QCOMPARE(db.addItem(QStringLiteral("z")), 3);
    }

    void duplicateKeyIsAKeyViolationAtPost()
    {
        EngineFixture db;
        db.addPair(1, 1, QStringLiteral("C"));
        auto t = db.open(QStringLiteral("PAIRS"));
        t->append();
        t->setInteger(QStringLiteral("A"), 1);
        t->setInteger(QStringLiteral("B"), 1);
        t->setString(QStringLiteral("T"), QStringLiteral("C"));
        try {
            t->post();
            QFAIL("a duplicate key was posted");
        } catch (const Error &e) {
            QCOMPARE(e.code(), Error::KeyViolation);
            QCOMPARE(e.text(), QStringLiteral("Key violation."));
        }
        QCOMPARE(t->state(), DataSet::State::Insert);
        t->setString(QStringLiteral("T"), QStringLiteral("G"));
        t->post();
        QCOMPARE(t->recordCount(), 2);
    }

    void refusesABlankRequiredField()
    {
        EngineFixture db;
        auto t = db.open(QStringLiteral("ITEMS"));
        t->fieldInfo(QStringLiteral("Name")).required = true;
        t->append();
        t->setInteger(QStringLiteral("Qty"), 1);
        try {
            t->post();
            QFAIL("a blank required field was posted");
        } catch (const Error &e) {
            QCOMPARE(e.code(), Error::RequiredField);
            QCOMPARE(e.text(), QStringLiteral("Field 'Name' must have a value."));
        }
        t->setString(QStringLiteral("Name"), QStringLiteral("ok"));
        t->post(); // the autoincrement key is blank until the engine numbers it
        QCOMPARE(t->recordCount(), 1);
    }

    void cutsTextToTheFieldAndReadsBlanksAsEmpty()
    {
        EngineFixture db;
        auto t = db.open(QStringLiteral("ITEMS"));
        t->append();
        t->setString(QStringLiteral("Name"), QStringLiteral("ABCDEFGHIJKLMNOP"));
        QCOMPARE(t->asString(QStringLiteral("Name")), QStringLiteral("ABCDEFGHIJ"));
        t->post();
        auto again = db.open(QStringLiteral("ITEMS"));
        QCOMPARE(again->asString(QStringLiteral("Name")), QStringLiteral("ABCDEFGHIJ"));
        QCOMPARE(again->asInteger(QStringLiteral("Qty")), 0);
        QCOMPARE(again->asBoolean(QStringLiteral("Flag")), false);
        QVERIFY(!again->asDateTime(QStringLiteral("Stamp")).isValid());
        QVERIFY(again->isNull(QStringLiteral("Day")));
        again->edit();
        again->setString(QStringLiteral("Name"), QString());
        again->post();
        QVERIFY(again->isNull(QStringLiteral("Name")));
    }

    void keepsTypedValues()
    {
        EngineFixture db;
        const QDateTime stamp(QDate(2026, 3, 4), QTime(5, 6, 7, 89));
        auto t = db.open(QStringLiteral("ITEMS"));
        t->append();
        t->setDateTime(QStringLiteral("Stamp"), stamp);
        t->setValue(QStringLiteral("Day"), QDate(1999, 12, 31));
        t->setBoolean(QStringLiteral("Flag"), true);
        t->setInteger(QStringLiteral("Qty"), -2147483647);
        t->post();
        auto again = db.open(QStringLiteral("ITEMS"));
        QCOMPARE(again->asDateTime(QStringLiteral("Stamp")), stamp);
        QCOMPARE(again->asDate(QStringLiteral("Day")), QDate(1999, 12, 31));
        QCOMPARE(again->asBoolean(QStringLiteral("Flag")), true);
        QCOMPARE(again->asInteger(QStringLiteral("Qty")), -2147483647);
        QCOMPARE(codeOf([&] { again->setInteger(QStringLiteral("Qty"), 1); }), Error::WrongState);
        QCOMPARE(codeOf([&] { (void)again->value(QStringLiteral("Nope")); }), Error::UnknownField);
    }

    void fillsCalculatedFieldsForEveryRow()
    {
        EngineFixture db;
        db.addItem(QStringLiteral("a"), 1);
        db.addItem(QStringLiteral("b"), 2);
        Table t;
        t.setDatabaseName(db.alias());
        t.setTableName(QStringLiteral("ITEMS"));
        t.addCalculatedField(QStringLiteral("Label"), dbe::FieldType::Alpha, 5);
        int calls = 0;
        t.setCalcFieldsHandler([&](DataSet &row) {
            ++calls;
            row.setValue(QStringLiteral("Label"), row.asString(QStringLiteral("Name")).repeated(3) +
                                                      row.asString(QStringLiteral("Qty")));
        });
        t.open();
        QVERIFY(t.fieldInfo(QStringLiteral("Label")).calculated);
        QCOMPARE(walk(t, QStringLiteral("Label")), QStringList({"aaa1", "bbb2"}));
        QVERIFY(calls >= 2);
        QVERIFY(t.findKey({1}));
        QCOMPARE(t.asString(QStringLiteral("Label")), QStringLiteral("aaa1"));
        // Outside the handler a calculated field cannot be written, even while editing.
        t.edit();
        QCOMPARE(codeOf([&] { t.setValue(QStringLiteral("Label"), QStringLiteral("x")); }),
                 Error::WrongState);
        t.cancel();
    }

    void findsManyKeysAtOnce_data()
    {
        QTest::addColumn<QVariantList>("keys");
        QTest::addColumn<QVariantList>("range");
        QTest::addColumn<int>("found");
        QTest::newRow("a few, in any order") << QVariantList{3, 1, 2} << QVariantList{} << 3;
        QTest::newRow("absent and blank keys")
            << QVariantList{999, QVariant(), 2} << QVariantList{} << 1;
        QVariantList all;
        for (int id = 1; id <= 40; ++id)
            all.append(id);
        QTest::newRow("more than one statement holds") << all << QVariantList{} << 40;
        QTest::newRow("within the range") << all << QVariantList{5, 10} << 6;
    }
    // Looked up on the cursor that walks the table: its walk goes on from where it stood.
    void findsManyKeysAtOnce()
    {
        QFETCH(QVariantList, keys);
        QFETCH(QVariantList, range);
        QFETCH(int, found);
        EngineFixture db;
        for (int id = 1; id <= 40; ++id)
            db.addItem(QStringLiteral("n%1").arg(id), id);
        auto t = db.open(QStringLiteral("ITEMS"));
        if (!range.isEmpty())
            t->setRange({range[0]}, {range[1]});
        t->first();
        t->next();
        const int walkedFrom = t->asInteger(QStringLiteral("Item_ID"));
        const QList<QVariantList> rows = t->findKeys(keys);
        QCOMPARE(rows.size(), found);
        for (const QVariantList &row : rows)
            QCOMPARE(row.at(1).toString(), QStringLiteral("n%1").arg(row.at(0).toInt()));
        QCOMPARE(t->asInteger(QStringLiteral("Item_ID")), walkedFrom);
        t->next();
        QCOMPARE(t->asInteger(QStringLiteral("Item_ID")), walkedFrom + 1);
    }

    // Names are read for the rows a walk has read ahead, and kept until cleared.
    void keepsNamesReadForTheComingRows()
    {
        EngineFixture db;
        for (int id = 1; id <= 5; ++id)
            db.addItem(QStringLiteral("n%1").arg(id));
        auto walked = db.open(QStringLiteral("ITEMS"));
        auto named = db.open(QStringLiteral("ITEMS"));
        dbe::KeyedNames names(QStringLiteral("Name"));
        walked->first();
        QCOMPARE(
            names.find(*named, 1, dbe::KeyedNames::readAhead(*walked, QStringLiteral("Item_ID"))),
            QStringLiteral("n1"));
        auto gone = db.open(QStringLiteral("ITEMS"));
        QVERIFY(gone->findKey({4}));
        gone->remove();
        QCOMPARE(names.find(*named, 4), QStringLiteral("n4"));
        QCOMPARE(names.find(*named, 9), std::nullopt);
        names.clear();
        QCOMPARE(names.find(*named, 4), std::nullopt);
        QCOMPARE(names.find(*named, 5), QStringLiteral("n5"));
    }

    // A grid that shows rows far apart moves its cursor by position. Names were added out of
    // order, so that the name index's order is not the order of the rows in the file. One
    // database serves every case: making one costs more than all the cases together.
    void seeksByPositionInIndexOrder()
    {
        struct Case {
            const char *name;
            bool query;
            int rangeFrom; // -1: no range
            int position;
            const char *standsOn;
            bool atEnd;
            const char *next; // empty: the move finds no row
        };
        const Case cases[] = {
            {"first", false, -1, 0, "n00", false, "n01"},
            {"past the first batch", false, -1, 33, "n33", false, "n34"},
            {"last", false, -1, 39, "n39", false, ""},
            {"past the end", false, -1, 45, "n39", true, ""},
            {"within a range", false, 10, 5, "n15", false, "n16"},
            {"past the range's end", false, 10, 12, "n19", true, ""},
            {"query: first", true, -1, 0, "n00", false, "n01"},
            {"query: middle", true, -1, 33, "n33", false, "n34"},
            {"query: last", true, -1, 39, "n39", false, ""},
            {"query: past the end", true, -1, 45, "n39", true, ""},
        };
        EngineFixture db;
        for (int i = 0; i < 40; ++i)
            db.addItem(QStringLiteral("n%1").arg(i * 7 % 40, 2, 10, QLatin1Char('0')));
        for (const Case &c : cases) {
            std::unique_ptr<DataSet> rows;
            if (c.query) {
                auto select = std::make_unique<dbe::Query>();
                select->setDatabaseName(db.alias());
                select->setSql({QStringLiteral("SELECT Name FROM ITEMS ORDER BY Name")});
                select->open();
                rows = std::move(select);
            } else {
                auto table = db.open(QStringLiteral("ITEMS"), QStringLiteral("ByName"));
                if (c.rangeFrom >= 0)
                    table->setRange({QStringLiteral("n%1").arg(c.rangeFrom)},
                                    {QStringLiteral("n%1").arg(c.rangeFrom + 9)});
                rows = std::move(table);
            }
            rows->seek(c.position);
            const QString seen = QStringLiteral("%1 eof %2 bof %3")
                                     .arg(rows->asString(QStringLiteral("Name")))
                                     .arg(rows->eof())
                                     .arg(rows->bof());
            QCOMPARE_EQ_CASE(c.name, seen,
                             QStringLiteral("%1 eof %2 bof %3")
                                 .arg(QLatin1String(c.standsOn))
                                 .arg(c.atEnd)
                                 .arg(c.position == 0));
            rows->next();
            const QString after = rows->eof() ? QString() : rows->asString(QStringLiteral("Name"));
            QCOMPARE_EQ_CASE(c.name, after, QLatin1String(c.next));
        }
    }

    void editPostAndCancel()
    {
        EngineFixture db;
        db.addItem(QStringLiteral("pen"), 1);
        auto t = db.open(QStringLiteral("ITEMS"));
        t->edit();
        t->setInteger(QStringLiteral("Qty"), 5);
        t->cancel();
        QCOMPARE(t->asInteger(QStringLiteral("Qty")), 1);
        t->edit();
        t->setInteger(QStringLiteral("Qty"), 6);
        t->post();
        QCOMPARE(db.open(QStringLiteral("ITEMS"))->asInteger(QStringLiteral("Qty")), 6);
        // Moving away saves an edit in progress.
        t->edit();
        t->setInteger(QStringLiteral("Qty"), 7);
        t->first();
        QCOMPARE(t->state(), DataSet::State::Browse);
        QCOMPARE(db.open(QStringLiteral("ITEMS"))->asInteger(QStringLiteral("Qty")), 7);
    }

    void secondEditOfTheSameFieldFailsInsteadOfLosingTheFirst()
    {
        EngineFixture db;
        db.addItem(QStringLiteral("pen"), 1);
        auto first = db.open(QStringLiteral("ITEMS"));
        auto second = db.open(QStringLiteral("ITEMS"));
        first->edit();
        second->edit();
        first->setInteger(QStringLiteral("Qty"), 10);
        first->post();
        second->setInteger(QStringLiteral("Qty"), 20);
        QCOMPARE(codeOf([&] { second->post(); }), Error::RecordChanged);
        second->cancel();
        // A change of another field goes through and keeps the first user's value.
        second->edit();
        second->setString(QStringLiteral("Name"), QStringLiteral("ink"));
        second->post();
        QCOMPARE(second->asInteger(QStringLiteral("Qty")), 10);
        QCOMPARE(second->asString(QStringLiteral("Name")), QStringLiteral("ink"));
    }

    void incrementsInTheDatabase()
    {
        EngineFixture db;
        db.addItem(QStringLiteral("pen"), 1);
        auto a = db.open(QStringLiteral("ITEMS"));
        auto b = db.open(QStringLiteral("ITEMS"));
        a->updateCurrent({}, {{QStringLiteral("Qty"), 1}});
        b->updateCurrent({{QStringLiteral("Flag"), true}}, {{QStringLiteral("Qty"), 1}});
        QCOMPARE(b->asInteger(QStringLiteral("Qty")), 3);
        QCOMPARE(b->asBoolean(QStringLiteral("Flag")), true);
        a->refresh();
        QCOMPARE(a->asInteger(QStringLiteral("Qty")), 3);
    }

    void emptiesOnlyAnExclusiveTable()
    {
        EngineFixture db;
        db.addItem(QStringLiteral("a"));
        db.addItem(QStringLiteral("b"));
        {
            auto shared = db.open(QStringLiteral("ITEMS"));
            QCOMPARE(codeOf([&] { shared->emptyTable(); }), Error::Locked);
            QCOMPARE(codeOf([&] { db.open(QStringLiteral("ITEMS"), {}, true); }), Error::Locked);
        }
        auto exclusive = db.open(QStringLiteral("ITEMS"), {}, true);
        QCOMPARE(codeOf([&] { db.open(QStringLiteral("ITEMS")); }), Error::Locked);
        exclusive->emptyTable();
        QVERIFY(exclusive->isEmpty());
        QCOMPARE(exclusive->recordCount(), 0);
    }

    void listsOneLockPerCursor()
    {
        EngineFixture db;
        auto a = db.open(QStringLiteral("ITEMS"));
        auto b = db.open(QStringLiteral("ITEMS"));
        auto c = db.open(QStringLiteral("ITEMS"), QStringLiteral("ByName"));
        auto other = db.open(QStringLiteral("PAIRS"));
        const QString me = dbe::Session::netUserName();
        QCOMPARE(a->lockHolders(), QStringList({me, me, me}));
        c.reset();
        std::unique_ptr<DataSet> list = a->lockList();
        QCOMPARE(list->recordCount(), 2);
        QCOMPARE(list->asString(QStringLiteral("USERNAME")), me);
        QCOMPARE(other->lockHolders().size(), 1);
    }

    void seesRowsAddedByAnotherCursorAtTheNextMove()
    {
        EngineFixture db;
        db.addItem(QStringLiteral("a"));
        db.addItem(QStringLiteral("c"));
        auto reader = db.open(QStringLiteral("ITEMS"), QStringLiteral("ByName"));
        QVERIFY(!reader->findKey({QStringLiteral("b")}));
        db.addItem(QStringLiteral("b"));
        QVERIFY(reader->findKey({QStringLiteral("a")}));
        reader->next();
        QCOMPARE(reader->asString(QStringLiteral("Name")), QStringLiteral("b"));
    }

    void rollsBackATransaction()
    {
        EngineFixture db;
        auto database = dbe::Session::instance().database(db.alias());
        auto items = db.open(QStringLiteral("ITEMS"));
        auto pairs = db.open(QStringLiteral("PAIRS"));
        {
            dbe::Transaction transaction(*database);
            items->append();
            items->setString(QStringLiteral("Name"), QStringLiteral("gone"));
            items->post();
            pairs->append();
            pairs->setInteger(QStringLiteral("A"), 1);
            pairs->post();
        } // no commit
        QCOMPARE(items->recordCount(), 0);
        QCOMPARE(pairs->recordCount(), 0);
        {
            dbe::Transaction transaction(*database);
            db.addItem(QStringLiteral("kept"));
            transaction.commit();
        }
        QCOMPARE(items->recordCount(), 1);
    }

    // The embedded storage attaches a table's file when it is first opened, which SQLite cannot
    // do inside a transaction; a server has every table at hand.
    void asksForTablesToBeOpenBeforeATransaction()
    {
        EngineFixture db;
        auto database = dbe::Session::instance().database(db.alias());
        auto items = db.open(QStringLiteral("ITEMS"));
        dbe::Transaction transaction(*database);
        try {
            auto pairs = db.open(QStringLiteral("PAIRS"));
            QCOMPARE(db.storage(), testsupport::Storage::Postgres);
            QCOMPARE(pairs->recordCount(), 0);
        } catch (const Error &e) {
            QCOMPARE(db.storage(), testsupport::Storage::SqlCipher);
            QCOMPARE(e.code(), Error::WrongState);
            QCOMPARE(e.text(),
                     QStringLiteral("Table PAIRS.DB must be opened before the transaction "
                                    "starts."));
        }
        QCOMPARE(db.open(QStringLiteral("ITEMS"))->recordCount(), 0); // already open: fine
    }

    // A statement that fails inside a transaction fails alone: what the transaction did before
    // and after it is committed.
    void aFailedStatementLeavesTheTransactionGoing()
    {
        EngineFixture db;
        db.addPair(1, 1, QStringLiteral("C"));
        auto database = dbe::Session::instance().database(db.alias());
        auto pairs = db.open(QStringLiteral("PAIRS"));
        auto items = db.open(QStringLiteral("ITEMS"));
        dbe::Transaction transaction(*database);
        items->append();
        items->setString(QStringLiteral("Name"), QStringLiteral("before"));
        items->post();
        pairs->append();
        pairs->setInteger(QStringLiteral("A"), 1);
        pairs->setInteger(QStringLiteral("B"), 1);
        pairs->setString(QStringLiteral("T"), QStringLiteral("C"));
        QCOMPARE(codeOf([&] { pairs->post(); }), Error::KeyViolation);
        pairs->cancel();
        items->append();
        items->setString(QStringLiteral("Name"), QStringLiteral("after"));
        items->post();
        transaction.commit();
        QCOMPARE(walk(*db.open(QStringLiteral("ITEMS"), QStringLiteral("ByName")),
                      QStringLiteral("Name")),
                 QStringList({"after", "before"}));
    }
};

QTEST_GUILESS_MAIN(TableTest)
#include "tst_table.moc"
