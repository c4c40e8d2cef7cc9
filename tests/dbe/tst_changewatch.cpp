// The change watch of the table files: it must end with every commit to a watched file, whoever
// makes it, and must not be given where it could miss one.

#include "dbe/changewatch.h"
#include "enginefixture.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <cstdio>

using dbe::Error;
using dbe::Session;

namespace {

// Runs the plain SQLCipher shell on one table file with the fixture's password.
bool plainShell(const EngineFixture &db, const QString &table, const QString &script)
{
    QProcess shell;
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.start(QStringLiteral("sqlcipher"),
                {QStringLiteral("-batch"), QStringLiteral("-bail"),
                 db.dir() + QLatin1Char('/') + table + QStringLiteral(".DB")});
    shell.write(QStringLiteral("PRAGMA key='%1';\n%2\n")
                    .arg(QString::fromLatin1(EngineFixture::Password), script)
                    .toUtf8());
    shell.closeWriteChannel();
    const bool finished = shell.waitForFinished(30000);
    const QByteArray output = shell.readAll();
    if (!finished || shell.exitCode() != 0)
        qWarning("sqlcipher failed: %s", output.constData());
    return finished && shell.exitCode() == 0;
}

// A watch over ITEMS taken the way a reader takes one: in a transaction that has read the table.
std::unique_ptr<dbe::ChangeWatch> watchItems(const EngineFixture &db)
{
    const std::shared_ptr<dbe::Database> database = Session::instance().database(db.alias());
    auto items = db.open(QStringLiteral("ITEMS"));
    db.open(QStringLiteral("PAIRS"));
    dbe::Transaction transaction(*database);
    items->first();
    auto watch = database->watchChanges({QStringLiteral("ITEMS")});
    transaction.commit();
    return watch;
}

enum class Writer { OwnConnection, SecondConnection, PlainClient };

void addItemThrough(Writer writer, EngineFixture &db)
{
    switch (writer) {
    case Writer::OwnConnection:
        db.addItem(QStringLiteral("own"));
        break;
    case Writer::SecondConnection: {
        db.place().addAliasForTheSamePlace(QStringLiteral("SECOND"));
        dbe::Table items;
        items.setDatabaseName(QStringLiteral("SECOND"));
        items.setTableName(QStringLiteral("ITEMS"));
        items.open();
        items.append();
        items.setString(QStringLiteral("Name"), QStringLiteral("second"));
        items.post();
        break;
    }
    case Writer::PlainClient:
        QVERIFY(plainShell(db, QStringLiteral("ITEMS"),
                           QStringLiteral("INSERT INTO ITEMS (Name) VALUES ('plain');")));
        break;
    }
}

} // namespace

Q_DECLARE_METATYPE(Writer)

class ChangeWatchTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { testsupport::isolateEngineConfig(); }
    void cleanup()
    {
        Session::instance().closeDatabases();
        if (Session::instance().hasAlias(QStringLiteral("SECOND")))
            Session::instance().deleteAlias(QStringLiteral("SECOND"));
    }

    void everyCommitToTheFileEndsTheWatch_data()
    {
        QTest::addColumn<Writer>("writer");
        QTest::newRow("own connection") << Writer::OwnConnection;
        QTest::newRow("second connection") << Writer::SecondConnection;
        QTest::newRow("plain sqlcipher client") << Writer::PlainClient;
    }

    void everyCommitToTheFileEndsTheWatch()
    {
        QFETCH(Writer, writer);
        EngineFixture db;
        db.addItem(QStringLiteral("first"));
        const auto watch = watchItems(db);
        QVERIFY(watch);
        QVERIFY(watch->unchanged());

        // Reading and writing other tables leaves it standing.
        db.addPair(1, 2, QStringLiteral("x"));
        QCOMPARE(db.open(QStringLiteral("ITEMS"))->recordCount(), 1);
        QVERIFY(watch->unchanged());

        addItemThrough(writer, db);
        QVERIFY(!watch->unchanged());
    }

    // A restore renames its copy into the table's place while a reader's transaction reads the
    // file that had the name: the watch, set on the new file, must not stand for those rows.
    void fileReplacedUnderItsNameEndsTheWatchAtOnce()
    {
        EngineFixture db;
        db.addItem(QStringLiteral("first"));
        const QString file = db.dir() + QStringLiteral("/ITEMS.DB");
        QVERIFY(QFile::copy(file, file + QStringLiteral(".copy")));
        const std::shared_ptr<dbe::Database> database = Session::instance().database(db.alias());
        auto items = db.open(QStringLiteral("ITEMS"));
        dbe::Transaction transaction(*database);
        items->first();
        QCOMPARE(::rename(QFile::encodeName(file + QStringLiteral(".copy")).constData(),
                          QFile::encodeName(file).constData()),
                 0);
        const auto watch = database->watchChanges({QStringLiteral("ITEMS")});
        transaction.commit();
        QVERIFY(watch);
        QVERIFY(!watch->unchanged());
    }

    void noWatchWhereACommitCouldGoUnseen()
    {
        EngineFixture db;
        db.addItem(QStringLiteral("first"));
        const std::shared_ptr<dbe::Database> database = Session::instance().database(db.alias());
        auto items = db.open(QStringLiteral("ITEMS"));

        // Outside a transaction nothing holds the file still while the head is copied.
        QCOMPARE(codeOf([&] { database->watchChanges({QStringLiteral("ITEMS")}); }),
                 Error::WrongState);
        {
            // What the transaction wrote is not in the file yet, and may never be.
            dbe::Transaction transaction(*database);
            db.addItem(QStringLiteral("pending"));
            QVERIFY(!database->watchChanges({QStringLiteral("ITEMS")}));
        }

        // In WAL mode a commit leaves the file's first page alone.
        const auto beforeWal = watchItems(db);
        QVERIFY(beforeWal);
        QVERIFY(
            plainShell(db, QStringLiteral("ITEMS"), QStringLiteral("PRAGMA journal_mode=WAL;")));
        QVERIFY(!beforeWal->unchanged());
        QVERIFY(!watchItems(db));
    }
};

QTEST_GUILESS_MAIN(ChangeWatchTest)
#include "tst_changewatch.moc"
