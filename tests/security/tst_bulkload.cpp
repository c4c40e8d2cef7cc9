// The import's fast load, on a real security database: what it writes, that the old system's
// repeated names come across as they stand, and that it writes all or nothing.

#include "dbe/error.h"
#include "rules/bulkload.h"
#include "tests/support/testsupport.h"

#include <QTest>

using security::BulkLoad;

class TestBulkLoad : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { testsupport::isolateEngineConfig(); }

    void loadsAllOrNothing_data()
    {
        QTest::addColumn<bool>("commit");
        QTest::addColumn<bool>("grantTwice");
        QTest::addColumn<int>("usersAfter");
        QTest::addColumn<int>("rightsAfter");
        // The existing user stays in every row; the load adds two users and two rights.
        QTest::newRow("committed") << true << false << 3 << 2;
        QTest::newRow("never committed") << false << false << 1 << 0;
        QTest::newRow("a right named twice refuses the load") << true << true << 1 << 0;
    }
    void loadsAllOrNothing()
    {
        QFETCH(bool, commit);
        QFETCH(bool, grantTwice);
        QFETCH(int, usersAfter);
        QFETCH(int, rightsAfter);
        testsupport::SecurityDb db;
        db.addUser(QStringLiteral("Kept"), QStringLiteral("k"));
        try {
            BulkLoad load(db.alias(), false);
            const BulkLoad::Written print = load.addConstant(QStringLiteral("Print"));
            const BulkLoad::Written first =
                load.addUser(QStringLiteral("ann"), QStringLiteral("a"));
            // The old files may hold a name twice: both rows come across with ids of their own.
            const BulkLoad::Written second =
                load.addUser(QStringLiteral("ANN"), QStringLiteral("b"));
            QVERIFY(first.id != second.id);
            QCOMPARE(second.name, QStringLiteral("ANN"));
            load.grantConstant(first.id, print.id);
            load.grantConstant(second.id, print.id);
            if (grantTwice)
                load.grantConstant(second.id, print.id);
            QCOMPARE(load.counts().rights, 2);
            if (commit)
                load.commit(QStringLiteral("test"), QStringLiteral("rows"));
            QVERIFY(!grantTwice);
        } catch (const dbe::Error &error) {
            QVERIFY2(grantTwice, qPrintable(error.text()));
        }
        QCOMPARE(db.rowCount(QStringLiteral("USERS.DB")), usersAfter);
        QCOMPARE(db.rowCount(QStringLiteral("USERACC.DB")), rightsAfter);
    }

    void settingsFillTheOneRow()
    {
        testsupport::SecurityDb db;
        for (const QString &label : {QStringLiteral("First"), QStringLiteral("Second")}) {
            BulkLoad load(db.alias(), true);
            load.setSettings(label, true);
            load.commit(QStringLiteral("test"), QStringLiteral("rows"));
        }
        QCOMPARE(
            testsupport::rows(db, QStringLiteral("PROGRAM.DB"),
                              {QStringLiteral("Security_Label"), QStringLiteral("LogEnabled")}),
            QStringList{QStringLiteral("Second|True")});
    }
};

QTEST_GUILESS_MAIN(TestBulkLoad)
#include "tst_bulkload.moc"
