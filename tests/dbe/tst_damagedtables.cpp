// Damaged table files: whatever happened to a file, the engine says which file is damaged, never
// that the password is wrong when that password opens the file's siblings, and never hands out
// what it did not read.

#include "dbe/error.h"
#include "enginefixture.h"
#include "tests/support/damagedfiles.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QTest>

using dbe::Error;
using dbe::Session;
using testsupport::Damage;

Q_DECLARE_METATYPE(testsupport::Damage)

namespace {

constexpr int Items = 120; // enough rows for data and index pages beyond the first

// Everything a reader of the table does: open it on both indexes, walk it, count it, look a key
// up and add a row. Answers how many rows the walks saw.
int useEveryPage(const EngineFixture &db)
{
    auto byId = db.open(QStringLiteral("ITEMS"));
    int seen = 0;
    for (byId->first(); !byId->eof(); byId->next())
        ++seen;
    auto byName = db.open(QStringLiteral("ITEMS"), QStringLiteral("ByName"));
    for (byName->first(); !byName->eof(); byName->next())
        ++seen;
    if (byName->recordCount() != Items || !byName->findKey({QStringLiteral("item 077")}))
        throw std::logic_error("the table answered wrongly instead of failing");
    byName->append();
    byName->setString(QStringLiteral("Name"), QStringLiteral("new"));
    byName->post();
    return seen;
}

} // namespace

class DamagedTablesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { testsupport::isolateEngineConfig(); }

    void cleanup()
    {
        Session::instance().setPasswordPrompt({});
        Session::instance().removeAllPasswords();
        Session::instance().closeDatabases();
    }

    void namesTheDamagedFileInsteadOfBlamingThePassword_data()
    {
        QTest::addColumn<Damage>("damage");
        QTest::addColumn<bool>("siblingOpenFirst");
        for (const auto &[name, damage] : testsupport::allDamages()) {
            QTest::newRow(qPrintable(name)) << damage << false;
            QTest::newRow(qPrintable(name + QStringLiteral(", a sibling open already")))
                << damage << true;
        }
    }
    void namesTheDamagedFileInsteadOfBlamingThePassword()
    {
        QFETCH(Damage, damage);
        QFETCH(bool, siblingOpenFirst);
        EngineFixture db;
        {
            auto items = db.open(QStringLiteral("ITEMS"));
            dbe::Transaction batch(*Session::instance().database(db.alias()));
            for (int i = 0; i < Items; ++i) {
                items->append();
                items->setString(QStringLiteral("Name"),
                                 QStringLiteral("item %1").arg(i, 3, 10, QLatin1Char('0')));
                items->post();
            }
            batch.commit();
        }
        db.addPair(1, 2, QStringLiteral("C"));
        Session::instance().closeDatabases();
        QVERIFY(testsupport::damageFile(db.dir() + QStringLiteral("/ITEMS.DB"), damage));

        std::unique_ptr<dbe::Table> sibling;
        if (siblingOpenFirst)
            sibling = db.open(QStringLiteral("PAIRS"));
        try {
            const int seen = useEveryPage(db);
            QFAIL(qPrintable(QStringLiteral("the damage went unnoticed; %1 rows read").arg(seen)));
        } catch (const Error &e) {
            const Error::Code expected =
                damage == Damage::Missing ? Error::TableNotFound : Error::Damaged;
            QVERIFY2(e.code() == expected, qPrintable(e.text()));
            QVERIFY2(e.text().contains(QStringLiteral("ITEMS.DB")), qPrintable(e.text()));
        }
        // The siblings are untouched and still open with the same password.
        QCOMPARE(db.open(QStringLiteral("PAIRS"))->recordCount(), 1);
    }

    // The other way round: an intact database with a password that is not its own is still
    // a wrong password, not damage; and a damaged file is not mistaken for a password to ask.
    void keepsWrongPasswordsApartFromDamage_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<QString>("known");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("prompts");
        QTest::newRow("intact, wrong password")
            << false << "wrong" << QString() << int(Error::BadPassword) << 1;
        QTest::newRow("intact, wrong password typed")
            << false << QString() << "wrong" << int(Error::BadPassword) << 1;
        QTest::newRow("damaged, right password known: nobody is asked")
            << true << "Secret"
            << "Secret" << int(Error::Damaged) << 0;
        QTest::newRow("damaged, right password typed")
            << true << QString() << "Secret" << int(Error::Damaged) << 1;
        QTest::newRow("damaged, wrong password typed")
            << true << QString() << "wrong" << int(Error::BadPassword) << 1;
    }
    void keepsWrongPasswordsApartFromDamage()
    {
        QFETCH(bool, damaged);
        QFETCH(QString, known);
        QFETCH(QString, typed);
        QFETCH(int, expected);
        QFETCH(int, prompts);
        EngineFixture db;
        db.addItem(QStringLiteral("x"));
        if (damaged)
            QVERIFY(testsupport::damageFile(db.dir() + QStringLiteral("/ITEMS.DB"),
                                            Damage::FirstPageFlipped));
        Session &session = Session::instance();
        session.removeAllPasswords();
        session.closeDatabases();
        if (!known.isEmpty())
            session.addPassword(known);
        int asked = 0;
        session.setPasswordPrompt([&](const QString &) -> std::optional<QString> {
            ++asked;
            return typed.isEmpty() ? std::nullopt : std::optional<QString>(typed);
        });
        try {
            db.open(QStringLiteral("ITEMS"));
            QFAIL("the table opened");
        } catch (const Error &e) {
            QVERIFY2(e.code() == Error::Code(expected), qPrintable(e.text()));
            QVERIFY2(e.text().contains(QStringLiteral("ITEMS.DB")), qPrintable(e.text()));
        }
        QCOMPARE(asked, prompts);
    }
};

QTEST_GUILESS_MAIN(DamagedTablesTest)
#include "tst_damagedtables.moc"
