// The setup editor's addition for the logon policy: its dialog shows and writes the policy,
// and unlocks the user selected in the editor.

#include "dbe/table.h"
#include "rules/addedtables.h"
#include "rules/logonpolicy.h"
#include "setup/frmpolicy.h"
#include "setuptestkit.h"
#include "ui/messages.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

using namespace setuptest;

class TestSetupPolicy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { initTestProgram(); }

    void policyIsWrittenAndSelectedUserUnlocked()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int ann = db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        security::writeLogonPolicy(db.alias(), {1, 30, 0, false});
        security::ensureAddedTable(db.alias(), QStringLiteral("LOCKOUT.DB"));
        dbe::appendRecord(
            db.alias(), QStringLiteral("LOCKOUT.DB"),
            {{QStringLiteral("User_ID"), ann}, {QStringLiteral("Locked_For_Good"), true}});
        auto editor = openEditor(db);
        pickUser(editor.get(), QStringLiteral("Ann"));
        ui::MessageRecorder messages;
        testsupport::ExpectDialog<TFormPolicy> policyDialog([](TFormPolicy *dialog) {
            QCOMPARE(dialog->spinLockoutAfter()->value(), 1);
            QCOMPARE(dialog->spinLockoutMinutes()->value(), 30);
            QVERIFY(dialog->findChild<QLabel *>(QStringLiteral("lblLockState"))
                        ->text()
                        .contains(QStringLiteral("locked until unlocked")));
            QTest::mouseClick(dialog->btnUnlock(), Qt::LeftButton);
            dialog->spinLockoutAfter()->setValue(5);
            dialog->chkLogFailed()->setChecked(true);
            dialog->accept();
        });
        QTest::mouseClick(child<QPushButton>(editor.get(), "btnPolicy"), Qt::LeftButton);
        VESK_VERIFY_DIALOG(policyDialog);

        QCOMPARE(messages.texts(), QStringList{QStringLiteral("Ann is unlocked.")});
        QCOMPARE(security::readLogonPolicy(db.alias()), (security::LogonPolicy{5, 30, 0, true}));
        QVERIFY(!security::lockStateOf(db.alias(), ann).locked);
    }
};

QTEST_MAIN(TestSetupPolicy)
#include "tst_setuppolicy.moc"
