// Activation of the security component and its states before any logon.

#include "dbe/session.h"
#include "dbe/table.h"
#include "rules/createtables.h"
#include "rules/schema.h"
#include "security/logonunt.h"
#include "security/vesksec2_p.h"
#include "tests/support/modaldialog.h"
#include "tests/support/testsupport.h"
#include "ui/messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>

namespace {

const QString Disabled = QStringLiteral("Security for this application has been disabled.");
const QString InitFailed = QStringLiteral("Error occured initializing security. Execution Ending.");

// The component asks the application to quit through the event loop; run the loop until it
// does, so that the request is carried out here and not in a later test's dialog.
void expectQuitRequest()
{
    // Scoped to this call: a guard left running would end the event loop of a later test.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    QCOMPARE(QCoreApplication::exec(), 0);
}

} // namespace

class ActivationTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every test runs once per storage.
    void initTestCase_data() { testsupport::addStorageRows(); }
    void init() { testsupport::followStorageRow(); }
    void initTestCase() { testsupport::isolateEngineConfig(); }

    void holdsTheOptionsInOneByte()
    {
        TVeskSecure component;
        QCOMPARE(component.Options().toByte(), quint8(0b00101));
        QCOMPARE(component.UserID(), -1);
        QVERIFY(!component.GetActive());
        QCOMPARE(TSecurityOptions({soCaseSensitive, soWinNetSupport}).toByte(), quint8(0b10010));
        QCOMPARE(TSecurityOptions::fromByte(0b01000).contains(soNetwareSupport), true);
        component.SetShowUI(false);
        QCOMPARE(component.Options().toByte(), quint8(0b00001));
        QVERIFY(component.setProperty("Alias", QStringLiteral("X")));
        QCOMPARE(component.Alias(), QStringLiteral("X"));
        QCOMPARE(component.property("ShowUI").toBool(), false);
    }

    void opensNothingWhileDesigned()
    {
        ui::MessageRecorder messages;
        TVeskSecure component;
        component.SetAlias(QStringLiteral("NO_SUCH_ALIAS"));
        component.SetDesigning(true);
        component.Loaded();
        QVERIFY(messages.requests().isEmpty());
        QVERIFY(!component.TerminationRequested());
        QVERIFY(!security::grpCollTable(component));
        QVERIFY(!security::userAccTable(component));
    }

    void endsTheHostWhenSecurityIsDisabled_data()
    {
        QTest::addColumn<bool>("hasSettings");
        QTest::addColumn<bool>("showUI");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("disabled, with messages") << true << true << QStringList{Disabled};
        QTest::newRow("disabled, silent") << true << false << QStringList{};
        QTest::newRow("no settings row") << false << true << QStringList{Disabled};
    }
    void endsTheHostWhenSecurityIsDisabled()
    {
        QFETCH(bool, hasSettings);
        QFETCH(bool, showUI);
        QFETCH(QStringList, shown);
        testsupport::SecurityDb db;
        if (hasSettings)
            db.setSettings(false, true);
        ui::MessageRecorder messages;
        TVeskSecure component;
        component.SetAlias(db.alias());
        component.SetPassword(db.password());
        component.SetShowUI(showUI);
        component.Loaded();
        QCOMPARE(messages.texts(), shown);
        QVERIFY(component.TerminationRequested());
        QVERIFY(!security::logTable(component));
        expectQuitRequest();
    }

    void startUpMessageIsCentredOnTheScreen()
    {
        // The real box: its owner is the host's main window, not shown yet at activation.
        testsupport::SecurityDb db;
        db.setSettings(false, true);
        QWidget host;
        auto *component = new TVeskSecure(&host);
        component->SetAlias(db.alias());
        component->SetPassword(db.password());
        QRect box;
        QString text;
        testsupport::ExpectDialog<QMessageBox> message([&](QMessageBox *shown) {
            box = shown->frameGeometry();
            text = shown->text();
            shown->accept();
        });
        component->Loaded();
        VESK_VERIFY_DIALOG(message);
        QCOMPARE(text, Disabled);
        const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY2((box.center() - middle).manhattanLength() <= 4,
                 qPrintable(QStringLiteral("box at %1,%2").arg(box.x()).arg(box.y())));
        expectQuitRequest();
    }

    void opensTheTablesButLogsNobodyOnWithoutOptions_data()
    {
        QTest::addColumn<bool>("logEnabled");
        QTest::newRow("logging on") << true;
        QTest::newRow("logging off") << false;
    }
    void opensTheTablesButLogsNobodyOnWithoutOptions()
    {
        QFETCH(bool, logEnabled);
        testsupport::SecurityDb db;
        db.setSettings(true, logEnabled);
        ui::MessageRecorder messages;
        {
            TVeskSecure component;
            component.SetAlias(db.alias());
            component.SetPassword(db.password());
            component.SetOptions({});
            component.Loaded();
            QVERIFY(messages.requests().isEmpty());
            QVERIFY(!component.TerminationRequested());
            QVERIFY(security::grpCollTable(component) &&
                    security::grpCollTable(component)->isOpen());
            QVERIFY(security::userAccTable(component) &&
                    security::userAccTable(component)->isOpen());
            QCOMPARE(security::logTable(component) != nullptr, logEnabled);
            QVERIFY(!component.GetActive());
            QCOMPARE(component.UserID(), -1);
            component.SetActive(true); // never logs anybody on
            QVERIFY(!component.GetActive());
            QCOMPARE(security::userAccTable(component)->lockHolders().size(), 1);
        }
        // Destruction closed the tables: nobody holds them any more.
        dbe::Table probe;
        probe.setDatabaseName(db.alias());
        probe.setTableName(QStringLiteral("UserAcc"));
        probe.setExclusive(true);
        probe.open();
        QVERIFY(probe.isOpen());
    }

    // The logons the README offers for the demonstration database, and one it does not.
    void demonstrationUsersLogOnAsDocumented_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("accepted");
        for (const char *user : {"admin", "clerk", "manager", "auditor"})
            QTest::newRow(user) << QString::fromLatin1(user) << QString::fromLatin1(user) << true;
        QTest::newRow("wrong password") << "clerk"
                                        << "manager" << false;
    }
    void demonstrationUsersLogOnAsDocumented()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, accepted);
        testsupport::SecurityDb db;
        security::fillDemoData(db.alias());
        ui::MessageRecorder messages;
        TVeskSecure component;
        component.SetAlias(db.alias());
        component.SetPassword(db.password());
        component.SetOptions({});
        component.Loaded();
        QCOMPARE(component.LogonEx(user, password), accepted);
        QCOMPARE(component.GetActive(), accepted);
        QVERIFY2(messages.requests().isEmpty(), qPrintable(messages.lastText()));
    }

    void settingActiveFalseLogsOff()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        db.addUser(QStringLiteral("ann"), QStringLiteral("pw"), true, true, QStringLiteral("d1"));
        TVeskSecure component;
        component.SetAlias(db.alias());
        component.SetPassword(db.password());
        component.SetOptions({});
        component.Loaded();
        QVERIFY(component.LogonEx(QStringLiteral("ann"), QStringLiteral("pw")));
        QVERIFY(component.GetActive());
        QVERIFY(component.IsAdmin());
        component.SetActive(false);
        QCOMPARE(component.UserID(), -1);
        QCOMPARE(component.CurrentUserName(), QString());
        QCOMPARE(component.CurrentPassword(), QString());
        QCOMPARE(component.UserDef1(), QString());
        QVERIFY(!component.LastAccess().isValid());
        QCOMPARE(component.AccessCount(), 0);
        QVERIFY(!component.IsAdmin());
    }

    void reportsEngineFailuresAndEnds_data()
    {
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("reason");       // the engine's, in the log
        QTest::addColumn<QString>("serverReason"); // the same on a server: the server's words
        QTest::newRow("unknown alias") << "NO_SUCH_ALIAS"
                                       << "Master1"
                                       << "Unknown database: NO_SUCH_ALIAS"
                                       << "Unknown database: NO_SUCH_ALIAS";
        QTest::newRow("wrong master password")
            << "TESTSEC"
            << "Wr0ngMaster"
            << "the table GRPCOLL.DB cannot be opened without its password"
            << "password authentication failed";
        QTest::newRow("missing master password")
            << "TESTSEC"
            << ""
            << "the table GRPCOLL.DB cannot be opened without its password"
            << "no password supplied";
    }
    void reportsEngineFailuresAndEnds()
    {
        QFETCH(QString, alias);
        QFETCH(QString, password);
        QFETCH(QString, reason);
        QFETCH(QString, serverReason);
        if (testsupport::currentStorage() == testsupport::Storage::Postgres)
            reason = serverReason;
        testsupport::SecurityDb db(QStringLiteral("TESTSEC"), QStringLiteral("Master1"));
        db.setSettings(true, true);
        dbe::Session::instance().removeAllPasswords();
        dbe::Session::instance().closeDatabases();
        ui::MessageRecorder messages;
        const testsupport::LogCapture log;
        TVeskSecure component;
        component.SetAlias(alias);
        component.SetPassword(password);
        component.SetShowUI(false); // shown whatever the options say
        component.Loaded();
        QCOMPARE(messages.texts(), QStringList{InitFailed});
        QVERIFY(component.TerminationRequested());
        // The fixed text hides the engine's reason from the user, not from the log; the
        // passwords stay out of it.
        QVERIFY2(log.text().startsWith(QLatin1String("vesk.security: ")), qPrintable(log.text()));
        QVERIFY2(log.text().contains(reason), qPrintable(log.text()));
        QVERIFY(!log.text().contains(QLatin1String("Master1")));
        if (!password.isEmpty())
            QVERIFY(!log.text().contains(password));
        expectQuitRequest();
    }

    void fallsBackToTheDialogWithoutANetWareClient()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        ui::MessageRecorder messages;
        TVeskSecure component;
        component.SetAlias(db.alias());
        component.SetPassword(db.password());
        component.SetOptions({soAutoValidate, soNetwareSupport});
        testsupport::ExpectDialog<TFormLogon> logonDialog(
            [](TFormLogon *dialog) { dialog->close(); });
        component.Loaded();
        VESK_VERIFY_DIALOG(logonDialog);
        QVERIFY(!component.GetActive());
        QVERIFY(component.TerminationRequested()); // the dialog was cancelled
        expectQuitRequest();
    }
};

QTEST_MAIN(ActivationTest)
#include "tst_activation.moc"
