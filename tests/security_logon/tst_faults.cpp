// Bad luck while the component logs: processes killed in the middle of a logon and a disk that
// fills up. Every table stays sound, and the count of logons in USERS.DB always equals the
// logon rows of LOG.DB: a logon is written whole or not at all.

#include "dbe/query.h"
#include "dbe/session.h"
#include "logontestkit.h"
#include "rules/schema.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>
#include <sys/mount.h>
#include <unistd.h>

using namespace logontest;
using testsupport::SecurityDb;

namespace {

const QString Master = QStringLiteral("Master1");

// PRAGMA integrity_check of one table file, "ok" when sound.
QString integrityOf(const QString &databaseName, const QString &table)
{
    dbe::Query query;
    query.setDatabaseName(databaseName);
    query.setSql({QStringLiteral("PRAGMA %1.integrity_check").arg(table)});
    query.open();
    query.first();
    return query.fields().isEmpty() ? QString()
                                    : query.value(query.fields().first().name).toString();
}

void verifyEveryTableSound(const QString &databaseName)
{
    for (const dbe::TableDef &table : security::securityTables())
        QCOMPARE(integrityOf(databaseName, table.name.toUpper()), QStringLiteral("ok"));
}

struct LogCounts {
    int logons = 0;
    int grants = 0;
};

LogCounts logRowsOf(const QString &databaseName, int userId)
{
    LogCounts counts;
    for (const QVariantMap &row : rowsOf(databaseName, QStringLiteral("Log"))) {
        if (row.value(QStringLiteral("User_ID")).toInt() != userId)
            continue;
        if (row.value(QStringLiteral("Access_ID")).isNull())
            ++counts.logons;
        else
            ++counts.grants;
    }
    return counts;
}

// A small file system of its own for the database, so that the disk really fills: a tmpfs
// where the test may mount one (as root), else nothing and the child limits its file size.
class SmallFileSystem
{
public:
    explicit SmallFileSystem(qint64 bytes)
    {
        if (geteuid() != 0)
            return;
        const QByteArray options = "size=" + QByteArray::number(bytes);
        m_mounted = ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                            options.constData()) == 0;
    }
    ~SmallFileSystem()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem &) = delete;
    SmallFileSystem &operator=(const SmallFileSystem &) = delete;

    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

qint64 sizeOfTables(const QString &dir)
{
    qint64 total = 0;
    for (const QFileInfo &file : QDir(dir).entryInfoList({QStringLiteral("*.DB")}, QDir::Files))
        total += file.size();
    return total;
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { dbe::Session::instance().closeDatabases(); }

    void killedWhileLoggingLosesNothingHalfDone()
    {
        constexpr int Kills = 20;
        SecurityDb db(QStringLiteral("TESTSEC"), Master);
        db.setSettings(true, true);
        const int user = db.addUser(QStringLiteral("Looper"), QStringLiteral("pw"));
        dbe::Session::instance().closeDatabases();

        for (int kill = 0; kill < Kills; ++kill) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--child"), QStringLiteral("logloop"), db.dir(), Master,
                         QStringLiteral("Looper"), QStringLiteral("pw")});
            QVERIFY(child.waitForReadyRead(20000));
            QThread::msleep(QRandomGenerator::global()->bounded(1, 120));
            child.kill(); // SIGKILL: no destructor, no rollback
            QVERIFY(child.waitForFinished(5000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        }

        verifyEveryTableSound(db.alias());
        const int count =
            userRow(db.alias(), user).value(QStringLiteral("User_AccessCount")).toInt();
        QVERIFY(count >= Kills);
        QCOMPARE(logRowsOf(db.alias(), user).logons, count);
        qInfo("%d logons counted and logged across %d kills", count, Kills);
    }

    void aFullDiskLeavesNothingHalfDone()
    {
        SecurityDb db(QStringLiteral("TESTSEC"), Master);
        db.setSettings(true, true);
        const int access = db.addAccess(QStringLiteral("Edit"));
        const int user = db.addUser(QStringLiteral("Filler"), QStringLiteral("pw"));
        db.grant(user, access, security::RightConstant);
        dbe::Session::instance().closeDatabases();

        // Room for a few hundred log rows beyond the tables as they are.
        constexpr qint64 Room = 48 * 1024;
        SmallFileSystem disk(sizeOfTables(db.dir()) + Room);
        QString dir = db.dir();
        qint64 fileSizeLimit = 0;
        if (disk.mounted()) {
            dir = disk.path();
            for (const QString &file : QDir(db.dir()).entryList({QStringLiteral("*.DB")}))
                QVERIFY(QFile::copy(QDir(db.dir()).filePath(file), QDir(dir).filePath(file)));
        } else {
            fileSizeLimit = QFileInfo(QDir(dir).filePath(QStringLiteral("LOG.DB"))).size() + Room;
        }

        const QStringList counts =
            runChild({QStringLiteral("fill"), dir, Master, QStringLiteral("Filler"),
                      QStringLiteral("pw"), QString::number(access),
                      QString::number(fileSizeLimit)})
                .trimmed()
                .split(u' ');
        QCOMPARE(counts.size(), 3);
        const int logons = counts.at(0).toInt();
        const int grants = counts.at(1).toInt();
        QCOMPARE(counts.at(2), QStringLiteral("0")); // no failed call left a logon or said nothing
        QVERIFY(logons > 0);
        qInfo("%s: %d logons and %d grants before the disk was full",
              disk.mounted() ? "tmpfs" : "file-size limit", logons, grants);

        verifyEveryTableSound(dir);
        QCOMPARE(userRow(dir, user).value(QStringLiteral("User_AccessCount")).toInt(), logons);
        const LogCounts logged = logRowsOf(dir, user);
        QCOMPARE(logged.logons, logons);
        QCOMPARE(logged.grants, grants);
        dbe::Session::instance().closeDatabases();
    }
};

LOGON_TEST_MAIN(TestFaults)
#include "tst_faults.moc"
