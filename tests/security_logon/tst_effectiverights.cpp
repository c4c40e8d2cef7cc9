// What the administration says a user holds, and who holds a constant, against what the
// component's access test answers for that user, for every user and constant of the
// demonstration database with a few rights more: a constant held both directly and through a
// group, and a right to a constant whose row is gone.

#include "dbe/backend.h"
#include "dbe/database.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "rules/accessrule.h"
#include "rules/createtables.h"
#include "rules/effectiverights.h"
#include "rules/schema.h"
#include "rules/securityrules.h"
#include "security/vesksec2.h"
#include "logontestkit.h"
#include "tests/support/testsupport.h"

#include <QTest>
#include <algorithm>

using Grants = QList<QPair<int, QString>>; // (id, type) of the tested user's rights

namespace {

constexpr int GoneConstant = 99;

bool listsId(const std::vector<security::HeldBy> &held, int id)
{
    return std::any_of(held.begin(), held.end(), [id](const security::HeldBy &h) { return h.id == id; });
}

} // namespace

class EffectiveRightsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { testsupport::addStorageRows(); }
    void init() { testsupport::followStorageRow(); }
    void initTestCase() { testsupport::isolateEngineConfig(); }

    void agreesWithTheAccessTest()
    {
        testsupport::SecurityDb db;
        security::fillDemoData(db.alias());
        security::EffectiveRights rights(db.alias());
        security::SecurityRules rules(db.alias());
        const int auditor = rights.usersNamed(QStringLiteral("auditor")).front();
        // Names are looked up case-blind, as the logon looks them up, in either storage.
        QCOMPARE(rights.usersNamed(QStringLiteral("AUDITOR")), std::vector<int>{auditor});
        QCOMPARE(rules.grant(auditor, rights.groupsNamed(QStringLiteral("Managers")).front().id,
                             security::RightGroup),
                 security::SecurityRules::Link::Added);
        db.grant(auditor, GoneConstant, security::RightConstant);

        std::vector<int> accessIds{GoneConstant};
        for (const security::NamedEntry &constant : rights.constants())
            accessIds.push_back(constant.id);
        int granted = 0;
        for (const security::UserEntry &user : rights.users()) {
            const std::vector<security::HeldBy> held = rights.rightsOf(user.id);
            const auto component = logontest::activatedComponent(db, {});
            // Every demonstration user's password is his name.
            QCOMPARE(component->LogonEx(user.name, user.name), user.enabled);
            for (const int accessId : accessIds) {
                const bool holds = listsId(held, accessId);
                const bool listed = listsId(rights.holdersOf(accessId), user.id);
                if (user.enabled) {
                    QVERIFY2(component->TestAccess(accessId) == holds,
                             qPrintable(QStringLiteral("%1, %2").arg(user.name).arg(accessId)));
                }
                // Who-can leaves out who cannot log on.
                QCOMPARE(listed, holds && user.enabled);
                granted += holds;
            }
        }
        QVERIFY(granted > 10);

        // Both ways of holding are told, each group once.
        const std::vector<security::HeldBy> held = rights.rightsOf(auditor);
        const auto printReports = std::find_if(held.begin(), held.end(), [](const auto &h) {
            return h.name == QLatin1String("Print Reports");
        });
        QVERIFY(printReports != held.end());
        QVERIFY(printReports->direct);
        QCOMPARE(printReports->groups, QStringList{QStringLiteral("Managers")});
    }

    // The access test keeps what one statement read; it must hold what the walk of the rows
    // finds, no more and no less, for every kind of row the walk tells apart.
    void oneStatementReadsWhatTheWalkFinds_data()
    {
        QTest::addColumn<Grants>("grants");
        QTest::newRow("direct") << Grants{{2, "C"}};
        QTest::newRow("group") << Grants{{3, "G"}};
        QTest::newRow("type in lower case") << Grants{{3, "g"}, {2, "c"}};
        QTest::newRow("blank type") << Grants{{3, ""}};
        QTest::newRow("group without members") << Grants{{6, "G"}};
        QTest::newRow("held both ways") << Grants{{7, "C"}, {3, "G"}};
        QTest::newRow("groups sharing a member") << Grants{{3, "G"}, {4, "G"}};
        QTest::newRow("a constant's number as a group") << Grants{{4, "C"}};
        QTest::newRow("none") << Grants{};
    }
    void oneStatementReadsWhatTheWalkFinds()
    {
        QFETCH(Grants, grants);
        testsupport::SecurityDb db;
        const int user = db.addUser(QStringLiteral("User"), QStringLiteral("pw"));
        const int other = db.addUser(QStringLiteral("Other"), QStringLiteral("pw"));
        db.addMember(3, 7);
        db.addMember(3, 8);
        db.addMember(4, 8);
        db.addMember(4, 9);
        db.grant(other, 5, security::RightConstant);
        db.grant(other, 4, security::RightGroup);
        for (const auto &[id, type] : grants)
            db.grant(user, id, type);
        dbe::Table rights;
        rights.setDatabaseName(db.alias());
        rights.setTableName(security::tables::UserAcc);
        rights.open();
        dbe::Table members;
        members.setDatabaseName(db.alias());
        members.setTableName(security::tables::GrpColl);
        members.open();
        const auto database = dbe::Session::instance().database(db.alias());

        const dbe::WatchedRows read = database->readWatched(
            security::accessTestTables(), security::heldAccessSql(database->backend()),
            security::heldAccessValues(user));
        QVERIFY(read.watch);
        QCOMPARE(security::heldAccessIds(read.rows),
                 security::heldAccessIds(rights, members, user));
    }
};

QTEST_MAIN(EffectiveRightsTest)
#include "tst_effectiverights.moc"
