// What the administration says a user holds, and who holds a constant, against what the
// component's access test answers for that user, for every user and constant of the
// demonstration database with a few rights more: a constant held both directly and through a
// group, and a right to a constant whose row is gone.

#include "dbe/table.h"
#include "rules/createtables.h"
#include "rules/effectiverights.h"
#include "rules/schema.h"
#include "rules/securityrules.h"
#include "security/vesksec2.h"
#include "logontestkit.h"
#include "tests/support/testsupport.h"

#include <QTest>
#include <algorithm>

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
};

QTEST_MAIN(EffectiveRightsTest)
#include "tst_effectiverights.moc"
