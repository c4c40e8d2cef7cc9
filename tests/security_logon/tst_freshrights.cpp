// Access tests answer from the rights the component keeps in memory; these tests hold them to
// being exactly as fresh as reading the tables: every commit to the rights or to a group's
// members, by whoever makes it, counts at the very next test.

#include "dbe/database.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "logontestkit.h"
#include "rightsfixture.h"
#include "tests/support/testsupport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>
#include <atomic>
#include <map>
#include <set>

using namespace logontest;
using testsupport::SecurityDb;

namespace {

// One row change of USERACC ("UserAcc", user, id, type) or GRPCOLL ("GrpColl", group, constant).
struct Change {
    bool add = true;
    QString table;
    QStringList key;
};

// Somebody other than the component who changes rights. change() returns once the change is
// committed, false (after saying why) when it could not be made.
class RightsWriter
{
public:
    virtual ~RightsWriter() = default;
    virtual bool change(const Change &change) = 0;
};

// The engine's own tables, on a connection of the test process: the component's own (as a setup
// editor inside the host), or a second one (as the desktop on the same machine).
class EngineWriter : public RightsWriter
{
public:
    explicit EngineWriter(const QString &alias) : m_alias(alias) {}

    bool change(const Change &change) override
    {
        std::unique_ptr<dbe::Table> &table = m_tables[change.table];
        if (!table) {
            table = std::make_unique<dbe::Table>();
            table->setDatabaseName(m_alias);
            table->setTableName(change.table);
            table->open();
        }
        return changeRow(*table, change.add, change.key);
    }

private:
    QString m_alias;
    std::map<QString, std::unique_ptr<dbe::Table>> m_tables;
};

// A process that stays up and makes each change it is given on its input, then says "done N"
// on its output: another host, or a plain client of the storage.
class ProcessWriter : public RightsWriter
{
public:
    ~ProcessWriter() override
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished();
    }

    bool change(const Change &change) override { return perform(commandFor(change)); }

    // Sends `command` and waits for its acknowledgement.
    bool perform(const QString &command)
    {
        ++m_changes;
        m_process.write((command + acknowledgement(m_changes)).toUtf8());
        const QByteArray done = QStringLiteral("done %1").arg(m_changes).toUtf8();
        const QDeadlineTimer deadline(20000);
        while (!m_output.contains(done)) {
            if (m_process.state() == QProcess::NotRunning || deadline.hasExpired() ||
                !m_process.waitForReadyRead(int(deadline.remainingTime()))) {
                qWarning("the writer did not answer: %s %s", m_output.constData(),
                         m_process.readAllStandardError().constData());
                return false;
            }
            m_output += m_process.readAllStandardOutput();
        }
        return true;
    }

protected:
    void start(const QString &program, const QStringList &arguments,
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        m_process.setProcessEnvironment(environment);
        m_process.start(program, arguments);
        m_process.waitForStarted();
    }
    // A client of somebody else's, started without buffering its output, so that "done" shows
    // as soon as it is printed. (This executable flushes its own; preloading stdbuf's library
    // into it would upset the sanitizers.)
    void startUnbuffered(const QString &program, const QStringList &arguments,
                         const QProcessEnvironment &environment)
    {
        start(QStringLiteral("stdbuf"), QStringList{QStringLiteral("-o0"), program} + arguments,
              environment);
    }
    void send(const QString &text) { m_process.write(text.toUtf8()); }
    virtual QString commandFor(const Change &change) const = 0;
    // What makes the process say "done N" once the command is through; nothing for a process
    // that says it by itself.
    virtual QString acknowledgement(int) const { return {}; }

private:
    QProcess m_process;
    QByteArray m_output;
    int m_changes = 0;
};

// Another host: this executable's child task, through the engine.
class HostProcessWriter : public ProcessWriter
{
public:
    explicit HostProcessWriter(const SecurityDb &db)
    {
        start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--child"), QStringLiteral("rightsloop"), db.databaseName(),
               db.password()});
    }

protected:
    QString commandFor(const Change &change) const override
    {
        return QStringLiteral("%1 %2 %3\n")
            .arg(change.add ? QStringLiteral("add") : QStringLiteral("remove"), change.table,
                 change.key.join(u' '));
    }
};

// A plain client with the master password: the sqlcipher shell on the table files, or psql on
// the schema. It knows the tables only by their SQL names.
class PlainClientWriter : public ProcessWriter
{
public:
    explicit PlainClientWriter(const SecurityDb &db) : m_onServer(db.dir().isEmpty())
    {
        const QString master = db.password();
        if (m_onServer) {
            const dbe::AliasInfo alias = dbe::Session::instance().alias(db.alias());
            m_prefix = QStringLiteral("\"%1\".").arg(alias.schema);
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("PGPASSWORD"), master);
            startUnbuffered(QStringLiteral("psql"),
                            {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"),
                             QStringLiteral("-t"), QStringLiteral("-v"),
                             QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"),
                             alias.connection},
                            environment);
        } else {
            startUnbuffered(QStringLiteral("sqlcipher"),
                            {QStringLiteral("-batch"), QStringLiteral("-bail"),
                             db.dir() + QStringLiteral("/USERACC.DB")},
                            QProcessEnvironment::systemEnvironment());
            send(QStringLiteral("PRAGMA key='%1';\nATTACH DATABASE '%2' AS GRPCOLL KEY '%1';\n")
                     .arg(master, db.dir() + QStringLiteral("/GRPCOLL.DB")));
        }
    }

protected:
    QString commandFor(const Change &change) const override
    {
        const bool rights = change.table == QStringLiteral("UserAcc");
        const QStringList columns = rights ? QStringList{"User_ID", "Access_ID", "Type"}
                                           : QStringList{"Group_ID", "Access_ID"};
        QStringList values;
        QStringList conditions;
        for (int i = 0; i < columns.size(); ++i) {
            bool isNumber = false;
            change.key.at(i).toInt(&isNumber);
            const QString value =
                isNumber ? change.key.at(i) : QStringLiteral("'%1'").arg(change.key.at(i));
            values.append(value);
            conditions.append(QStringLiteral("%1 = %2").arg(column(columns.at(i)), value));
        }
        QStringList quoted;
        for (const QString &name : columns)
            quoted.append(column(name));
        const QString table =
            rights ? rightsTable()
                   : (m_onServer ? m_prefix + "grpcoll" : QStringLiteral("GRPCOLL.GRPCOLL"));
        const QString statement = change.add
                                      ? QStringLiteral("INSERT INTO %1 (%2) VALUES (%3);")
                                            .arg(table, quoted.join(QStringLiteral(", ")),
                                                 values.join(QStringLiteral(", ")))
                                      : QStringLiteral("DELETE FROM %1 WHERE %2;")
                                            .arg(table, conditions.join(QStringLiteral(" AND ")));
        return statement + u'\n';
    }
    QString acknowledgement(int changes) const override
    {
        return QStringLiteral("SELECT 'done %1';\n").arg(changes);
    }

public:
    // The rights table as this client names it.
    QString rightsTable() const { return m_onServer ? m_prefix + "useracc" : "main.USERACC"; }

private:
    QString column(const QString &name) const { return m_onServer ? name.toLower() : name; }

    bool m_onServer;
    QString m_prefix;
};

enum class WriterKind { SameConnection, SecondConnection, HostProcess, PlainClient };

std::unique_ptr<RightsWriter> writerFor(WriterKind kind, const SecurityDb &db)
{
    switch (kind) {
    case WriterKind::SameConnection:
        return std::make_unique<EngineWriter>(db.alias());
    case WriterKind::SecondConnection: {
        const QString second = QStringLiteral("SECONDSTATION");
        if (!dbe::Session::instance().hasAlias(second))
            db.place().addAliasForTheSamePlace(second);
        return std::make_unique<EngineWriter>(second);
    }
    case WriterKind::HostProcess:
        return std::make_unique<HostProcessWriter>(db);
    case WriterKind::PlainClient:
        return std::make_unique<PlainClientWriter>(db);
    }
    return nullptr;
}

} // namespace

Q_DECLARE_METATYPE(WriterKind)

class FreshRightsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every test runs once per storage.
    void initTestCase_data() { testsupport::addStorageRows(); }
    void init() { testsupport::followStorageRow(); }
    void cleanup()
    {
        if (dbe::Session::instance().hasAlias(QStringLiteral("SECONDSTATION")))
            dbe::Session::instance().deleteAlias(QStringLiteral("SECONDSTATION"));
    }

    void everyWriterCountsAtTheNextTest_data();
    void everyWriterCountsAtTheNextTest();
    void ownTransactionCountsUntilItIsRolledBack();
    void commitsRacingTheTestsAreNeverMissed();
    void plainClientSwitchingTheWatchOffIsStillSeen();
};

void FreshRightsTest::everyWriterCountsAtTheNextTest_data()
{
    QTest::addColumn<WriterKind>("kind");
    QTest::newRow("setup editor in the host") << WriterKind::SameConnection;
    QTest::newRow("desktop on this machine") << WriterKind::SecondConnection;
    QTest::newRow("another host") << WriterKind::HostProcess;
    QTest::newRow("plain client") << WriterKind::PlainClient;
}

void FreshRightsTest::everyWriterCountsAtTheNextTest()
{
    QFETCH(WriterKind, kind);

    RightsFixture fixture(false);
    fixture.grant(fixture.tester, QStringLiteral("G3"));
    const auto component = activatedComponent(fixture.db);
    QVERIFY(component->LogonEx(QStringLiteral("Tester"), QStringLiteral("pw")));
    const std::unique_ptr<RightsWriter> writer = writerFor(kind, fixture.db);
    const QString tester = QString::number(fixture.tester);

    // Each answer comes right after a commit, with the answers before it kept in memory.
    QVERIFY(component->HasAccess(7));
    QVERIFY(!component->HasAccess(4));
    for (int round = 0; round < 10; ++round) {
        QVERIFY(writer->change({true, "UserAcc", {tester, "4", "C"}}));
        QVERIFY(component->HasAccess(4));
        QVERIFY(component->TestAccess(4));
        QVERIFY(writer->change({false, "UserAcc", {tester, "4", "C"}}));
        QVERIFY(!component->TestAccess(4));
        QVERIFY(!component->HasAccess(4));
    }

    QVERIFY(writer->change({true, "GrpColl", {"3", "9"}}));
    QVERIFY(component->TestAccess(9));
    QVERIFY(writer->change({false, "GrpColl", {"3", "7"}}));
    QVERIFY(!component->TestAccess(7));
    QVERIFY(component->TestAccess(8));
    QVERIFY(writer->change({false, "UserAcc", {tester, "3", "G"}}));
    QVERIFY(!component->TestAccess(8));
    QVERIFY(!component->TestAccess(9));
    QVERIFY(writer->change({true, "UserAcc", {tester, "5", "G"}}));
    QVERIFY(component->TestAccess(2));
    QVERIFY(writer->change({false, "GrpColl", {"5", "2"}}));
    QVERIFY(!component->TestAccess(2));

    // Somebody else's rights change nothing for the tester.
    QVERIFY(writer->change({true, "UserAcc", {QString::number(fixture.neighbour), "6", "C"}}));
    QVERIFY(!component->TestAccess(6));
}

void FreshRightsTest::ownTransactionCountsUntilItIsRolledBack()
{
    RightsFixture fixture(false);
    fixture.grant(fixture.tester, QStringLiteral("G3"));
    const auto component = activatedComponent(fixture.db);
    QVERIFY(component->LogonEx(QStringLiteral("Tester"), QStringLiteral("pw")));
    QVERIFY(!component->HasAccess(4));

    EngineWriter writer(fixture.db.alias());
    const QString tester = QString::number(fixture.tester);
    QVERIFY(writer.change({true, "UserAcc", {tester, "1", "C"}})); // opens the table first
    QVERIFY(component->HasAccess(1));
    {
        // A setup editor of the host in the middle of a change: the tables show what it has
        // written so far, and so does the component.
        const std::shared_ptr<dbe::Database> database =
            dbe::Session::instance().database(fixture.db.alias());
        dbe::Transaction transaction(*database);
        QVERIFY(writer.change({true, "UserAcc", {tester, "4", "C"}}));
        QVERIFY(writer.change({false, "UserAcc", {tester, "1", "C"}}));
        QVERIFY(component->HasAccess(4));
        QVERIFY(!component->HasAccess(1));
    }
    // Rolled back: as it was before.
    QVERIFY(!component->HasAccess(4));
    QVERIFY(component->HasAccess(1));
    QVERIFY(component->HasAccess(7));
}

void FreshRightsTest::commitsRacingTheTestsAreNeverMissed()
{
    RightsFixture fixture(false);
    fixture.grant(fixture.tester, QStringLiteral("G3"));
    const auto component = activatedComponent(fixture.db);
    QVERIFY(component->LogonEx(QStringLiteral("Tester"), QStringLiteral("pw")));

    QTemporaryFile counterFile;
    QVERIFY(counterFile.open());
    QVERIFY(counterFile.resize(16));
    auto *counters = reinterpret_cast<std::atomic<qint64> *>(counterFile.map(0, 16));
    QVERIFY(counters);
    static_assert(std::atomic<qint64>::is_always_lock_free);
    std::atomic<qint64> &begun = counters[0];
    std::atomic<qint64> &committed = counters[1];

    // Another host grants constant 4 and takes it back, round after round, while this process
    // asks as fast as it can. Whenever no commit began between the committed count read before
    // an answer and the begun count read after it, the answer must be that round's.
    constexpr int Rounds = 100;
    QProcess toggler;
    toggler.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--child"), QStringLiteral("toggle"), fixture.db.databaseName(),
                   fixture.db.password(), QString::number(fixture.tester), QStringLiteral("4"),
                   QString::number(Rounds), counterFile.fileName()});
    QVERIFY(toggler.waitForStarted());

    int checked = 0;
    std::set<qint64> roundsChecked;
    const QDeadlineTimer deadline(120000);
    while (committed.load() < Rounds && toggler.state() != QProcess::NotRunning &&
           !deadline.hasExpired()) {
        const qint64 before = committed.load();
        const bool held = component->HasAccess(4);
        if (begun.load() == before) {
            ++checked;
            roundsChecked.insert(before);
            if (held != (before % 2 == 1))
                QFAIL(qPrintable(
                    QStringLiteral("after round %1 the answer was %2").arg(before).arg(held)));
        }
    }
    QVERIFY(toggler.waitForFinished(30000));
    QCOMPARE(toggler.exitCode(), 0);
    QCOMPARE(committed.load(), qint64(Rounds));
    QVERIFY(!component->HasAccess(4)); // an even number of rounds ends revoked
    qInfo("%d answers in %d of %d rounds checked against the round committed", checked,
          int(roundsChecked.size()), Rounds);
    // The toggler pauses after each commit. A stale answer shows in the first odd round checked
    // after the grant it missed, so a tenth of the rounds is plenty; a machine too busy to ask in
    // fewer of the pauses tells nothing about freshness.
    QVERIFY(int(roundsChecked.size()) >= Rounds / 10);
}

void FreshRightsTest::plainClientSwitchingTheWatchOffIsStillSeen()
{
    RightsFixture fixture(false);
    fixture.grant(fixture.tester, QStringLiteral("G3"));
    const auto component = activatedComponent(fixture.db);
    QVERIFY(component->LogonEx(QStringLiteral("Tester"), QStringLiteral("pw")));
    QVERIFY(component->HasAccess(7));
    PlainClientWriter client(fixture.db);
    const QString tester = QString::number(fixture.tester);
    const bool onServer = fixture.db.dir().isEmpty();

    // SQLCipher: in WAL mode a commit leaves the file's head alone. PostgreSQL: with the
    // counting trigger switched off a commit counts nothing, and switched off and on again
    // around a write nothing is counted either.
    const QString grant =
        QStringLiteral("INSERT INTO %1 VALUES (%2, 4, 'C');").arg(client.rightsTable(), tester);
    if (onServer) {
        QVERIFY(client.perform(QStringLiteral("BEGIN; ALTER TABLE %1 DISABLE TRIGGER "
                                              "dbe_count_change; %2 ALTER TABLE %1 ENABLE TRIGGER "
                                              "dbe_count_change; COMMIT;")
                                   .arg(client.rightsTable(), grant)));
        QVERIFY(component->HasAccess(4));
        QVERIFY(client.perform(QStringLiteral("ALTER TABLE %1 DISABLE TRIGGER dbe_count_change;")
                                   .arg(client.rightsTable())));
    } else {
        QVERIFY(client.perform(QStringLiteral("PRAGMA journal_mode=WAL;")));
        QVERIFY(client.perform(grant));
        QVERIFY(component->HasAccess(4));
    }
    for (int round = 0; round < 3; ++round) {
        QVERIFY(client.change({false, "UserAcc", {tester, "4", "C"}}));
        QVERIFY(!component->HasAccess(4));
        QVERIFY(client.change({true, "UserAcc", {tester, "4", "C"}}));
        QVERIFY(component->HasAccess(4));
    }
}

LOGON_TEST_MAIN(FreshRightsTest)
#include "tst_freshrights.moc"
