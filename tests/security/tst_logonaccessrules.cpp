// Who may log on, and which constants a user holds, judged on real tables.

#include "dbe/table.h"
#include "rules/accessrule.h"
#include "rules/logonrule.h"
#include "rules/schema.h"
#include "tests/support/testsupport.h"

#include <QTest>

using security::Comparison;
using security::LogonVerdict;

Q_DECLARE_METATYPE(security::LogonVerdict)
Q_DECLARE_METATYPE(security::Comparison)

class LogonAccessRulesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { testsupport::isolateEngineConfig(); }

    void judgesALogon_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password"); // "-": none asked, as for a network logon
        QTest::addColumn<Comparison>("comparison");
        QTest::addColumn<LogonVerdict>("verdict");
        const auto exact = Comparison::Exact;
        const auto blind = Comparison::CaseBlind;
        QTest::newRow("granted") << "Mixed"
                                 << "Secret" << exact << LogonVerdict::Granted;
        QTest::newRow("name in any case") << "MIXED"
                                          << "Secret" << exact << LogonVerdict::Granted;
        QTest::newRow("password case-blind") << "Mixed"
                                             << "SECRET" << blind << LogonVerdict::Granted;
        QTest::newRow("password exact") << "Mixed"
                                        << "SECRET" << exact << LogonVerdict::WrongPassword;
        QTest::newRow("trailing blank") << "Mixed"
                                        << "Secret " << blind << LogonVerdict::WrongPassword;
        QTest::newRow("unknown") << "Nobody"
                                 << "Secret" << blind << LogonVerdict::UnknownUser;
        QTest::newRow("disabled") << "Off"
                                  << "pw" << blind << LogonVerdict::Disabled;
        QTest::newRow("disabled, wrong password") << "Off"
                                                  << "x" << blind << LogonVerdict::WrongPassword;
        QTest::newRow("network, no password") << "Mixed"
                                              << "-" << blind << LogonVerdict::Granted;
        QTest::newRow("network, disabled") << "Off"
                                           << "-" << blind << LogonVerdict::Disabled;
    }
    void judgesALogon()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(Comparison, comparison);
        QFETCH(LogonVerdict, verdict);
        testsupport::SecurityDb db;
        db.addUser(QStringLiteral("Mixed"), QStringLiteral("Secret"));
        db.addUser(QStringLiteral("Off"), QStringLiteral("pw"), false);
        dbe::Table users;
        users.setDatabaseName(db.alias());
        users.setTableName(security::tables::Users);
        users.setIndexName(security::indexes::UserName);
        users.open();
        const std::optional<QString> typed =
            password == QStringLiteral("-") ? std::nullopt : std::optional<QString>(password);
        QCOMPARE(security::judgeLogon(users, name, typed, comparison), verdict);
    }

    // Both ways of asking read the same rights: directly, through groups, never through a type
    // code in the wrong case, and only the user's own.
    void bothWaysOfAskingAgree()
    {
        testsupport::SecurityDb db;
        const int user = db.addUser(QStringLiteral("User"), QStringLiteral("pw"));
        const int other = db.addUser(QStringLiteral("Other"), QStringLiteral("pw"));
        db.addMember(3, 7);
        db.addMember(3, 8);
        db.addMember(4, 9);
        db.grant(user, 2, QStringLiteral("C"));
        db.grant(user, 3, QStringLiteral("G"));
        db.grant(user, 4, QStringLiteral("g"));
        db.grant(user, 5, QStringLiteral("c"));
        db.grant(other, 6, QStringLiteral("C"));
        dbe::Table rights;
        rights.setDatabaseName(db.alias());
        rights.setTableName(security::tables::UserAcc);
        rights.open();
        dbe::Table members;
        members.setDatabaseName(db.alias());
        members.setTableName(security::tables::GrpColl);
        members.open();

        const std::vector<int> held = security::heldAccessIds(rights, members, user);
        QCOMPARE(held, (std::vector<int>{2, 7, 8}));
        for (int accessId = 0; accessId <= 10; ++accessId) {
            const bool expected = std::binary_search(held.cbegin(), held.cend(), accessId);
            QCOMPARE(security::holdsAccess(rights, members, user, accessId), expected);
        }
    }
};

QTEST_GUILESS_MAIN(LogonAccessRulesTest)
#include "tst_logonaccessrules.moc"
