// The logon dialog and Logon(): the close-attempt rules, the supervisor, and what a logon
// through the dialog leaves in the component and in the tables.

#include "dbe/table.h"
#include "logontestkit.h"
#include "security/logonunt.h"
#include "tests/support/testsupport.h"
#include "ui/messages.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace logontest;
using testsupport::SecurityDb;

namespace {

const QString InvalidLogon = QStringLiteral("Invalid Username or Password");
const QString AccountDisabled = QStringLiteral("User Account has been disabled.");

QLineEdit *lineEdit(QWidget *dialog, const QString &name)
{
    return dialog->findChild<QLineEdit *>(name);
}

QPushButton *button(QWidget *dialog, const QString &name)
{
    return dialog->findChild<QPushButton *>(name);
}

void typeInto(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, text);
}

// Types the name and password, then closes the dialog the way `how` names.
void fillAndClose(QWidget *dialog, const QString &name, const QString &password, const QString &how)
{
    typeInto(lineEdit(dialog, QStringLiteral("edUserName")), name);
    QLineEdit *passwordEdit = lineEdit(dialog, QStringLiteral("edPassword"));
    typeInto(passwordEdit, password);
    if (how == QStringLiteral("ok"))
        button(dialog, QStringLiteral("bbtnOk"))->click();
    else if (how == QStringLiteral("enter"))
        QTest::keyClick(passwordEdit, Qt::Key_Return);
    else if (how == QStringLiteral("cancel"))
        button(dialog, QStringLiteral("bbtnCancel"))->click();
    else if (how == QStringLiteral("escape"))
        QTest::keyClick(passwordEdit, Qt::Key_Escape);
    else if (how == QStringLiteral("closebox"))
        dialog->close();
}

int logRowCount(const SecurityDb &db)
{
    return db.rowCount(QStringLiteral("Log"));
}

} // namespace

class TestLogonDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dialogShowsItsControls();
    void supervisorCredentials_data();
    void supervisorCredentials();
    void supervisorWhicheverWayTheDialogCloses_data();
    void supervisorWhicheverWayTheDialogCloses();
    void enterInNameFieldMovesToPassword();
    void supervisorTestComesBeforeEnterRule();
    void refusedLogonKeepsDialogOpen_data();
    void refusedLogonKeepsDialogOpen();
    void userCaseRules_data();
    void userCaseRules();
    void disabledAccountClosesDialog();
    void logonKeepsValuesFromBeforeIt();
    void unreadableUsersTableShowsNoDialog();
};

void TestLogonDialog::dialogShowsItsControls()
{
    TFormLogon dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Logon"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lblUserName"))->text(),
             QStringLiteral("UserName:"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lblUserPassword"))->text(),
             QStringLiteral("Password:"));
    QCOMPARE(dialog.edUserName()->maxLength(), 48);
    QCOMPARE(dialog.edPassword()->echoMode(), QLineEdit::Password);
    QVERIFY(dialog.bbtnOk()->isDefault());
    QCOMPARE(dialog.bbtnOk()->text(), QStringLiteral("OK"));
    QCOMPARE(dialog.tblUsers().indexName(), QStringLiteral("UserName"));

    // A name longer than the field is cut at 48 characters as it is typed.
    QTest::keyClicks(dialog.edUserName(), QString(60, u'x'));
    QCOMPARE(dialog.edUserName()->text().size(), 48);
}

void TestLogonDialog::supervisorCredentials_data()
{
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<QString>("master");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("isSupervisor");

    QTest::newRow("blind, all lower case") << false << "Master1"
                                           << "supervisor"
                                           << "master1" << true;
    QTest::newRow("blind, all upper case") << false << "Master1"
                                           << "SUPERVISOR"
                                           << "MASTER1" << true;
    QTest::newRow("blind, wrong password") << false << "Master1"
                                           << "SUPERVISOR"
                                           << "Master2" << false;
    QTest::newRow("blind, trailing blank") << false << "Master1"
                                           << "SUPERVISOR "
                                           << "Master1" << false;
    QTest::newRow("blind folds A-Z only") << false << "Mäster"
                                          << "supervisor"
                                          << "MÄSTER" << false;
    QTest::newRow("exact, as written") << true << "Master1"
                                       << "SUPERVISOR"
                                       << "Master1" << true;
    QTest::newRow("exact, name in mixed case") << true << "Master1"
                                               << "Supervisor"
                                               << "Master1" << false;
    QTest::newRow("exact, password in other case") << true << "Master1"
                                                   << "SUPERVISOR"
                                                   << "master1" << false;
}

void TestLogonDialog::supervisorCredentials()
{
    QFETCH(bool, caseSensitive);
    QFETCH(QString, master);
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(bool, isSupervisor);

    SecurityDb db(QStringLiteral("TESTSEC"), master);
    db.setSettings(true, true);
    TSecurityOptions options;
    if (caseSensitive)
        options.include(soCaseSensitive);
    const auto component = activatedComponent(db, options);
    ui::MessageRecorder messages;

    testsupport::ExpectDialog<TFormLogon> logonDialog(
        [&](QWidget *dialog) { fillAndClose(dialog, name, password, "ok"); });
    QCOMPARE(component->Logon(), isSupervisor);
    VESK_VERIFY_DIALOG(logonDialog);

    if (isSupervisor) {
        QCOMPARE(component->UserID(), 0);
        QCOMPARE(component->CurrentUserName(), QStringLiteral("Supervisor"));
        QCOMPARE(component->CurrentPassword(), master);
        QVERIFY(component->IsAdmin());
        QCOMPARE(component->AccessCount(), 0);
        QVERIFY(component->UserDef1().isEmpty() && component->UserDef2().isEmpty());
        QVERIFY(messages.texts().isEmpty());
    } else {
        // Taken for an ordinary name that no user has; the dialog was then cancelled.
        QCOMPARE(component->UserID(), -1);
        QCOMPARE(messages.texts(), QStringList{InvalidLogon});
    }
}

void TestLogonDialog::supervisorWhicheverWayTheDialogCloses_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("result");

    QTest::newRow("OK button") << "ok" << true;
    QTest::newRow("Enter in password") << "enter" << true;
    QTest::newRow("Cancel button") << "cancel" << false;
    QTest::newRow("Escape") << "escape" << false;
    QTest::newRow("close box") << "closebox" << false;
}

void TestLogonDialog::supervisorWhicheverWayTheDialogCloses()
{
    QFETCH(QString, how);
    QFETCH(bool, result);

    SecurityDb db;
    db.setSettings(true, true);
    const int user = db.addUser(QStringLiteral("Somebody"), QStringLiteral("pw"));
    const QVariantMap rowBefore = userRow(db.alias(), user);
    const auto component = activatedComponent(db);

    testsupport::ExpectDialog<TFormLogon> logonDialog(
        [&](QWidget *dialog) { fillAndClose(dialog, "SUPERVISOR", db.password(), how); });
    QCOMPARE(component->Logon(), result);
    VESK_VERIFY_DIALOG(logonDialog);

    // Cancelled or not, the component holds the supervisor; only an accepted logon is logged.
    QCOMPARE(component->UserID(), 0);
    QVERIFY(component->Active());
    const QList<QVariantMap> log = rowsOf(db.alias(), QStringLiteral("Log"));
    QCOMPARE(log.size(), result ? 1 : 0);
    if (result) {
        QCOMPARE(log.first().value(QStringLiteral("User_ID")).toInt(), 0);
        QVERIFY(log.first().value(QStringLiteral("Access_ID")).isNull());
    }
    QCOMPARE(userRow(db.alias(), user), rowBefore);
}

void TestLogonDialog::enterInNameFieldMovesToPassword()
{
    SecurityDb db;
    db.setSettings(true, false);
    const int user = db.addUser(QStringLiteral("Alice"), QStringLiteral("secret"));
    const auto component = activatedComponent(db);
    ui::MessageRecorder messages;

    bool openAfterNameEnter = false;
    bool focusOnPassword = false;
    testsupport::ExpectDialog<TFormLogon> logonDialog([&](QWidget *dialog) {
        QLineEdit *name = lineEdit(dialog, QStringLiteral("edUserName"));
        QLineEdit *password = lineEdit(dialog, QStringLiteral("edPassword"));
        typeInto(password, QStringLiteral("secret"));
        typeInto(name, QStringLiteral("Alice"));
        QTest::keyClick(name, Qt::Key_Return);
        openAfterNameEnter = dialog->isVisible();
        focusOnPassword = dialog->focusWidget() == password;
        QTest::keyClick(password, Qt::Key_Return);
    });
    QVERIFY(component->Logon());
    VESK_VERIFY_DIALOG(logonDialog);
    QVERIFY(openAfterNameEnter);
    QVERIFY(focusOnPassword);
    QVERIFY(messages.texts().isEmpty());
    QCOMPARE(component->UserID(), user);
}

void TestLogonDialog::supervisorTestComesBeforeEnterRule()
{
    SecurityDb db;
    db.setSettings(true, false);
    const auto component = activatedComponent(db);

    testsupport::ExpectDialog<TFormLogon> logonDialog([&](QWidget *dialog) {
        typeInto(lineEdit(dialog, QStringLiteral("edPassword")), db.password());
        QLineEdit *name = lineEdit(dialog, QStringLiteral("edUserName"));
        typeInto(name, QStringLiteral("SUPERVISOR"));
        QTest::keyClick(name, Qt::Key_Return);
    });
    QVERIFY(component->Logon());
    VESK_VERIFY_DIALOG(logonDialog);
    QCOMPARE(component->UserID(), 0);
}

void TestLogonDialog::refusedLogonKeepsDialogOpen_data()
{
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");

    QTest::newRow("unknown name") << false << "Nobody"
                                  << "secret";
    QTest::newRow("wrong password") << false << "Alice"
                                    << "wrong";
    QTest::newRow("password with a blank") << false << "Alice"
                                           << "Secret ";
    QTest::newRow("exact, password in other case") << true << "Alice"
                                                   << "SECRET";
    QTest::newRow("empty fields") << false << ""
                                  << "";
}

void TestLogonDialog::refusedLogonKeepsDialogOpen()
{
    QFETCH(bool, caseSensitive);
    QFETCH(QString, name);
    QFETCH(QString, password);

    SecurityDb db;
    db.setSettings(true, true);
    const int user = db.addUser(QStringLiteral("Alice"), QStringLiteral("Secret"));
    const QVariantMap rowBefore = userRow(db.alias(), user);
    TSecurityOptions options;
    if (caseSensitive)
        options.include(soCaseSensitive);
    const auto component = activatedComponent(db, options);
    ui::MessageRecorder messages;

    bool stayedOpen = false;
    bool nameSelected = false;
    testsupport::ExpectDialog<TFormLogon> logonDialog([&](QWidget *dialog) {
        fillAndClose(dialog, name, password, "ok");
        stayedOpen = dialog->isVisible();
        QLineEdit *nameEdit = lineEdit(dialog, QStringLiteral("edUserName"));
        nameSelected = dialog->focusWidget() == nameEdit && nameEdit->selectedText() == name &&
                       lineEdit(dialog, QStringLiteral("edPassword"))->text().isEmpty();
        button(dialog, QStringLiteral("bbtnCancel"))->click();
    });
    QVERIFY(!component->Logon());
    VESK_VERIFY_DIALOG(logonDialog);
    QVERIFY(stayedOpen);
    QVERIFY(nameSelected);
    QCOMPARE(messages.texts(), QStringList{InvalidLogon});
    QCOMPARE(component->UserID(), -1);
    QCOMPARE(logRowCount(db), 0);
    QCOMPARE(userRow(db.alias(), user), rowBefore);
}

void TestLogonDialog::userCaseRules_data()
{
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("loggedOn");

    QTest::newRow("blind, name in capitals") << false << "MIXEDCASE"
                                             << "PassWord" << true;
    QTest::newRow("blind, password in other case") << false << "mixedcase"
                                                   << "PASSWORD" << true;
    QTest::newRow("exact, name in capitals") << true << "MIXEDCASE"
                                             << "PassWord" << true;
    QTest::newRow("exact, password in other case") << true << "MixedCase"
                                                   << "password" << false;
}

void TestLogonDialog::userCaseRules()
{
    QFETCH(bool, caseSensitive);
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(bool, loggedOn);

    SecurityDb db;
    db.setSettings(true, false);
    const int user = db.addUser(QStringLiteral("MixedCase"), QStringLiteral("PassWord"));
    TSecurityOptions options;
    if (caseSensitive)
        options.include(soCaseSensitive);
    const auto component = activatedComponent(db, options);
    ui::MessageRecorder messages;

    testsupport::ExpectDialog<TFormLogon> logonDialog(
        [&](QWidget *dialog) { fillAndClose(dialog, name, password, "enter"); });
    QCOMPARE(component->Logon(), loggedOn);
    VESK_VERIFY_DIALOG(logonDialog);
    QCOMPARE(component->UserID(), loggedOn ? user : -1);
    if (loggedOn)
        QCOMPARE(component->CurrentUserName(), QStringLiteral("MixedCase"));
    QCOMPARE(messages.texts().isEmpty(), loggedOn);
}

void TestLogonDialog::disabledAccountClosesDialog()
{
    SecurityDb db;
    db.setSettings(true, true);
    const int user = db.addUser(QStringLiteral("Gone"), QStringLiteral("pw"), false);
    const QVariantMap rowBefore = userRow(db.alias(), user);
    const auto component = activatedComponent(db);
    ui::MessageRecorder messages;

    bool closedByLogon = false;
    testsupport::ExpectDialog<TFormLogon> logonDialog([&](QWidget *dialog) {
        fillAndClose(dialog, "Gone", "pw", "ok");
        closedByLogon = !dialog->isVisible();
    });
    QVERIFY(!component->Logon());
    VESK_VERIFY_DIALOG(logonDialog);
    QVERIFY(closedByLogon);
    QCOMPARE(messages.texts(), QStringList{AccountDisabled});
    QCOMPARE(component->UserID(), -1);
    QCOMPARE(logRowCount(db), 0);
    QCOMPARE(userRow(db.alias(), user), rowBefore);
}

void TestLogonDialog::logonKeepsValuesFromBeforeIt()
{
    SecurityDb db;
    db.setSettings(true, true);
    const int user = db.addUser(QStringLiteral("Carol"), QStringLiteral("pw"), true, true,
                                QStringLiteral("Sales"), QStringLiteral("555"));
    const QDateTime earlier(QDate(2020, 5, 17), QTime(9, 30, 15));
    setUserFields(
        db.alias(), user,
        {{QStringLiteral("User_LastAccess"), earlier}, {QStringLiteral("User_AccessCount"), 41}});
    const auto component = activatedComponent(db);

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    testsupport::ExpectDialog<TFormLogon> logonDialog(
        [&](QWidget *dialog) { fillAndClose(dialog, "carol", "PW", "ok"); });
    QVERIFY(component->Logon());
    VESK_VERIFY_DIALOG(logonDialog);
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    QCOMPARE(component->UserID(), user);
    QCOMPARE(component->CurrentUserName(), QStringLiteral("Carol"));
    QCOMPARE(component->CurrentPassword(), QStringLiteral("pw"));
    QCOMPARE(component->UserDef1(), QStringLiteral("Sales"));
    QCOMPARE(component->UserDef2(), QStringLiteral("555"));
    QCOMPARE(component->LastAccess(), earlier);
    QCOMPARE(component->AccessCount(), 41);
    QVERIFY(component->IsAdmin());

    const QVariantMap row = userRow(db.alias(), user);
    QCOMPARE(row.value(QStringLiteral("User_AccessCount")).toInt(), 42);
    const QDateTime stored = row.value(QStringLiteral("User_LastAccess")).toDateTime();
    QVERIFY2(stored >= before && stored <= after, qPrintable(stored.toString(Qt::ISODate)));

    const QList<QVariantMap> log = rowsOf(db.alias(), QStringLiteral("Log"));
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.first().value(QStringLiteral("User_ID")).toInt(), user);
    QVERIFY(log.first().value(QStringLiteral("Access_ID")).isNull());
}

void TestLogonDialog::unreadableUsersTableShowsNoDialog()
{
    SecurityDb db;
    db.setSettings(true, false);
    const auto component = activatedComponent(db);
    component->SetAlias(QStringLiteral("NOSUCHALIAS"));
    ui::MessageRecorder messages;

    testsupport::NoModalDialog noDialog;
    QVERIFY(!component->Logon());
    VESK_VERIFY_DIALOG(noDialog);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Unable to Access Security Files")});
    QCOMPARE(component->UserID(), -1);
}

LOGON_TEST_MAIN(TestLogonDialog)
#include "tst_logondialog.moc"
