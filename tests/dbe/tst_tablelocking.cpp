// Sharing tables: how long a writer waits for a busy table and what it says then, markers of
// programs that died, and two operating-system accounts of one group working on one database.
// The test starts copies of itself as the other programs ("--child ...").

#include "dbe/error.h"
#include "enginefixture.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <grp.h>
#include <iostream>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using dbe::Error;
using dbe::Session;

namespace {

const QString Password = QString::fromLatin1(EngineFixture::Password);

std::unique_ptr<dbe::Table> openItems(const QString &databaseName)
{
    auto table = std::make_unique<dbe::Table>();
    table->setDatabaseName(databaseName);
    table->setTableName(QStringLiteral("ITEMS"));
    table->open();
    return table;
}

void appendItem(dbe::Table &items, const QString &name)
{
    items.append();
    items.setString(QStringLiteral("Name"), name);
    items.post();
}

mode_t modeOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

gid_t groupOf(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_gid : gid_t(-1);
}

// The other account. Modes: create DIR (the tables) | hold DIR (ITEMS open until told) |
// write DIR NAME (a row, then the lock list on standard output).
int runChild(const QStringList &args)
{
    ::umask(007); // a site that shares its databases with a group
    testsupport::isolateEngineConfig();
    Session::instance().addPassword(Password);
    const QString mode = args.value(0);
    const QString dir = args.value(1);
    try {
        if (mode == QLatin1String("create")) {
            auto db = Session::instance().database(dir);
            for (const dbe::TableDef &def :
                 {EngineFixture::itemsDef(), EngineFixture::pairsDef()}) {
                db->createTable(def, Password, false);
            }
            return 0;
        }
        auto items = openItems(dir);
        if (mode == QLatin1String("hold")) {
            appendItem(*items, QStringLiteral("first's"));
            std::cout << "ready" << std::endl;
            std::string line;
            std::getline(std::cin, line);
            return 0;
        }
        if (mode == QLatin1String("write")) {
            appendItem(*items, args.value(2));
            std::cout << items->lockHolders().join(QLatin1Char(',')).toStdString() << std::endl;
            return 0;
        }
    } catch (const Error &e) {
        std::cerr << e.text().toStdString() << std::endl;
    }
    return 2;
}

// An account of its own for a child: numeric ids that no account of the machine uses, so the
// test needs no changes to the system's user database.
struct Account {
    uid_t uid;
    QString name;
};

uid_t unusedUid(uid_t from)
{
    for (uid_t uid = from; uid < from + 1000; ++uid) {
        if (!::getpwuid(uid))
            return uid;
    }
    return 0;
}

gid_t unusedGid(gid_t from)
{
    for (gid_t gid = from; gid < from + 1000; ++gid) {
        if (!::getgrgid(gid))
            return gid;
    }
    return 0;
}

class AccountProcess
{
public:
    // Runs this executable as `account` in `group` when the test runs as root, else as the
    // test's own account.
    AccountProcess(const Account &account, gid_t group, const QStringList &args)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("USER"), account.name);
        environment.insert(QStringLiteral("HOME"), QDir::tempPath());
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QStringList childArgs = QStringList{QStringLiteral("--child")} + args;
        if (::geteuid() == 0) {
            m_process.start(QStringLiteral("setpriv"),
                            QStringList{QStringLiteral("--reuid=%1").arg(account.uid),
                                        QStringLiteral("--regid=%1").arg(group),
                                        QStringLiteral("--clear-groups"), QStringLiteral("--"),
                                        QCoreApplication::applicationFilePath()} +
                                childArgs);
        } else {
            m_process.start(QCoreApplication::applicationFilePath(), childArgs);
        }
    }
    ~AccountProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    bool waitReady()
    {
        while (m_process.waitForReadyRead(20000)) {
            m_output += m_process.readAllStandardOutput();
            if (m_output.contains("ready"))
                return true;
        }
        return false;
    }
    int finish()
    {
        m_process.write("quit\n");
        m_process.closeWriteChannel();
        m_process.waitForFinished(30000);
        m_output += m_process.readAllStandardOutput();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    QString output() const { return QString::fromUtf8(m_output).trimmed(); }

private:
    QProcess m_process;
    QByteArray m_output;
};

} // namespace

class TableLockingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { testsupport::isolateEngineConfig(); }

    void cleanup()
    {
        Session::instance().setBusyTimeout(-1);
        Session::instance().closeDatabases();
    }

    // A row written by another connection holds the table; a second writer waits as long as the
    // session or the alias says, then names the table that is busy.
    void waitsAsConfiguredAndNamesTheBusyTable_data()
    {
        QTest::addColumn<int>("aliasTimeout");   // BUSY TIMEOUT in the alias's section; -1: none
        QTest::addColumn<int>("sessionTimeout"); // -1: none
        QTest::addColumn<bool>("setWhileOpen");  // the session's setting made after opening
        QTest::addColumn<bool>("atCommit"); // the holder only reads; the writer fails at commit
        QTest::addColumn<int>("expectedMs");
        QTest::newRow("the session's setting") << -1 << 200 << false << false << 200;
        QTest::newRow("the alias's setting") << 400 << -1 << false << false << 400;
        QTest::newRow("the session's over the alias's") << 5000 << 100 << false << false << 100;
        QTest::newRow("set while the table is open") << -1 << 150 << true << false << 150;
        QTest::newRow("busy at commit") << -1 << 200 << false << true << 200;
    }
    void waitsAsConfiguredAndNamesTheBusyTable()
    {
        QFETCH(int, aliasTimeout);
        QFETCH(int, sessionTimeout);
        QFETCH(bool, setWhileOpen);
        QFETCH(bool, atCommit);
        QFETCH(int, expectedMs);
        EngineFixture db;
        db.addItem(QStringLiteral("seed"));
        Session &session = Session::instance();
        {
            QFile config(session.configFile());
            QVERIFY(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
            config.write(QStringLiteral("[BUSYALIAS]\nPATH=%1\n").arg(db.dir()).toUtf8());
            if (aliasTimeout >= 0)
                config.write(QByteArray("BUSY TIMEOUT=") + QByteArray::number(aliasTimeout) + "\n");
        }
        session.reloadConfig();
        session.addPassword(Password);
        if (!setWhileOpen)
            session.setBusyTimeout(sessionTimeout);

        // The holder reaches the files by their directory: a connection of its own.
        auto holder = openItems(db.dir());
        auto holderDb = session.database(db.dir());
        auto writer = openItems(QStringLiteral("BUSYALIAS"));
        auto writerDb = session.database(QStringLiteral("BUSYALIAS"));
        if (setWhileOpen)
            session.setBusyTimeout(sessionTimeout);
        holderDb->begin();
        if (atCommit)
            holder->first(); // a reader inside a transaction keeps others from committing
        else
            appendItem(*holder, QStringLiteral("holder's"));
        if (atCommit)
            writerDb->begin();

        QElapsedTimer timer;
        timer.start();
        try {
            appendItem(*writer, QStringLiteral("writer's"));
            if (atCommit)
                writerDb->commit();
            QFAIL("wrote while another connection held the table");
        } catch (const Error &e) {
            QCOMPARE(e.code(), Error::Locked);
            QVERIFY2(e.text().startsWith(QStringLiteral("Table is busy: ITEMS.DB")),
                     qPrintable(e.text()));
        }
        const qint64 waited = timer.elapsed();
        QVERIFY2(waited >= expectedMs * 8 / 10 && waited < expectedMs + 3000,
                 qPrintable(QStringLiteral("waited %1 ms").arg(waited)));
        if (atCommit)
            writerDb->rollback();
        holderDb->rollback();
        QCOMPARE(session.busyTimeout(QStringLiteral("BUSYALIAS")), expectedMs);
        session.setBusyTimeout(-1);
        QCOMPARE(session.busyTimeout(QStringLiteral("BUSYALIAS")),
                 aliasTimeout >= 0 ? aliasTimeout : Session::DefaultBusyTimeoutMs);
    }

    // Programs that were killed leave their markers; opening the table clears them, not only
    // reading the lock list, so they do not pile up.
    void openingATableRemovesMarkersOfDeadPrograms()
    {
        EngineFixture db;
        auto mine = db.open(QStringLiteral("ITEMS"));
        QDir dir(db.dir());
        const auto touch = [&](const QString &name, int ageSecs) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.setFileTime(QDateTime::currentDateTime().addSecs(-ageSecs),
                             QFileDevice::FileModificationTime);
        };
        for (int i = 0; i < 80; ++i)
            touch(QStringLiteral(".ITEMS.DB.lck-ghost-%1-0-deadbeef").arg(40000 + i), 0);
        touch(QStringLiteral(".ITEMS.DB.new-ghost-1-0-deadbeef"), 600);
        touch(QStringLiteral(".ITEMS.DB.new-busy-2-0-deadbeef"), 0); // being renamed right now
        touch(QStringLiteral(".PAIRS.DB.lck-ghost-3-0-deadbeef"), 0);

        auto another = db.open(QStringLiteral("ITEMS"));
        const QStringList left =
            dir.entryList({QStringLiteral(".ITEMS.DB.*")}, QDir::Files | QDir::Hidden);
        QCOMPARE(left.filter(QStringLiteral("ghost")), QStringList{});
        QCOMPARE(left.filter(QStringLiteral(".lck-")).size(), 2); // the two live cursors
        QVERIFY(left.contains(QStringLiteral(".ITEMS.DB.new-busy-2-0-deadbeef")));
        QVERIFY(dir.exists(QStringLiteral(".PAIRS.DB.lck-ghost-3-0-deadbeef"))); // not opened
        QCOMPARE(mine->lockHolders(), QStringList(2, Session::netUserName()));
    }

    // A site shares a database with a group: a setgid directory of the group, a umask that
    // leaves the group write access. Every member must be able to open, lock and write the
    // tables that another member created.
    void twoAccountsOfOneGroupShareTheTables()
    {
        const bool root = ::geteuid() == 0;
        if (!root)
            qInfo("Not root: both children run as this account; the permissions are checked, the "
                  "second account is not.");
        const uid_t first = root ? unusedUid(61000) : ::geteuid();
        const uid_t second = root ? unusedUid(first + 1) : ::geteuid();
        const gid_t group = root ? unusedGid(61000) : ::getegid();
        QVERIFY(first != 0 && second != 0 && group != 0);

        QTemporaryDir base;
        QVERIFY(QFile::setPermissions(
            base.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                             QFileDevice::ExeGroup | QFileDevice::ExeOther));
        const QString shared = base.filePath(QStringLiteral("shared"));
        QVERIFY(QDir().mkdir(shared));
        if (root)
            QCOMPARE(::chown(QFile::encodeName(shared).constData(), 0, group), 0);
        QCOMPARE(::chmod(QFile::encodeName(shared).constData(), 02770), 0);

        AccountProcess creator({first, QStringLiteral("first")}, group,
                               {QStringLiteral("create"), shared});
        QCOMPARE(creator.finish(), 0);
        AccountProcess holder({first, QStringLiteral("first")}, group,
                              {QStringLiteral("hold"), shared});
        QVERIFY(holder.waitReady());
        AccountProcess writer({second, QStringLiteral("second")}, group,
                              {QStringLiteral("write"), shared, QStringLiteral("second's")});
        QCOMPARE(writer.finish(), 0);
        // Accounts without an entry in the user database go by $USER.
        QCOMPARE(writer.output(), root ? QStringLiteral("first,second")
                                       : QStringList(2, Session::netUserName()).join(u','));
        QCOMPARE(holder.finish(), 0);

        // Every file the engine made there: the group's, readable and writable by it, no more.
        const QStringList files = QDir(shared).entryList(QDir::Files | QDir::Hidden);
        QVERIFY(files.contains(QStringLiteral("ITEMS.DB")));
        QVERIFY(files.contains(QStringLiteral(".ITEMS.DB.lock")));
        for (const QString &file : files) {
            const QString path = QDir(shared).filePath(file);
            QVERIFY2(modeOf(path) == 0660,
                     qPrintable(QStringLiteral("%1: %2").arg(file).arg(modeOf(path), 0, 8)));
            QVERIFY2(groupOf(path) == group, qPrintable(file));
        }
        Session::instance().addPassword(Password);
        auto items = openItems(shared);
        QCOMPARE(items->recordCount(), 2);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 1 && args.at(1) == QLatin1String("--child"))
        return runChild(args.mid(2));
    TableLockingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tablelocking.moc"
