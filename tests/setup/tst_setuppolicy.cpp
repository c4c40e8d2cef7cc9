// The setup editor's addition for the logon policy: its dialog shows and writes the policy,
// and unlocks the user selected in the editor.

#include "dbe/table.h"
#include "rules/audittrail.h"
#include "rules/logonpolicy.h"
#include "rules/logonrule.h"
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
        db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        security::writeLogonPolicy(db.alias(), {1, 30, 0, false});
        dbe::Table users;
        users.setDatabaseName(db.alias());
        users.setTableName(QStringLiteral("USERS.DB"));
        users.setIndexName(QStringLiteral("UserName"));
        users.open();
        QCOMPARE(security::judgeLogon(users, QStringLiteral("Ann"), QStringLiteral("x"),
                                      security::Comparison::CaseBlind),
                 security::LogonVerdict::Locked);

        auto editor = openEditor(db);
        pickUser(editor.get(), QStringLiteral("Ann"));
        ui::MessageRecorder messages;
        testsupport::ExpectDialog<TFormPolicy> policyDialog([](TFormPolicy *dialog) {
            QCOMPARE(dialog->spinLockoutAfter()->value(), 1);
            QCOMPARE(dialog->spinLockoutMinutes()->value(), 30);
            QVERIFY(dialog->findChild<QLabel *>(QStringLiteral("lblLockState"))
                        ->text()
                        .contains(QStringLiteral("locked until")));
            QTest::mouseClick(dialog->btnUnlock(), Qt::LeftButton);
            dialog->spinLockoutAfter()->setValue(5);
            dialog->chkLogFailed()->setChecked(true);
            dialog->accept();
        });
        QTest::mouseClick(child<QPushButton>(editor.get(), "btnPolicy"), Qt::LeftButton);
        VESK_VERIFY_DIALOG(policyDialog);

        QCOMPARE(messages.texts(), QStringList{QStringLiteral("Ann is unlocked.")});
        QCOMPARE(security::readLogonPolicy(db.alias()), (security::LogonPolicy{5, 30, 0, true}));
        QCOMPARE(security::judgeLogon(users, QStringLiteral("Ann"), QStringLiteral("a"),
                                      security::Comparison::CaseBlind),
                 security::LogonVerdict::Granted);
        QStringList actions;
        for (const auto &entry : security::AuditTrail::entries(db.alias()))
            actions.append(entry.action);
        QCOMPARE(actions, (QStringList{"policy", "unlock", "policy"}));
    }
};

QTEST_MAIN(TestSetupPolicy)
#include "tst_setuppolicy.moc"
