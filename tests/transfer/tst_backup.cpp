// vesksec backup and restore: a snapshot taken while hosts log on holds every counted logon's
// log row; a backup opens with its own password only, and only as it was written; a restore
// over the tables of a running site counts at the running host's next access test.

#include "dbe/session.h"
#include "dbe/table.h"
#include "logontestkit.h"
#include "rules/audittrail.h"
#include "rules/schema.h"
#include "tests/support/teststorage.h"
#include "tests/support/testsupport.h"
#include "transfer/backupfile.h"
#include "transfer/snapshot.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

using namespace logontest;
using testsupport::SecurityDb;
namespace tables = security::tables;
namespace fields = security::fields;

namespace {

const QString Vesksec = QStringLiteral(VESKSEC_PATH);

// Runs the tool; answers its exit status, with its output in `output`.
int vesksec(const QStringList &arguments, QString *output = nullptr,
            const QString &timeZone = QStringLiteral("UTC"))
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), timeZone);
    tool.setProcessEnvironment(environment);
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(Vesksec, arguments);
    tool.waitForFinished(120000);
    if (output)
        *output = QString::fromUtf8(tool.readAll());
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

// The options that name the database's own place, for a restore over it. The tool saves the
// alias of a directory, which the test's own alias is not: it gets a name of its own.
QStringList placeOf(const SecurityDb &db)
{
    if (testsupport::currentStorage() == testsupport::Storage::SqlCipher)
        return {QStringLiteral("--alias"), QStringLiteral("RUNNINGSITE"), QStringLiteral("--dir"),
                db.dir()};
    return {QStringLiteral("--alias"),  db.alias(),
            QStringLiteral("--server"), dbe::Session::instance().alias(db.alias()).connection,
            QStringLiteral("--schema"), db.place().schema()};
}

int field(const dbe::TableContent &table, const QString &name)
{
    for (int i = 0; i < table.def.fields.size(); ++i) {
        if (table.def.fields[i].name == name)
            return i;
    }
    return -1;
}

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { testsupport::addStorageRows(); }
    void init() { testsupport::followStorageRow(); }
    void aSnapshotTakenWhileHostsLogOnIsConsistent();
    void aBackupOpensOnlyWithItsPasswordAndAsWritten_data();
    void aBackupOpensOnlyWithItsPasswordAndAsWritten();
    void aRestoreOverARunningSiteCountsAtTheNextAccessTest();
    void aRestoreUnderAnotherTimeZoneKeepsTheDates();
};

void TestBackup::aSnapshotTakenWhileHostsLogOnIsConsistent()
{
    SecurityDb db;
    db.setSettings(true, true);
    db.addUser(QStringLiteral("first"), QStringLiteral("pw1"));
    db.addUser(QStringLiteral("second"), QStringLiteral("pw2"));
    std::vector<std::unique_ptr<QProcess>> hosts;
    for (const QString &user : {QStringLiteral("first"), QStringLiteral("second")}) {
        auto host = std::make_unique<QProcess>();
        host->start(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("--child"), QStringLiteral("logloop"), db.databaseName(), db.password(),
             user, user == QLatin1String("first") ? QStringLiteral("pw1") : QStringLiteral("pw2")});
        QVERIFY(host->waitForReadyRead(60000));
        hosts.push_back(std::move(host));
    }
    // Each logon counts in USERS.DB and logs in LOG.DB in one transaction: a snapshot that
    // fell between the two would show a count without its row, or a row without its count.
    int taken = 0;
    qint64 lastLogons = 0;
    for (QDeadlineTimer deadline(3000); !deadline.hasExpired() || taken < 5; ++taken) {
        const transfer::Snapshot snapshot = transfer::takeSnapshot(db.alias());
        const dbe::TableContent &users = snapshot.table(tables::Users);
        qint64 counted = 0;
        for (const QVariantList &row : users.rows)
            counted += row.at(field(users, fields::UserAccessCount)).toLongLong();
        const dbe::TableContent &log = snapshot.table(tables::Log);
        QCOMPARE(qint64(log.rows.size()), counted);
        // A server hands out numbers outside transactions: the counter may run ahead of the
        // committed rows, never behind them.
        QVERIFY(log.counter >= counted);
        lastLogons = counted;
    }
    for (const auto &host : hosts) {
        QCOMPARE(host->state(), QProcess::Running); // the hosts went on working throughout
        host->kill();
        host->waitForFinished();
    }
    qInfo("%d snapshots, the last with %lld logons", taken, lastLogons);
    QVERIFY(lastLogons > 2);
}

void TestBackup::aBackupOpensOnlyWithItsPasswordAndAsWritten_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("changedByte"); // -1: none; else the byte from the end flipped
    QTest::addColumn<bool>("cutShort");
    QTest::addColumn<QString>("reason");
    QTest::newRow("wrong password") << "Master2" << -1 << false << "password is not the one";
    QTest::newRow("a byte changed") << "Master1" << 40 << false << "damaged or was changed";
    QTest::newRow("cut short") << "Master1" << -1 << true << "damaged or was changed";
}

void TestBackup::aBackupOpensOnlyWithItsPasswordAndAsWritten()
{
    QFETCH(QString, password);
    QFETCH(int, changedByte);
    QFETCH(bool, cutShort);
    QFETCH(QString, reason);
    SecurityDb db(QStringLiteral("TESTSEC"), QStringLiteral("Master1"));
    db.setSettings(true, true, QStringLiteral("Backed up"));
    db.addUser(QStringLiteral("Secret Name"), QStringLiteral("SecretPw"));
    QTemporaryDir work;
    const QString file = work.filePath(QStringLiteral("site.bak"));
    QString output;
    QCOMPARE(vesksec({QStringLiteral("backup"), QStringLiteral("--alias"), db.databaseName(),
                      QStringLiteral("--out"), file, QStringLiteral("--password=Master1")},
                     &output),
             0);
    QFile backup(file);
    QVERIFY(backup.open(QIODevice::ReadWrite));
    QByteArray bytes = backup.readAll();
    QVERIFY(!bytes.contains("Secret Name") && !bytes.contains("SecretPw") &&
            !bytes.contains("Backed up") && !bytes.contains("Master1"));
    QVERIFY(transfer::readBackup(file, QStringLiteral("Master1")) ==
            transfer::takeSnapshot(db.alias()));
    if (changedByte >= 0)
        bytes[bytes.size() - changedByte] = char(bytes[bytes.size() - changedByte] ^ 1);
    if (cutShort)
        bytes.chop(100);
    QVERIFY(backup.resize(0) && backup.write(bytes) == bytes.size());
    backup.close();

    const QString target = work.filePath(QStringLiteral("restored"));
    QCOMPARE(vesksec({QStringLiteral("restore"), QStringLiteral("--in"), file,
                      QStringLiteral("--alias"), QStringLiteral("RESTORED"),
                      QStringLiteral("--dir"), target, QStringLiteral("--password=") + password},
                     &output),
             1);
    QVERIFY2(output.contains(reason), qPrintable(output));
    QVERIFY(!QFile::exists(target));
}

void TestBackup::aRestoreOverARunningSiteCountsAtTheNextAccessTest()
{
    SecurityDb db;
    db.setSettings(true, false);
    const int clerk = db.addUser(QStringLiteral("clerk"), QStringLiteral("pw"));
    const int edit = db.addAccess(QStringLiteral("Edit Orders"));
    QTemporaryDir work;
    const QString file = work.filePath(QStringLiteral("site.bak"));
    QString output;
    QVERIFY2(vesksec({QStringLiteral("backup"), QStringLiteral("--alias"), db.databaseName(),
                      QStringLiteral("--out"), file, QStringLiteral("--password=") + db.password()},
                     &output) == 0,
             qPrintable(output));

    db.grant(clerk, edit, security::RightConstant);
    const auto host = activatedComponent(db);
    QVERIFY(host->LogonEx(QStringLiteral("clerk"), QStringLiteral("pw")));
    QVERIFY(host->TestAccess(edit));
    QVERIFY(host->TestAccess(edit)); // answered from the rights it keeps

    QVERIFY2(vesksec(QStringList{QStringLiteral("restore"), QStringLiteral("--in"), file,
                                 QStringLiteral("--replace"),
                                 QStringLiteral("--password=") + db.password()} +
                         placeOf(db),
                     &output) == 0,
             qPrintable(output));
    QVERIFY(!host->TestAccess(edit));
    QVERIFY(host->LastError().isEmpty());
    // The replaced rows leave their entry in the site's audit trail.
    const auto trail = security::AuditTrail::entries(db.alias());
    QVERIFY(!trail.isEmpty());
    QCOMPARE(trail.last().action, QStringLiteral("restore"));
    QCOMPARE(trail.last().object, QFileInfo(file).absoluteFilePath());
}

void TestBackup::aRestoreUnderAnotherTimeZoneKeepsTheDates()
{
    SecurityDb db;
    db.setSettings(true, true);
    const int user = db.addUser(QStringLiteral("clerk"), QStringLiteral("pw"));
    dbe::appendRecord(db.alias(), tables::Log,
                      {{fields::AccessDate, QDateTime(QDate(2026, 3, 29), QTime(1, 30, 5, 7))},
                       {fields::UserId, user}});
    QTemporaryDir work;
    const QString file = work.filePath(QStringLiteral("site.bak"));
    const QString password = QStringLiteral("--password=") + db.password();
    QString output;
    QVERIFY2(vesksec({QStringLiteral("backup"), QStringLiteral("--alias"), db.databaseName(),
                      QStringLiteral("--out"), file, password},
                     &output, QStringLiteral("UTC")) == 0,
             qPrintable(output));
    const QString restored = work.filePath(QStringLiteral("restored"));
    QVERIFY2(
        vesksec({QStringLiteral("restore"), QStringLiteral("--in"), file, QStringLiteral("--alias"),
                 QStringLiteral("ELSEWHERE") +
                     testsupport::storageName(testsupport::currentStorage()).toUpper(),
                 QStringLiteral("--dir"), restored, password},
                &output, QStringLiteral("Pacific/Auckland")) == 0,
        qPrintable(output));
    QVERIFY(transfer::takeSnapshot(restored) == transfer::takeSnapshot(db.alias()));
}

LOGON_TEST_MAIN(TestBackup)
#include "tst_backup.moc"
