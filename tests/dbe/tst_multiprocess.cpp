// What one process does to a table, another sees: committed rows, table locks, the lock list.
// The test starts copies of itself as the other workstation ("--child ...").

#include "dbe/error.h"
#include "enginefixture.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>

using dbe::Error;

namespace {

const QString Password = QStringLiteral("Secret");

// `database`: a directory (it serves as database name as well as an alias) or, on a server, the
// alias the test saved.
std::unique_ptr<dbe::Table> openIn(const QString &database, const QString &table,
                                   bool exclusive = false)
{
    auto t = std::make_unique<dbe::Table>();
    t->setDatabaseName(database);
    t->setTableName(table);
    t->setIndexName(table == QLatin1String("ITEMS") ? QStringLiteral("ByName") : QString());
    t->setExclusive(exclusive);
    t->open();
    return t;
}

// The other workstation. Modes: hold DIR TABLE COUNT EXCLUSIVE | append DIR NAME | bump DIR NAME
int runChild(const QStringList &args)
{
    dbe::Session::instance().addPassword(Password);
    const QString mode = args.value(0);
    const QString dir = args.value(1);
    try {
        if (mode == QLatin1String("hold")) {
            std::vector<std::unique_ptr<dbe::Table>> held;
            for (int i = 0; i < args.value(3).toInt(); ++i)
                held.push_back(openIn(dir, args.value(2), args.value(4) == QLatin1String("1")));
            std::cout << "ready" << std::endl;
            std::string line;
            std::getline(std::cin, line); // until the parent says so, or goes away
            return 0;
        }
        auto items = openIn(dir, QStringLiteral("ITEMS"));
        if (mode == QLatin1String("append")) {
            items->append();
            items->setString(QStringLiteral("Name"), args.value(2));
            items->post();
            return 0;
        }
        if (mode == QLatin1String("bump") && items->findKey({args.value(2)})) {
            items->updateCurrent({}, {{QStringLiteral("Qty"), 1}});
            return 0;
        }
    } catch (const Error &e) {
        std::cerr << e.text().toStdString() << std::endl;
    }
    return 2;
}

class Child
{
public:
    explicit Child(const QStringList &args)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QCoreApplication::applicationFilePath(),
                        QStringList{QStringLiteral("--child")} + args);
    }
    ~Child()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    bool waitReady()
    {
        while (m_process.waitForReadyRead(10000)) {
            if (m_process.readAll().contains("ready"))
                return true;
        }
        return false;
    }
    int finish()
    {
        m_process.write("quit\n");
        m_process.closeWriteChannel();
        m_process.waitForFinished(20000);
        return m_process.exitCode();
    }
    void killHard()
    {
        ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished(20000);
    }

private:
    QProcess m_process;
};

int runToEnd(const QStringList &args)
{
    Child child(args);
    return child.finish();
}

} // namespace

class MultiProcessTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { testsupport::addStorageRows(); }
    void initTestCase() { testsupport::isolateEngineConfig(); }
    void init() { testsupport::followStorageRow(); }

    void seesAnotherProcessesCommitsAtTheNextLookup()
    {
        EngineFixture db;
        db.addItem(QStringLiteral("Anchor"));
        auto mine = openIn(db.databaseName(), QStringLiteral("ITEMS"));
        QVERIFY(!mine->findKey({QStringLiteral("Zed")}));
        QCOMPARE(runToEnd({QStringLiteral("append"), db.databaseName(), QStringLiteral("Zed")}), 0);
        QVERIFY(mine->findKey({QStringLiteral("ZED")}));
        QCOMPARE(mine->asInteger(QStringLiteral("Qty")), 0);
        QCOMPARE(runToEnd({QStringLiteral("bump"), db.databaseName(), QStringLiteral("Zed")}), 0);
        mine->refresh();
        QCOMPARE(mine->asInteger(QStringLiteral("Qty")), 1);
    }

    void exclusiveUseWaitsForNobody_data()
    {
        QTest::addColumn<bool>("childExclusive");
        QTest::addColumn<bool>("parentExclusive");
        QTest::newRow("exclusive while shared elsewhere") << false << true;
        QTest::newRow("shared while exclusive elsewhere") << true << false;
        QTest::newRow("exclusive while exclusive elsewhere") << true << true;
    }
    void exclusiveUseWaitsForNobody()
    {
        QFETCH(bool, childExclusive);
        QFETCH(bool, parentExclusive);
        EngineFixture db;
        Child holder({QStringLiteral("hold"), db.databaseName(), QStringLiteral("ITEMS"),
                      QStringLiteral("1"),
                      childExclusive ? QStringLiteral("1") : QStringLiteral("0")});
        QVERIFY(holder.waitReady());
        QElapsedTimer timer;
        timer.start();
        try {
            openIn(db.databaseName(), QStringLiteral("ITEMS"), parentExclusive);
            QFAIL("opened while another process held the table");
        } catch (const Error &e) {
            QCOMPARE(e.code(), Error::Locked);
        }
        QVERIFY2(timer.elapsed() < 2000, "the refusal must not wait");
        QCOMPARE(holder.finish(), 0);
        QVERIFY(openIn(db.databaseName(), QStringLiteral("ITEMS"), parentExclusive)->isOpen());
    }

    void listsEveryProcessesLocksAndForgetsDeadOnes()
    {
        EngineFixture db;
        auto mine = openIn(db.databaseName(), QStringLiteral("PAIRS"));
        Child holder({QStringLiteral("hold"), db.databaseName(), QStringLiteral("PAIRS"),
                      QStringLiteral("2"), QStringLiteral("0")});
        QVERIFY(holder.waitReady());
        QCOMPARE(mine->lockHolders().size(), 3);
        // A workstation that crashed leaves its marker files behind, or its connection, which
        // the server ends as soon as it notices.
        holder.killHard();
        QTRY_COMPARE_WITH_TIMEOUT(mine->lockHolders(), QStringList{dbe::Session::netUserName()},
                                  5000);
        QVERIFY(openIn(db.databaseName(), QStringLiteral("PAIRS"))->isOpen());
    }

    // The log can be cleared (an exclusive open) once a program that held it open crashed.
    void aCrashedHolderDoesNotKeepTheTableFromExclusiveUse()
    {
        EngineFixture db;
        db.addPair(1, 1, QStringLiteral("C"));
        Child holder({QStringLiteral("hold"), db.databaseName(), QStringLiteral("PAIRS"),
                      QStringLiteral("1"), QStringLiteral("0")});
        QVERIFY(holder.waitReady());
        QCOMPARE(codeOf([&] { openIn(db.databaseName(), QStringLiteral("PAIRS"), true); }),
                 Error::Locked);
        holder.killHard();
        // The server notices the dead connection within moments; the open is retried until
        // then (not with QTRY_*, which evaluates its condition once more at the end).
        std::unique_ptr<dbe::Table> exclusive;
        QString refusal;
        QElapsedTimer waited;
        waited.start();
        while (!exclusive && waited.elapsed() < 5000) {
            try {
                exclusive = openIn(db.databaseName(), QStringLiteral("PAIRS"), true);
            } catch (const Error &e) {
                refusal = e.text();
                QTest::qWait(50);
            }
        }
        QVERIFY2(exclusive, qPrintable(refusal));
        exclusive->emptyTable();
        QCOMPARE(exclusive->recordCount(), 0);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 1 && args.at(1) == QLatin1String("--child")) {
        testsupport::isolateEngineConfig();
        return runChild(args.mid(2));
    }
    MultiProcessTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_multiprocess.moc"
