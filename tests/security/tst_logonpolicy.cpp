// Lockout after wrong passwords, judged by the rules library on a real database of each storage:
// each row is a script of logon attempts and clock moves with the verdicts it must meet. The
// clock is the test hook VESK_TEST_NOW, which a second process inherits.

#include "dbe/database.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "rules/addedtables.h"
#include "rules/audittrail.h"
#include "rules/logonpolicy.h"
#include "rules/logonrule.h"
#include "rules/schema.h"
#include "tests/support/testsupport.h"

#include <QProcess>
#include <QTest>

using security::LogonPolicy;
using security::LogonVerdict;

Q_DECLARE_METATYPE(LogonPolicy)

namespace {

const QDateTime ClockStart(QDate(2031, 5, 6), QTime(10, 0));

// Tries a logon of `name` (right or wrong password, or a network logon without one).
QChar attempt(const QString &databaseName, const QString &name, QChar how)
{
    dbe::Table users;
    users.setDatabaseName(databaseName);
    users.setTableName(security::tables::Users);
    users.setIndexName(security::indexes::UserName);
    users.open();
    std::optional<QString> password;
    if (how != u'n')
        password = how == u'+' ? name.toLower() : QStringLiteral("wrong");
    // Granted, UnknownUser, WrongPassword, Disabled, Locked, in the order of the enum.
    return QStringLiteral("GUWDL").at(
        int(security::judgeLogon(users, name, password, security::Comparison::CaseBlind)));
}

// A second workstation: `count` wrong passwords of `name`.
int childMain(const QStringList &args)
{
    dbe::Session::instance().addPassword(args.at(1));
    for (int i = 0; i < args.at(3).toInt(); ++i)
        attempt(args.at(0), args.at(2), u'-');
    return 0;
}

} // namespace

class LogonPolicyTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { testsupport::addStorageRows(); }
    void init()
    {
        testsupport::followStorageRow();
        qputenv("VESK_TEST_NOW", "2031-05-06 10:00:00");
    }
    void cleanup() { qunsetenv("VESK_TEST_NOW"); }

    void script_data();
    void script();
};

void LogonPolicyTest::script_data()
{
    QTest::addColumn<LogonPolicy>("policy");
    // a/b: ann/bob; + right, - wrong, n network; tN: N minutes pass; u: unlock ann; pN: another
    // process types N wrong passwords of ann
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("verdicts");
    QTest::addColumn<bool>("tablesMade"); // whether any table beside the seven was made
    QTest::addColumn<int>("audited");     // entries for failed logons and lockouts

    QTest::newRow("default: nothing locks, nothing is written")
        << LogonPolicy{} << "a- a- a- a- a- a- a+ zz+"
        << "WWWWWWGU" << false << 0;
    QTest::newRow("threshold; a right logon resets; others unaffected")
        << LogonPolicy{3, 10, 0, false} << "a- a- a+ a- a- a- a+ an b+ zz-"
        << "WWGWWLLLGU" << true << 0;
    QTest::newRow("expiry with the clock")
        << LogonPolicy{3, 10, 0, false} << "a- a- a- a+ t9 a+ t2 a+ a-"
        << "WWLLLGW" << true << 0;
    QTest::newRow("for good at the 2nd lockout")
        << LogonPolicy{2, 10, 2, false} << "a- a- t11 a- a- t600 a+"
        << "WLWLL" << true << 0;
    QTest::newRow("unlock") << LogonPolicy{2, 10, 0, false} << "a- a- a+ b+ u a+"
                            << "WLLGG" << true << 0;
    QTest::newRow("audit only") << LogonPolicy{0, 10, 0, true} << "a- a- a- a+"
                                << "WWWG" << true << 3;
    QTest::newRow("two processes count together") << LogonPolicy{4, 10, 0, false} << "a- p2 a- a+"
                                                  << "WLL" << true << 0;
    // Two failed logons, the lockout, and the refusal while locked.
    QTest::newRow("lockout audited") << LogonPolicy{2, 10, 0, true} << "a- a- a+ zz-"
                                     << "WLLU" << true << 4;
}

void LogonPolicyTest::script()
{
    QFETCH(LogonPolicy, policy);
    QFETCH(QString, steps);
    QFETCH(QString, verdicts);
    QFETCH(bool, tablesMade);
    QFETCH(int, audited);
    testsupport::SecurityDb db;
    db.addUser(QStringLiteral("ann"), QStringLiteral("ann"));
    db.addUser(QStringLiteral("bob"), QStringLiteral("bob"));
    if (policy != LogonPolicy{})
        security::writeLogonPolicy(db.alias(), policy);
    QDateTime now = ClockStart;
    QString seen;
    for (const QString &step : steps.split(u' ')) {
        if (step.startsWith(u't')) {
            now = now.addSecs(step.mid(1).toInt() * 60);
            qputenv("VESK_TEST_NOW", dbe::timestampToText(now).toLatin1());
        } else if (step.startsWith(u'p')) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(),
                        {"--child", db.databaseName(), db.password(), "ANN", step.mid(1)});
            QVERIFY(child.waitForFinished(60000) && child.exitCode() == 0);
        } else if (step == u"u") {
            QCOMPARE(security::unlockUser(db.alias(), QStringLiteral("ANN")),
                     security::Unlock::Unlocked);
        } else {
            const QString name = step.at(0) == u'a'   ? QStringLiteral("ann")
                                 : step.at(0) == u'b' ? QStringLiteral("bob")
                                                      : QStringLiteral("zed");
            seen += attempt(db.alias(), name, step.back());
        }
    }
    QCOMPARE(seen, verdicts);
    const QStringList tables = dbe::Session::instance().database(db.alias())->tableNames();
    QCOMPARE(tables.size() > 7, tablesMade);
    int failures = 0;
    for (const security::AuditTrail::Entry &entry : security::AuditTrail::entries(db.alias()))
        failures += entry.action == u"failed logon" || entry.action == u"lockout";
    QCOMPARE(failures, audited);
    // Unknown names leave no row; bob's right logons need none.
    const bool counted = security::addedTableExists(db.alias(), security::tables::Lockout);
    QVERIFY(!counted || db.rowCount(security::tables::Lockout) <= 1);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    testsupport::isolateEngineConfig();
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return childMain(app.arguments().mid(2));
    LogonPolicyTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_logonpolicy.moc"
