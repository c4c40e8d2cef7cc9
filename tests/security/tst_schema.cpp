// The security tables as created: files, encryption, structure, failures, the vesksec tool.

#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/sqlcipher/sqlcipherkeys.h"
#include "dbe/table.h"
#include "rules/createtables.h"
#include "rules/schema.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QTest>

namespace {

const QStringList AllTables = {"ACCESS", "GROUPS", "GRPCOLL", "LOG", "PROGRAM", "USERACC", "USERS"};

// Runs the plain SQLCipher shell on a table file, as any outside client would.
QString sqlcipher(const QString &file, const QString &script)
{
    QProcess shell;
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.start(QStringLiteral("sqlcipher"), {QStringLiteral("-batch"), file});
    shell.write(script.toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(30000);
    return QString::fromUtf8(shell.readAll()).trimmed();
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("*.DB")}, QDir::Files, QDir::Name);
}

} // namespace

class SchemaTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { testsupport::isolateEngineConfig(); }

    void createsSevenTablesWithTheirExactStructure()
    {
        testsupport::SecurityDb db;
        QStringList expectedFiles;
        for (const QString &name : AllTables)
            expectedFiles.append(name + QStringLiteral(".DB"));
        QCOMPARE(filesIn(db.dir()), expectedFiles);
        QCOMPARE(security::securityTables().size(), 7);
        int indexes = 0;
        for (const dbe::TableDef &def : security::securityTables()) {
            dbe::Table t;
            t.setDatabaseName(db.alias());
            t.setTableName(def.name);
            t.open();
            QCOMPARE(t.definition(), def);
            QVERIFY(t.isEmpty());
            indexes += int(def.indexes.size());
        }
        QCOMPARE(indexes, 9);
        const dbe::TableDef &users = security::securityTable(QStringLiteral("users"));
        QCOMPARE(users.fields.size(), 9);
        QCOMPARE(users.index(QStringLiteral("UserName"))->caseInsensitive, true);
        QCOMPARE(security::securityTable(QStringLiteral("GRPCOLL")).primaryIndex()->name,
                 QStringLiteral("GROUPID"));
    }

    void encryptsEveryFileReadableOnlyWithTheMasterPassword()
    {
        testsupport::SecurityDb db(QStringLiteral("ENC"), QStringLiteral("Master1"));
        for (const QString &name : AllTables) {
            QFile file(db.dir() + QLatin1Char('/') + name + QStringLiteral(".DB"));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY2(!file.read(16).startsWith("SQLite format 3"), qPrintable(name));
        }
        const QString usersFile = db.dir() + QStringLiteral("/USERS.DB");
        QVERIFY(sqlcipher(usersFile, QStringLiteral("SELECT count(*) FROM sqlite_master;\n"))
                    .contains(QStringLiteral("not a database")));
        QVERIFY(sqlcipher(usersFile, QStringLiteral("PRAGMA key='master1';\nSELECT count(*) FROM "
                                                    "sqlite_master;\n"))
                    .contains(QStringLiteral("not a database")));
        const QStringList info =
            sqlcipher(usersFile,
                      QStringLiteral("PRAGMA key='Master1';\nPRAGMA table_info(USERS);\n"))
                .split(QLatin1Char('\n'));
        QStringList columns;
        for (const QString &line : info)
            columns.append(line.section(QLatin1Char('|'), 1, 1));
        QCOMPARE(columns.join(QLatin1Char(',')),
                 QStringLiteral("User_ID,User_Name,User_Password,User_Def1,User_Def2,"
                                "User_LastAccess,User_AccessCount,User_Enabled,User_Admin"));
    }

    // The seven files share one salt, so that a process derives one key from the master
    // password for the whole database, and a plain client still opens each file with it.
    void derivesOneKeyPerDatabase()
    {
        // Every known password is tried on a file until one opens it: know only this one.
        dbe::Session &session = dbe::Session::instance();
        const QStringList known = session.passwords();
        session.removeAllPasswords();
        session.addPassword(QStringLiteral("One key only"));
        const auto restore = qScopeGuard([&] {
            session.removeAllPasswords();
            for (const QString &password : known)
                session.addPassword(password);
        });
        const int before = dbe::sqlcipherkeys::derivationCount();
        testsupport::SecurityDb db(QStringLiteral("ONEKEY"), QStringLiteral("One key only"));
        QByteArray salt;
        for (const QString &name : AllTables) {
            const QString file = db.dir() + QLatin1Char('/') + name + QStringLiteral(".DB");
            dbe::Table t;
            t.setDatabaseName(db.alias());
            t.setTableName(name);
            t.open();
            const QByteArray fileSalt = dbe::sqlcipherkeys::saltOf(file);
            QCOMPARE(fileSalt.size(), dbe::sqlcipherkeys::SaltSize);
            if (salt.isEmpty())
                salt = fileSalt;
            QCOMPARE(fileSalt.toHex(), salt.toHex());
        }
        QCOMPARE(dbe::sqlcipherkeys::derivationCount() - before, 1);
        for (const QString &name : AllTables) {
            const QString count = sqlcipher(
                db.dir() + QLatin1Char('/') + name + QStringLiteral(".DB"),
                QStringLiteral("PRAGMA key='One key only';\nSELECT count(*) FROM %1;\n").arg(name));
            QVERIFY2(count == QStringLiteral("0") || count == QStringLiteral("1"),
                     qPrintable(name + QStringLiteral(": ") + count));
        }

        // Another database gets a salt of its own.
        testsupport::SecurityDb other(QStringLiteral("OTHERKEY"), QStringLiteral("One key only"));
        QVERIFY(dbe::sqlcipherkeys::saltOf(other.dir() + QStringLiteral("/ACCESS.DB")) != salt);
    }

    // Files made before the tables shared a salt each have their own: every file derives its
    // own key, and opens.
    void opensFilesWithSaltsOfTheirOwn()
    {
        {
            testsupport::SecurityDb db(QStringLiteral("OLDSALTS"), QStringLiteral("Master1"));
            security::fillDemoData(db.alias());
            const QString demoUsers =
                sqlcipher(db.dir() + QStringLiteral("/USERS.DB"),
                          QStringLiteral("PRAGMA key='Master1';\nSELECT group_concat(User_Name) "
                                         "FROM (SELECT User_Name FROM USERS ORDER BY User_ID);\n"));
            dbe::Session::instance().closeDatabases();
            // The plain client writes a copy of each file under a salt of the copy's own.
            for (const QString &name : AllTables) {
                const QString file = db.dir() + QLatin1Char('/') + name + QStringLiteral(".DB");
                const QString copy = file + QStringLiteral(".copy");
                sqlcipher(file, QStringLiteral("PRAGMA key='Master1';\nATTACH DATABASE '%1' AS "
                                               "copy KEY 'Master1';\nSELECT "
                                               "sqlcipher_export('copy');\nDETACH DATABASE copy;\n")
                                    .arg(copy));
                QVERIFY(QFile::remove(file));
                QVERIFY(QFile::rename(copy, file));
            }
            QSet<QByteArray> salts;
            for (const QString &name : AllTables)
                salts.insert(dbe::sqlcipherkeys::saltOf(db.dir() + QLatin1Char('/') + name +
                                                        QStringLiteral(".DB")));
            QCOMPARE(salts.size(), AllTables.size());

            const int before = dbe::sqlcipherkeys::derivationCount();
            QStringList users;
            for (const QString &name : AllTables) {
                dbe::Table t;
                t.setDatabaseName(db.alias());
                t.setTableName(name);
                t.open();
                if (name == QStringLiteral("USERS")) {
                    for (t.first(); !t.eof(); t.next())
                        users.append(t.asString(QStringLiteral("User_Name")));
                }
            }
            QCOMPARE(dbe::sqlcipherkeys::derivationCount() - before, AllTables.size());
            QVERIFY(!users.isEmpty());
            QCOMPARE(users.join(u','), demoUsers);
        }
    }

    void storesValuesInTheirDocumentedForm()
    {
        testsupport::SecurityDb db(QStringLiteral("FORM"), QStringLiteral("Master1"));
        dbe::Table users;
        users.setDatabaseName(db.alias());
        users.setTableName(QStringLiteral("USERS.DB"));
        users.open();
        users.append();
        users.setString(QStringLiteral("User_Name"), QStringLiteral("007"));
        users.setDateTime(QStringLiteral("User_LastAccess"),
                          QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 678)));
        users.setBoolean(QStringLiteral("User_Enabled"), true);
        users.post();
        const QString row = sqlcipher(
            db.dir() + QStringLiteral("/USERS.DB"),
            QStringLiteral("PRAGMA key='Master1';\nSELECT User_ID, User_Name, typeof(User_Name), "
                           "User_LastAccess, User_Enabled, quote(User_Admin), quote(User_Def1) "
                           "FROM USERS;\n"));
        QCOMPARE(row, QStringLiteral("1|007|text|2026-01-02 03:04:05.678|1|NULL|NULL"));
        const QString autoinc = sqlcipher(
            db.dir() + QStringLiteral("/USERS.DB"),
            QStringLiteral(
                "PRAGMA key='Master1';\nSELECT sql FROM sqlite_master WHERE name='USERS';\n"));
        QVERIFY(autoinc.contains(QStringLiteral("\"User_ID\" INTEGER PRIMARY KEY AUTOINCREMENT")));
    }

    void stopsAtTheFirstRefusedTable_data()
    {
        QTest::addColumn<QString>("blocked");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("ACCESS") << "ACCESS"
                                << "DBE Error (ACCESS.DB): " << QStringList{};
        QTest::newRow("GROUPS") << "GROUPS"
                                << "DBE Error (GROUPS.DB): " << QStringList{"ACCESS.DB"};
        QTest::newRow("GRPCOLL") << "GRPCOLL"
                                 << "DBE Error : (GRPCOLL.DB)"
                                 << QStringList{"ACCESS.DB", "GROUPS.DB"};
        QTest::newRow("LOG") << "LOG"
                             << "DBE Error : "
                             << QStringList{"ACCESS.DB", "GROUPS.DB", "GRPCOLL.DB"};
        QTest::newRow("USERS") << "USERS"
                               << "DBE Error : " << QStringList{"ACCESS.DB",  "GROUPS.DB",
                                                                "GRPCOLL.DB", "LOG.DB",
                                                                "PROGRAM.DB", "USERACC.DB"};
    }
    void stopsAtTheFirstRefusedTable()
    {
        QFETCH(QString, blocked);
        QFETCH(QString, prefix);
        QFETCH(QStringList, left);
        QTemporaryDir dir;
        // A folder of the table's name that cannot be removed stands where the file would go.
        QVERIFY(QDir(dir.path()).mkpath(blocked + QStringLiteral(".DB/inside")));
        dbe::Session &session = dbe::Session::instance();
        session.removeAllPasswords();
        session.addStandardAlias(QStringLiteral("BLOCKED"), dir.path());
        QStringList messages;
        try {
            security::createSecurityTables(QStringLiteral("BLOCKED"), QStringLiteral("Pw"));
        } catch (const dbe::Error &error) {
            messages.append(error.text());
        }
        session.deleteAlias(QStringLiteral("BLOCKED"));
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().startsWith(prefix), qPrintable(messages.first()));
        QVERIFY(messages.first().size() > prefix.size()); // the engine's text follows
        QCOMPARE(filesIn(dir.path()), left);
        QVERIFY(!session.passwords().contains(QStringLiteral("Pw")));
    }

    void creatingAgainEmptiesEveryTable()
    {
        testsupport::SecurityDb db(QStringLiteral("AGAIN"), QStringLiteral("Master1"));
        db.setSettings(true, true);
        const int user = db.addUser(QStringLiteral("ann"), QStringLiteral("pw"));
        db.grant(user, db.addAccess(QStringLiteral("Edit")), security::RightConstant);
        security::createSecurityTables(db.alias(), db.password());
        for (const QString &name : AllTables)
            QCOMPARE(db.rowCount(name), 0);
        QCOMPARE(db.addUser(QStringLiteral("bob"), QStringLiteral("pw")), 1);
    }

    void keepsTwoLogRowsOfTheSameMoment()
    {
        testsupport::SecurityDb db(QStringLiteral("LOGS"), QStringLiteral("Master1"));
        const QDateTime now = QDateTime::currentDateTime();
        dbe::Table log;
        log.setDatabaseName(db.alias());
        log.setTableName(QStringLiteral("Log"));
        log.open();
        for (int i = 0; i < 2; ++i) {
            log.append();
            log.setDateTime(QStringLiteral("Access_Date"), now);
            log.setInteger(QStringLiteral("User_ID"), 3);
            log.post();
        }
        QStringList counts;
        for (log.first(); !log.eof(); log.next()) {
            counts.append(log.asString(QStringLiteral("LogCount")));
            QVERIFY(log.isNull(QStringLiteral("Access_ID")));
        }
        QCOMPARE(counts, QStringList({"1", "2"}));
    }

    void commandLineToolCreatesAndFillsADemo()
    {
        QTemporaryDir dir;
        QProcess tool;
        tool.setProcessChannelMode(QProcess::MergedChannels);
        tool.start(QStringLiteral(VESKSEC_PATH),
                   {QStringLiteral("demo"), QStringLiteral("--dir"),
                    dir.path() + QStringLiteral("/db"), QStringLiteral("--alias"),
                    QStringLiteral("CliDemo"), QStringLiteral("--password"),
                    QStringLiteral("Pw9")});
        QVERIFY(tool.waitForFinished(60000));
        QVERIFY2(tool.exitCode() == 0, tool.readAll().constData());

        dbe::Session &session = dbe::Session::instance();
        session.reloadConfig();
        QVERIFY(session.hasAlias(QStringLiteral("CliDemo")));
        session.addPassword(QStringLiteral("Pw9"));
        dbe::Table program;
        program.setDatabaseName(QStringLiteral("CliDemo"));
        program.setTableName(QStringLiteral("Program"));
        program.open();
        QVERIFY(program.asBoolean(QStringLiteral("Enabled")));
        QVERIFY(program.asBoolean(QStringLiteral("LogEnabled")));
        program.close();
        dbe::Table users;
        users.setDatabaseName(QStringLiteral("CliDemo"));
        users.setTableName(QStringLiteral("Users"));
        users.open();
        QVERIFY(users.recordCount() >= 4);
        users.close();

        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("bad/LOG.DB/inside")));
        tool.start(QStringLiteral(VESKSEC_PATH),
                   {QStringLiteral("create"), QStringLiteral("--dir"),
                    dir.path() + QStringLiteral("/bad"), QStringLiteral("--alias"),
                    QStringLiteral("CliBad"), QStringLiteral("--password"), QStringLiteral("Pw9")});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 1);
        QVERIFY(QString::fromUtf8(tool.readAll()).contains(QStringLiteral("DBE Error : ")));
        session.reloadConfig();
        session.deleteAlias(QStringLiteral("CliDemo"));
        QVERIFY(!session.hasAlias(QStringLiteral("CliBad"))); // registered only once created
    }
};

QTEST_GUILESS_MAIN(SchemaTest)
#include "tst_schema.moc"
