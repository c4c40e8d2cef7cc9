// The audit trail on a real database of each storage: every kind of change leaves exactly one
// entry, written and undone with its change, and an entry altered, inserted or removed in the
// middle of the chain is found.

#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "rules/addedtables.h"
#include "rules/audittrail.h"
#include "rules/logonpolicy.h"
#include "rules/securityrules.h"
#include "tests/support/testsupport.h"

#include <QTest>
#include <functional>

using security::AuditTrail;
using security::SecurityRules;

namespace {

struct Ids {
    int ann = 0, print = 0, clerks = 0;
};

Ids fill(testsupport::SecurityDb &db)
{
    Ids ids;
    ids.ann = db.addUser(QStringLiteral("ann"), QStringLiteral("a"));
    ids.print = db.addAccess(QStringLiteral("Print"));
    ids.clerks = db.addGroup(QStringLiteral("Clerks"));
    db.addMember(ids.clerks, ids.print);
    db.grant(ids.ann, ids.print, QStringLiteral("C"));
    return ids;
}

using Change = std::function<void(const QString &alias, const Ids &)>;

// The audit table on its entry `number`.
struct AuditRow : dbe::Table {
    AuditRow(const QString &alias, qint64 number)
    {
        setDatabaseName(alias);
        setTableName(security::tables::Audit);
        open();
        if (!findKey({number}))
            qFatal("no audit entry %lld", number);
    }
    void set(const QString &field, const QVariant &value)
    {
        edit();
        setValue(field, value);
        post();
    }
};

} // namespace

Q_DECLARE_METATYPE(Change)

class AuditTrailTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { testsupport::addStorageRows(); }
    void init() { testsupport::followStorageRow(); }

    void eachChangeLeavesOneEntry_data();
    void eachChangeLeavesOneEntry();
    void tamperingIsFound_data();
    void tamperingIsFound();
    void entryAndChangeRollBackTogether();
};

void AuditTrailTest::eachChangeLeavesOneEntry_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<QString>("action"); // empty: an outcome that changes nothing, no entry
    const auto row = [](const char *action, Change change) {
        QTest::newRow(action) << change << QString::fromLatin1(action);
    };
    using R = SecurityRules;
    using A = const QString &;
    using I = const Ids &;
    row("delete user", [](A a, I i) { R(a).deleteUser(i.ann); });
    row("delete constant", [](A a, I i) { R(a).deleteConstant(i.print); });
    row("delete group", [](A a, I i) { R(a).deleteGroup(i.clerks); });
    row("grant", [](A a, I i) { R(a).grant(i.ann, i.clerks, "G"); });
    row("revoke", [](A a, I i) { R(a).revoke(i.ann, i.print, "C"); });
    row("remove member", [](A a, I i) { R(a).removeMember(i.clerks, i.print); });
    row("add constant", [](A a, I) { R(a).addConstant("Edit"); });
    row("rename constant", [](A a, I) { R(a).renameConstant("Print", "X"); });
    row("policy", [](A a, I) { security::writeLogonPolicy(a, {3, 5, 0, true}); });
    // An outcome that changes nothing writes nothing.
    QTest::newRow("grant held already")
        << Change([](A a, I i) { R(a).grant(i.ann, i.print, "C"); }) << "";
}

void AuditTrailTest::eachChangeLeavesOneEntry()
{
    QFETCH(Change, change);
    QFETCH(QString, action);
    testsupport::SecurityDb db;
    const Ids ids = fill(db);
    SecurityRules(db.alias()).addMember(ids.clerks, db.addAccess(QStringLiteral("Other")));
    AuditTrail::setActor(QStringLiteral("tester"));
    change(db.alias(), ids);
    const QList<AuditTrail::Entry> entries = AuditTrail::entries(db.alias());
    QCOMPARE(entries.size(), action.isEmpty() ? 1 : 2);
    if (!action.isEmpty()) {
        QCOMPARE(entries.last().action, action);
        QCOMPARE(entries.last().actor, QStringLiteral("tester"));
        QCOMPARE(entries.last().osUser, dbe::Session::netUserName());
    }
    QVERIFY(AuditTrail::verify(db.alias()).intact());
}

void AuditTrailTest::tamperingIsFound_data()
{
    QTest::addColumn<QString>("tampering");
    QTest::addColumn<qint64>("firstBad"); // 0: the chain still reads whole
    QTest::newRow("altered") << "alter" << qint64(2);
    QTest::newRow("removed in the middle") << "remove 2" << qint64(3);
    QTest::newRow("inserted") << "insert" << qint64(3);
    QTest::newRow("newest removed: shows only against a record") << "remove 4" << qint64(0);
}

void AuditTrailTest::tamperingIsFound()
{
    QFETCH(QString, tampering);
    QFETCH(qint64, firstBad);
    testsupport::SecurityDb db;
    SecurityRules rules(db.alias());
    for (const char *name : {"A", "B", "C", "D"})
        rules.addConstant(QString::fromLatin1(name));
    const AuditTrail::Verification before = AuditTrail::verify(db.alias());
    QCOMPARE(before.count, 4);

    if (tampering == u"alter") {
        AuditRow(db.alias(), 2).set(security::fields::Object, QStringLiteral("Z"));
    } else if (tampering.startsWith(u"remove")) {
        AuditRow(db.alias(), tampering.back().digitValue()).remove();
    } else {
        // A forged entry put in as the 3rd, the 3rd and 4th moved up and their MACs kept.
        for (const int n : {4, 3})
            AuditRow(db.alias(), n).set(security::fields::AuditNo, n + 1);
        dbe::appendRecord(db.alias(), security::tables::Audit,
                          {{security::fields::AuditNo, 3},
                           {security::fields::Mac, AuditRow(db.alias(), 4).asString("MAC")}});
    }
    const AuditTrail::Verification after = AuditTrail::verify(db.alias());
    QCOMPARE(after.firstBad, firstBad);
    if (firstBad == 0) {
        QCOMPARE(after.count, 3);
        QVERIFY(after.lastMac != before.lastMac);
    }
}

void AuditTrailTest::entryAndChangeRollBackTogether()
{
    testsupport::SecurityDb db;
    const Ids ids = fill(db);
    const std::shared_ptr<dbe::Database> database = dbe::Session::instance().database(db.alias());
    SecurityRules rules(db.alias());
    // The trail and the users' table are open before the transaction, as a file database needs.
    rules.addConstant(QStringLiteral("Edit"));
    QVERIFY(!rules.deleteUser(-1));
    {
        // A caller's transaction that fails after the change takes the entry back with it.
        AuditTrail audit(db.alias());
        dbe::Transaction transaction(*database);
        QVERIFY(rules.deleteUser(ids.ann));
    }
    QCOMPARE(db.rowCount(QStringLiteral("USERS.DB")), 1);
    QCOMPARE(AuditTrail::entries(db.alias()).size(), 1);

    // An entry that cannot be written takes its change back: another workstation holds the
    // trail (and, on a server, the number the entry would get) for longer than the wait.
    {
        testsupport::OtherStationWriting other(db, security::tables::Audit,
                                               {{security::fields::AuditNo, 2}});
        QVERIFY_THROWS_EXCEPTION(dbe::Error, rules.deleteUser(ids.ann));
    }
    QCOMPARE(db.rowCount(QStringLiteral("USERS.DB")), 1);
    QCOMPARE(AuditTrail::entries(db.alias()).size(), 1);
}

QTEST_GUILESS_MAIN(AuditTrailTest)
#include "tst_audittrail.moc"
