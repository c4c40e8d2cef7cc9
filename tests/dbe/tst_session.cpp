// The engine session: aliases and their configuration file, passwords and the prompt, queries,
// table creation results.

#include "dbe/error.h"
#include "dbe/query.h"
#include "enginefixture.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QTest>
#include <pwd.h>
#include <unistd.h>

using dbe::Error;
using dbe::Session;

class SessionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { testsupport::addStorageRows(); }
    void initTestCase() { testsupport::isolateEngineConfig(); }
    void init() { testsupport::followStorageRow(); }

    void cleanup()
    {
        Session::instance().setPasswordPrompt({});
        Session::instance().removeAllPasswords();
    }

    void listsAliasesSortedAndRefusesDuplicates()
    {
        QTemporaryDir dir;
        Session &session = Session::instance();
        for (const char *name : {"zeta", "Alpha", "beta"})
            session.addStandardAlias(QString::fromLatin1(name), dir.path());
        const QStringList names = session.aliasNames();
        QVERIFY(names.indexOf(QStringLiteral("Alpha")) < names.indexOf(QStringLiteral("beta")));
        QVERIFY(names.indexOf(QStringLiteral("beta")) < names.indexOf(QStringLiteral("zeta")));
        try {
            session.addStandardAlias(QStringLiteral("ALPHA"), dir.path());
            QFAIL("a duplicate alias was added");
        } catch (const Error &e) {
            QCOMPARE(e.code(), Error::DuplicateAlias);
        }
        for (const char *name : {"zeta", "Alpha", "beta"})
            session.deleteAlias(QString::fromLatin1(name));
    }

    void keepsSavedAliasesInTheConfigurationFile()
    {
        QTemporaryDir dir;
        Session &session = Session::instance();
        session.addStandardAlias(QStringLiteral("Saved"), dir.path());
        session.saveConfig();
        session.addStandardAlias(QStringLiteral("Unsaved"), dir.path());

        QFile file(session.configFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY(text.contains(QStringLiteral("[Saved]")));
        QVERIFY(text.contains(QStringLiteral("PATH=") + dir.path()));
        QVERIFY(text.contains(QStringLiteral("DEFAULT DRIVER=PARADOX")));

        session.reloadConfig();
        QVERIFY(session.hasAlias(QStringLiteral("saved")));
        QVERIFY(!session.hasAlias(QStringLiteral("Unsaved")));
        QCOMPARE(session.directoryOf(QStringLiteral("Saved")), dir.path());
        session.deleteAlias(QStringLiteral("Saved"));
        session.reloadConfig();
        QVERIFY(!session.hasAlias(QStringLiteral("Saved")));
    }

    void savingKeepsAliasesAnotherProgramSaved()
    {
        QTemporaryDir dir;
        Session &session = Session::instance();
        session.addStandardAlias(QStringLiteral("Mine"), dir.path());
        {
            QFile file(session.configFile());
            QVERIFY(file.open(QIODevice::Append | QIODevice::Text));
            file.write("[Theirs]\nTYPE=STANDARD\nPATH=/srv/theirs\nDEFAULT DRIVER=PARADOX\n");
        }
        session.saveConfig();
        session.reloadConfig();
        QVERIFY(session.hasAlias(QStringLiteral("Mine")));
        QCOMPARE(session.directoryOf(QStringLiteral("Theirs")), QStringLiteral("/srv/theirs"));
        session.deleteAlias(QStringLiteral("Mine"));
        session.deleteAlias(QStringLiteral("Theirs"));
    }

    void opensTablesOnlyWithTheirPassword_data()
    {
        QTest::addColumn<QStringList>("known");
        QTest::addColumn<bool>("opens");
        QTest::newRow("no password") << QStringList{} << false;
        QTest::newRow("wrong password") << QStringList{"secret"} << false;
        QTest::newRow("right one among others") << QStringList{"x", "Secret"} << true;
    }
    void opensTablesOnlyWithTheirPassword()
    {
        QFETCH(QStringList, known);
        QFETCH(bool, opens);
        EngineFixture db;
        Session::instance().removeAllPasswords();
        Session::instance().closeDatabases();
        for (const QString &password : known)
            Session::instance().addPassword(password);
        dbe::Table t;
        t.setDatabaseName(db.alias());
        t.setTableName(QStringLiteral("ITEMS"));
        try {
            t.open();
            QVERIFY(opens);
        } catch (const Error &e) {
            QVERIFY2(!opens, qPrintable(e.text()));
            QCOMPARE(e.code(), Error::BadPassword);
        }
    }

    void asksThePromptOncePerOpen_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("opens");
        QTest::newRow("right") << "Secret" << false << true;
        QTest::newRow("wrong") << "secret" << false << false;
        QTest::newRow("cancelled") << QString() << true << false;
    }
    void asksThePromptOncePerOpen()
    {
        QFETCH(QString, answer);
        QFETCH(bool, cancel);
        QFETCH(bool, opens);
        EngineFixture db;
        Session &session = Session::instance();
        session.removeAllPasswords();
        session.closeDatabases();
        QStringList asked;
        session.setPasswordPrompt([&](const QString &table) -> std::optional<QString> {
            asked.append(table);
            if (cancel)
                return std::nullopt;
            return answer;
        });
        dbe::Table t;
        t.setDatabaseName(db.alias());
        t.setTableName(QStringLiteral("Items"));
        bool opened = true;
        try {
            t.open();
        } catch (const Error &e) {
            opened = false;
            QCOMPARE(e.code(), Error::BadPassword);
        }
        QCOMPARE(opened, opens);
        QCOMPARE(asked, QStringList{QStringLiteral("ITEMS.DB")});
        // A password that worked is remembered: the next table opens without asking.
        QCOMPARE(session.passwords().contains(QStringLiteral("Secret")), opens);
    }

    void queriesNameRepeatedColumnsWithASuffix()
    {
        EngineFixture db;
        db.addItem(QStringLiteral("pen"), 3);
        db.addPair(1, 1, QStringLiteral("C"));
        dbe::Query q;
        q.setDatabaseName(db.alias());
        q.addLine(QStringLiteral("SELECT Items.Item_ID, Items.Name, Pairs.A AS Item_ID"));
        q.addLine(QStringLiteral("  FROM Items, Pairs"));
        q.addLine(QStringLiteral("  WHERE Pairs.A = Items.Item_ID"));
        q.open();
        QStringList names;
        for (const dbe::FieldInfo &f : q.fields())
            names.append(f.name);
        QCOMPARE(names, QStringList({"Item_ID", "Name", "Item_ID_1"}));
        QCOMPARE(q.fieldInfo(QStringLiteral("Name")).size, 10);
        QCOMPARE(q.fieldInfo(QStringLiteral("Name")).type, dbe::FieldType::Alpha);
        QCOMPARE(q.recordCount(), 1);
        QCOMPARE(q.asString(QStringLiteral("Name")), QStringLiteral("pen"));
        q.close();

        dbe::Query twoStatements;
        twoStatements.setDatabaseName(db.alias());
        twoStatements.setSql({QStringLiteral("SELECT 1; DELETE FROM Items")});
        QVERIFY_THROWS_EXCEPTION(Error, twoStatements.open());
        QCOMPARE(db.open(QStringLiteral("ITEMS"))->recordCount(), 1);
    }

    void reportsCreationFailuresWithCodeAndText()
    {
        EngineFixture db;
        auto database = Session::instance().database(db.alias());

        const auto failureOf = [&](const dbe::TableDef &def, bool overwrite) {
            try {
                database->createTable(def, QStringLiteral("Secret"), overwrite);
            } catch (const Error &error) {
                return error;
            }
            return Error(QString(), Error::NoError);
        };
        const Error again = failureOf(EngineFixture::itemsDef(), false);
        QCOMPARE(again.code(), Error::TableExists);
        QVERIFY(again.text().contains(QStringLiteral("ITEMS.DB")));

        dbe::TableDef broken = EngineFixture::itemsDef();
        broken.name = QStringLiteral("BROKEN");
        broken.indexes.first().fields = {QStringLiteral("Missing")};
        QCOMPARE(failureOf(broken, true).code(), Error::InvalidDefinition);
        QVERIFY(!database->tableNames().contains(QStringLiteral("BROKEN")));

        {
            auto open = db.open(QStringLiteral("ITEMS"));
            const Error busy = failureOf(EngineFixture::itemsDef(), true);
            QCOMPARE(busy.code(), Error::Locked);
            QVERIFY(!busy.text().isEmpty());
        }
        db.addItem(QStringLiteral("x"));
        QCOMPARE(failureOf(EngineFixture::itemsDef(), true).code(), Error::NoError);
        QCOMPARE(db.open(QStringLiteral("ITEMS"))->recordCount(), 0);
    }

    void namesTheProcessOwnerAsNetworkUser()
    {
        const passwd *entry = getpwuid(geteuid());
        QVERIFY(entry);
        QCOMPARE(Session::netUserName(), QString::fromLocal8Bit(entry->pw_name));
    }
};

QTEST_GUILESS_MAIN(SessionTest)
#include "tst_session.moc"
