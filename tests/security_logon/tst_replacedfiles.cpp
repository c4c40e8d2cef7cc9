// Table files replaced, cut short or removed under a running host, as restore tools and careless
// hands do: the host neither crashes nor keeps answering from the file it had, and a host that
// installed an error handler never blocks in a message box.

#include "dbe/session.h"
#include "logontestkit.h"
#include "rightsfixture.h"
#include "security/heldrights.h"
#include "tests/support/testsupport.h"
#include "ui/messages.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace logontest;

namespace {

// Runs a shell command line with $1 and $2 set; true when it exited 0. `output` gets what it
// printed.
bool shell(const QString &script, const QStringList &arguments, QString *output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("/bin/sh"),
                  QStringList{QStringLiteral("-c"), script, QStringLiteral("sh")} + arguments);
    const bool finished = process.waitForFinished(30000);
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// What a host answers for the user and constant, in the words of the "fresh" child task.
QString answerOf(TVeskSecure &host, const QString &password, int accessId)
{
    const bool loggedOn = host.LogonEx(QStringLiteral("Tester"), password);
    const bool granted = loggedOn && host.TestAccess(accessId);
    if (!host.LastError().isEmpty())
        return QStringLiteral("error");
    return QStringLiteral("logon=%1 access=%2").arg(int(loggedOn)).arg(int(granted));
}

QString freshAnswer(const testsupport::SecurityDb &db, const QString &password, int accessId)
{
    return runChild({QStringLiteral("fresh"), db.databaseName(), db.password(),
                     QStringLiteral("Tester"), password, QString::number(accessId)})
        .trimmed();
}

// Where a fresh process cannot ask at all, the host may only refuse.
bool agrees(const QString &host, const QString &fresh)
{
    if (fresh == QStringLiteral("error"))
        return host == fresh || host == QStringLiteral("logon=0 access=0");
    return host == fresh;
}

} // namespace

class ReplacedFilesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answersAsAFreshProcessAfterAReplacement_data();
    void answersAsAFreshProcessAfterAReplacement();
    void keepsTheTableLockedWhileReadingTheRightsAgain_data();
    void keepsTheTableLockedWhileReadingTheRightsAgain();
    void serviceHostNeverBlocks_data();
    void serviceHostNeverBlocks();
};

void ReplacedFilesTest::answersAsAFreshProcessAfterAReplacement_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("replace"); // $1 the table file, $2 its older copy
    // The host read the rights again after a plain commit first, so that the watch it holds
    // when the file is replaced is one carried on from the watch before.
    QTest::addColumn<bool>("readAfterACommit");
    const QStringList tables = {QStringLiteral("USERACC"), QStringLiteral("GRPCOLL"),
                                QStringLiteral("USERS")};
    const QList<std::pair<const char *, QString>> ways = {
        {"truncated to nothing", QStringLiteral("truncate -s 0 \"$1\"")},
        {"copied over", QStringLiteral("cp \"$2\" \"$1\"")},
        {"renamed over", QStringLiteral("cp \"$2\" \"$1.new\" && mv \"$1.new\" \"$1\"")},
        {"removed and copied back", QStringLiteral("rm \"$1\" && cp \"$2\" \"$1\"")},
        {"moved aside and copied back",
         QStringLiteral("mv \"$1\" \"$1.aside\" && cp \"$2\" \"$1\"")},
        {"linked over", QStringLiteral("cp \"$2\" \"$1.old\" && ln -sf \"$1.old\" \"$1\"")},
    };
    for (const QString &table : tables) {
        for (const auto &[name, script] : ways)
            QTest::newRow(qPrintable(table + u' ' + QLatin1String(name))) << table << script << false;
    }
    for (const QString &table : tables.first(2)) {
        for (const auto &[name, script] : ways.mid(1, 4))
            QTest::newRow(qPrintable(table + u' ' + QLatin1String(name) + " after reading a commit"))
                << table << script << true;
    }
}

// The older copy lacks what was committed after it: constant 4 granted directly or through
// group 3, or the tester's new password. A host that kept reading its old file would grant 4
// or let the new password in.
void ReplacedFilesTest::answersAsAFreshProcessAfterAReplacement()
{
    QFETCH(QString, table);
    QFETCH(QString, replace);
    QFETCH(bool, readAfterACommit);
    RightsFixture fixture(true);
    fixture.grant(fixture.tester, QStringLiteral("G3"));
    const QString path = fixture.db.dir() + u'/' + table + QStringLiteral(".DB");
    QTemporaryDir elsewhere;
    const QString olderCopy = elsewhere.filePath(QStringLiteral("older.DB"));
    QVERIFY(shell(QStringLiteral("cp \"$1\" \"$2\""), {path, olderCopy}));

    QString password = QStringLiteral("pw");
    if (table == QStringLiteral("USERACC"))
        fixture.grant(fixture.tester, QStringLiteral("C4"));
    else if (table == QStringLiteral("GRPCOLL"))
        fixture.db.addMember(3, 4);
    else
        setUserFields(fixture.db.databaseName(), fixture.tester,
                      {{QStringLiteral("User_Password"), password = QStringLiteral("new")}});

    const ui::MessageRecorder noBoxes;
    const auto host = activatedComponent(fixture.db);
    host->setErrorHandler([](const QString &) {});
    QVERIFY(host->LogonEx(QStringLiteral("Tester"), password));
    QCOMPARE(host->HasAccess(4), table != QStringLiteral("USERS"));
    if (readAfterACommit) {
        fixture.grant(fixture.tester, QStringLiteral("C5"));
        QVERIFY(host->HasAccess(5));
    }

    QVERIFY(shell(replace, {path, olderCopy}));
    // Before a new logon, from the rights kept in memory...
    if (table != QStringLiteral("USERS")) {
        const QString fresh = freshAnswer(fixture.db, QStringLiteral("pw"), 4);
        const bool granted = host->TestAccess(4);
        if (fresh == QStringLiteral("error"))
            QVERIFY(!granted && !host->LastError().isEmpty());
        else
            QCOMPARE(granted, fresh.endsWith(QStringLiteral("access=1")));
    }
    // The watch taken after the replacement is on the file now in place, not the one before.
    if (readAfterACommit && !replace.startsWith(QLatin1String("truncate"))) {
        if (table == QStringLiteral("USERACC"))
            fixture.grant(fixture.tester, QStringLiteral("C4"));
        else
            fixture.db.addMember(3, 4);
        QVERIFY(host->HasAccess(4));
    }
    // ...and after one, with either password.
    for (const QString &tried : {QStringLiteral("pw"), QStringLiteral("new")}) {
        const QString answer = answerOf(*host, tried, 4);
        const QString fresh = freshAnswer(fixture.db, tried, 4);
        QVERIFY2(agrees(answer, fresh), qPrintable(answer + QStringLiteral(" / ") + fresh));
    }

    // A file cut short by a copy under way reads again once the copy is complete.
    if (replace.startsWith(QLatin1String("truncate"))) {
        QVERIFY(shell(QStringLiteral("cp \"$2\" \"$1\""), {path, olderCopy}));
        QCOMPARE(answerOf(*host, QStringLiteral("pw"), 4),
                 freshAnswer(fixture.db, QStringLiteral("pw"), 4));
        QCOMPARE(answerOf(*host, QStringLiteral("pw"), 4), QStringLiteral("logon=1 access=0"));
    }
    QVERIFY(noBoxes.texts().isEmpty());
}

void ReplacedFilesTest::keepsTheTableLockedWhileReadingTheRightsAgain_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("row");
    QTest::newRow("rights") << QStringLiteral("USERACC") << QStringLiteral("%1, 4, 'C'");
    QTest::newRow("members") << QStringLiteral("GRPCOLL") << QStringLiteral("3, 4");
}

// While the host reads the rights again, its read transaction holds the files against writers;
// nothing it does may drop that lock, or a commit could slip between the watch and the reads.
void ReplacedFilesTest::keepsTheTableLockedWhileReadingTheRightsAgain()
{
    QFETCH(QString, table);
    QFETCH(QString, row);
    RightsFixture fixture(false);
    fixture.grant(fixture.tester, QStringLiteral("G3"));
    const auto host = activatedComponent(fixture.db);
    QVERIFY(host->LogonEx(QStringLiteral("Tester"), QStringLiteral("pw")));
    QVERIFY(!host->HasAccess(4));

    // A plain client with no busy timeout: a table another process holds fails it at once.
    const QString insert =
        QStringLiteral("sqlcipher -batch -bail \"$1\" <<EOF\nPRAGMA key='%1';\n"
                       "INSERT INTO main.%2 VALUES (%3);\nEOF")
            .arg(fixture.db.password(), table,
                 QString(row).replace(QStringLiteral("%1"), QString::number(fixture.tester)));
    const QString path = fixture.db.dir() + u'/' + table + QStringLiteral(".DB");
    bool paused = false;
    bool inserted = false;
    QString refusal;
    HeldRights::setAfterWatchHook([&] {
        paused = true;
        inserted = shell(insert, {path}, &refusal);
    });
    fixture.grant(fixture.tester, QStringLiteral("C5")); // makes the host read again
    const bool heldFive = host->HasAccess(5);
    HeldRights::setAfterWatchHook({});

    QVERIFY(paused);
    QVERIFY(heldFive);
    QVERIFY2(!inserted, "another process committed inside the host's read transaction");
    QVERIFY2(refusal.contains(QLatin1String("locked")), qPrintable(refusal));
    QVERIFY(!host->HasAccess(4));
    QVERIFY(shell(insert, {path}));
    QVERIFY(host->HasAccess(4));
}

void ReplacedFilesTest::serviceHostNeverBlocks_data()
{
    QTest::addColumn<QString>("removed");
    QTest::addColumn<bool>("beforeActivation");
    QTest::addColumn<QString>("error"); // in LastError after the logon
    QTest::newRow("users table gone")
        << QStringLiteral("USERS") << false << QStringLiteral("USERS");
    QTest::newRow("activation failed")
        << QStringLiteral("PROGRAM") << true << QStringLiteral("could not be activated");
}

void ReplacedFilesTest::serviceHostNeverBlocks()
{
    QFETCH(QString, removed);
    QFETCH(bool, beforeActivation);
    QFETCH(QString, error);
    RightsFixture fixture(true);
    fixture.grant(fixture.tester, QStringLiteral("G3"));
    const QString path = fixture.db.dir() + u'/' + removed + QStringLiteral(".DB");
    const ui::MessageRecorder boxes;
    QStringList handled;
    auto host = unloadedComponent(fixture.db, {soWinNetSupport});
    host->setErrorHandler([&](const QString &text) { handled.append(text); });
    if (beforeActivation)
        QVERIFY(QFile::remove(path));
    host->Loaded();
    if (!beforeActivation)
        QVERIFY(QFile::remove(path));

    QElapsedTimer clock;
    clock.start();
    QVERIFY(!host->LogonEx(QStringLiteral("Tester"), QStringLiteral("pw")));
    QVERIFY(!host->NWLogon());
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY2(host->LastError().contains(error), qPrintable(host->LastError()));
    QVERIFY(!host->GetActive());
    QVERIFY(boxes.texts().isEmpty());
    QVERIFY(!handled.isEmpty());

    // Each entry starts with LastError cleared: nobody is logged on, which is no failure.
    QVERIFY(!host->HasAccess(7));
    QVERIFY(host->LastError().isEmpty());
    QVERIFY(!host->TestAccess(7));
    QVERIFY(host->LastError().isEmpty());
}

LOGON_TEST_MAIN(ReplacedFilesTest)
#include "tst_replacedfiles.moc"
