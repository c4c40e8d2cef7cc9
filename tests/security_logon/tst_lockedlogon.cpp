// A locked account at the component: the dialog refuses it in the words of a wrong password,
// LogonEx and NWLogon refuse it, and LastError tells the host why; the supervisor still logs on.

#include "dbe/session.h"
#include "logontestkit.h"
#include "rules/logonpolicy.h"
#include "tests/support/testsupport.h"
#include "ui/messages.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace logontest;
using testsupport::SecurityDb;

namespace {

void logOnInDialog(QWidget *dialog, const QString &name, const QString &password)
{
    dialog->findChild<QLineEdit *>(QStringLiteral("edUserName"))->setText(name);
    QLineEdit *edit = dialog->findChild<QLineEdit *>(QStringLiteral("edPassword"));
    edit->setText(password);
    edit->setFocus();
    dialog->findChild<QPushButton *>(QStringLiteral("bbtnOk"))->click();
}

} // namespace

class TestLockedLogon : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lockedAccountIsRefusedEverywhere()
    {
        SecurityDb db;
        db.setSettings(true, false);
        const QString name = dbe::Session::netUserName();
        db.addUser(name, QStringLiteral("pw"));
        security::writeLogonPolicy(db.alias(), {2, 10, 0, false});
        const auto component = activatedComponent(db);
        ui::MessageRecorder messages;

        QVERIFY(!component->LogonEx(name, QStringLiteral("bad")));
        QVERIFY(component->LastError().isEmpty());
        QVERIFY(!component->LogonEx(name, QStringLiteral("bad")));
        QVERIFY(!component->LogonEx(name, QStringLiteral("pw")));
        QVERIFY(component->LastError().contains(QStringLiteral("is locked")));
        component->SetOptions({soWinNetSupport});
        QVERIFY(!component->NWLogon());
        QVERIFY(component->LastError().contains(QStringLiteral("is locked")));

        testsupport::ExpectDialog<TFormLogon> logonDialog([&](QWidget *dialog) {
            logOnInDialog(dialog, name, QStringLiteral("pw"));
            dialog->findChild<QPushButton *>(QStringLiteral("bbtnCancel"))->click();
        });
        QVERIFY(!component->Logon());
        VESK_VERIFY_DIALOG(logonDialog);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("Invalid Username or Password")});
        QVERIFY(component->LastError().contains(QStringLiteral("is locked")));

        testsupport::ExpectDialog<TFormLogon> supervisor([&](QWidget *dialog) {
            logOnInDialog(dialog, QStringLiteral("SUPERVISOR"), db.password());
        });
        QVERIFY(component->Logon());
        VESK_VERIFY_DIALOG(supervisor);
        QCOMPARE(component->UserID(), 0);
    }
};

LOGON_TEST_MAIN(TestLockedLogon)
#include "tst_lockedlogon.moc"
