// ChangePassword and its dialog: the Enter rules, the two refusals, what is stored, and who
// may not change a password this way.

#include "dbe/table.h"
#include "logontestkit.h"
#include "security/pswdunt.h"
#include "tests/support/testsupport.h"
#include "ui/messages.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace logontest;
using testsupport::SecurityDb;

namespace {

const QString InvalidCurrent = QStringLiteral("Current password is invalid.");
const QString NoMatch = QStringLiteral("Passwords do not match.");

QLineEdit *field(QWidget *dialog, const QString &name)
{
    return dialog->findChild<QLineEdit *>(name);
}

void fill(QWidget *dialog, const QString &current, const QString &fresh, const QString &verify)
{
    for (const auto &[name, text] : {std::pair{QStringLiteral("edPassword"), current},
                                     std::pair{QStringLiteral("edPassword1"), fresh},
                                     std::pair{QStringLiteral("edPassword2"), verify}}) {
        QLineEdit *edit = field(dialog, name);
        edit->setFocus();
        edit->clear();
        QTest::keyClicks(edit, text);
    }
}

void clickOk(QWidget *dialog)
{
    dialog->findChild<QPushButton *>(QStringLiteral("bbnOk"))->click();
}

QString storedPassword(const SecurityDb &db, int user)
{
    return userRow(db.alias(), user).value(QStringLiteral("User_Password")).toString();
}

// A database with one user, "Grace" (password "OldPass"), logged on case-blind.
struct LoggedOnUser {
    LoggedOnUser()
    {
        db.setSettings(true, false);
        user = db.addUser(QStringLiteral("Grace"), QStringLiteral("OldPass"));
        component = activatedComponent(db, {soShowUI});
        if (!component->LogonEx(QStringLiteral("GRACE"), QStringLiteral("oldpass")))
            qFatal("fixture logon failed");
    }

    SecurityDb db;
    int user = 0;
    std::unique_ptr<TVeskSecure> component;
};

} // namespace

class TestPasswordChange : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every test runs once per storage.
    void initTestCase_data() { testsupport::addStorageRows(); }
    void init() { testsupport::followStorageRow(); }
    void dialogShowsItsControls();
    void enterMovesThroughTheFields();
    void refusalsKeepDialogOpen_data();
    void refusalsKeepDialogOpen();
    void storesNewPassword_data();
    void storesNewPassword();
    void cancelWritesNothing();
    void onlyAnOrdinaryUserMayChange_data();
    void onlyAnOrdinaryUserMayChange();
    void vanishedUserRowGivesFalse();
};

void TestPasswordChange::dialogShowsItsControls()
{
    TFormPassword dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Change Password"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("Label1"))->text(),
             QStringLiteral("Current Password:"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lblPassword1"))->text(),
             QStringLiteral("New Password:"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lblPassword2"))->text(),
             QStringLiteral("Verify Password:"));
    for (QLineEdit *edit : {dialog.edPassword(), dialog.edPassword1(), dialog.edPassword2()})
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
    QVERIFY(dialog.bbnOk()->isDefault());
}

void TestPasswordChange::enterMovesThroughTheFields()
{
    LoggedOnUser fixture;
    ui::MessageRecorder messages;

    QList<bool> openAfterEnter;
    QList<bool> focusMoved;
    testsupport::ExpectDialog<TFormPassword> passwordDialog([&](QWidget *dialog) {
        QLineEdit *current = field(dialog, QStringLiteral("edPassword"));
        QLineEdit *fresh = field(dialog, QStringLiteral("edPassword1"));
        QLineEdit *verify = field(dialog, QStringLiteral("edPassword2"));
        current->setFocus();
        QTest::keyClicks(current, QStringLiteral("OldPass"));
        QTest::keyClick(current, Qt::Key_Return);
        openAfterEnter << dialog->isVisible();
        focusMoved << (dialog->focusWidget() == fresh);
        QTest::keyClicks(fresh, QStringLiteral("NewPass"));
        QTest::keyClick(fresh, Qt::Key_Return);
        openAfterEnter << dialog->isVisible();
        focusMoved << (dialog->focusWidget() == verify);
        QTest::keyClicks(verify, QStringLiteral("NewPass"));
        QTest::keyClick(verify, Qt::Key_Return);
    });
    QVERIFY(fixture.component->ChangePassword());
    VESK_VERIFY_DIALOG(passwordDialog);
    QCOMPARE(openAfterEnter, (QList<bool>{true, true}));
    QCOMPARE(focusMoved, (QList<bool>{true, true}));
    QVERIFY(messages.texts().isEmpty());
    QCOMPARE(storedPassword(fixture.db, fixture.user), QStringLiteral("NewPass"));
}

void TestPasswordChange::refusalsKeepDialogOpen_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("fresh");
    QTest::addColumn<QString>("verify");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("selectedField");

    QTest::newRow("current wrong") << "Wrong"
                                   << "New1"
                                   << "New1" << InvalidCurrent << "edPassword";
    QTest::newRow("current in other case") << "oldpass"
                                           << "New1"
                                           << "New1" << InvalidCurrent << "edPassword";
    QTest::newRow("verify differs") << "OldPass"
                                    << "New1"
                                    << "New2" << NoMatch << "edPassword1";
    QTest::newRow("verify differs in case") << "OldPass"
                                            << "New1"
                                            << "NEW1" << NoMatch << "edPassword1";
}

void TestPasswordChange::refusalsKeepDialogOpen()
{
    QFETCH(QString, current);
    QFETCH(QString, fresh);
    QFETCH(QString, verify);
    QFETCH(QString, message);
    QFETCH(QString, selectedField);

    LoggedOnUser fixture;
    ui::MessageRecorder messages;

    bool stayedOpen = false;
    bool fieldSelected = false;
    testsupport::ExpectDialog<TFormPassword> passwordDialog([&](QWidget *dialog) {
        fill(dialog, current, fresh, verify);
        clickOk(dialog);
        stayedOpen = dialog->isVisible();
        QLineEdit *selected = field(dialog, selectedField);
        fieldSelected =
            dialog->focusWidget() == selected && selected->selectedText() == selected->text();
        dialog->findChild<QPushButton *>(QStringLiteral("bbnCancel"))->click();
    });
    QVERIFY(!fixture.component->ChangePassword());
    VESK_VERIFY_DIALOG(passwordDialog);
    QVERIFY(stayedOpen);
    QVERIFY(fieldSelected);
    QCOMPARE(messages.texts(), QStringList{message});
    QCOMPARE(storedPassword(fixture.db, fixture.user), QStringLiteral("OldPass"));
}

void TestPasswordChange::storesNewPassword_data()
{
    QTest::addColumn<QString>("fresh");
    QTest::addColumn<QString>("stored");

    QTest::newRow("ordinary") << "Better2"
                              << "Better2";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("twelve characters") << "abcdefghijkl"
                                       << "abcdefghijkl";
    QTest::newRow("longer than twelve is cut") << "abcdefghijklmnop"
                                               << "abcdefghijkl";
}

void TestPasswordChange::storesNewPassword()
{
    QFETCH(QString, fresh);
    QFETCH(QString, stored);

    LoggedOnUser fixture;
    ui::MessageRecorder messages;

    testsupport::ExpectDialog<TFormPassword> passwordDialog([&](QWidget *dialog) {
        fill(dialog, QStringLiteral("OldPass"), fresh, fresh);
        clickOk(dialog);
    });
    QVERIFY(fixture.component->ChangePassword());
    VESK_VERIFY_DIALOG(passwordDialog);
    QVERIFY(messages.texts().isEmpty());
    QCOMPARE(storedPassword(fixture.db, fixture.user), stored);
    // The component keeps the password it read at logon.
    QCOMPARE(fixture.component->CurrentPassword(), QStringLiteral("OldPass"));
    // And the new one is the one that logs on now.
    QVERIFY(fixture.component->LogonEx(QStringLiteral("Grace"), stored));
    QCOMPARE(fixture.component->CurrentPassword(), stored);
}

void TestPasswordChange::cancelWritesNothing()
{
    LoggedOnUser fixture;
    ui::MessageRecorder messages;

    testsupport::ExpectDialog<TFormPassword> passwordDialog([&](QWidget *dialog) {
        fill(dialog, QStringLiteral("OldPass"), QStringLiteral("New1"), QStringLiteral("New1"));
        dialog->findChild<QPushButton *>(QStringLiteral("bbnCancel"))->click();
    });
    QVERIFY(!fixture.component->ChangePassword());
    VESK_VERIFY_DIALOG(passwordDialog);
    QVERIFY(messages.texts().isEmpty());
    QCOMPARE(storedPassword(fixture.db, fixture.user), QStringLiteral("OldPass"));
}

void TestPasswordChange::onlyAnOrdinaryUserMayChange_data()
{
    QTest::addColumn<bool>("supervisor");
    QTest::addColumn<bool>("showUI");

    QTest::newRow("supervisor, soShowUI") << true << true;
    QTest::newRow("supervisor, quiet") << true << false;
    QTest::newRow("nobody, soShowUI") << false << true;
    QTest::newRow("nobody, quiet") << false << false;
}

void TestPasswordChange::onlyAnOrdinaryUserMayChange()
{
    QFETCH(bool, supervisor);
    QFETCH(bool, showUI);

    SecurityDb db;
    db.setSettings(true, false);
    const auto component = activatedComponent(db);
    if (supervisor) {
        testsupport::ExpectDialog<TFormLogon> logonDialog([&](QWidget *dialog) {
            field(dialog, QStringLiteral("edUserName"))->setText(QStringLiteral("SUPERVISOR"));
            field(dialog, QStringLiteral("edPassword"))->setText(db.password());
            dialog->findChild<QPushButton *>(QStringLiteral("bbtnOk"))->click();
        });
        QVERIFY(component->Logon());
        VESK_VERIFY_DIALOG(logonDialog);
        QCOMPARE(component->UserID(), 0);
    }
    component->SetShowUI(showUI);
    ui::MessageRecorder messages;

    testsupport::NoModalDialog noDialog;
    QVERIFY(!component->ChangePassword());
    VESK_VERIFY_DIALOG(noDialog);
    QCOMPARE(messages.texts(), showUI
                                   ? QStringList{QStringLiteral("No user is logged into security")}
                                   : QStringList{});
}

void TestPasswordChange::vanishedUserRowGivesFalse()
{
    LoggedOnUser fixture;
    {
        dbe::Table users;
        users.setDatabaseName(fixture.db.alias());
        users.setTableName(QStringLiteral("USERS.DB"));
        users.open();
        QVERIFY(users.findKey({fixture.user}));
        users.remove();
    }
    ui::MessageRecorder messages;

    testsupport::NoModalDialog noDialog;
    QVERIFY(!fixture.component->ChangePassword());
    VESK_VERIFY_DIALOG(noDialog);
    QVERIFY(messages.texts().isEmpty());
}

LOGON_TEST_MAIN(TestPasswordChange)
#include "tst_passwordchange.moc"
