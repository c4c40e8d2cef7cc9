// The component's way into the setup editor: who gets it, and with which constant buttons.

#include "security/logonunt.h"
#include "security/vesksec2.h"
#include "tests/setup/setuptestkit.h"
#include "ui/messages.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using namespace setuptest;

class TestSetupEntry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { initTestProgram(); }

    void editorOpensForAdministrators_data()
    {
        QTest::addColumn<QString>("logon");
        QTest::addColumn<bool>("buttonsShown");
        QTest::newRow("supervisor") << "SUPERVISOR" << true;
        QTest::newRow("administrator") << "Ann" << false;
    }

    void editorOpensForAdministrators()
    {
        QFETCH(QString, logon);
        QFETCH(bool, buttonsShown);
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        db.addUser(QStringLiteral("Ann"), QStringLiteral("annpw"), true, true);
        db.addAccess(QStringLiteral("Print"));
        TVeskSecure component;
        component.SetAlias(db.alias());
        component.SetPassword(db.password());
        component.SetOptions({soShowUI});
        component.Loaded();
        testsupport::ExpectDialog<TFormLogon> logonDialog([&](TFormLogon *dialog) {
            dialog->edUserName()->setText(logon);
            dialog->edPassword()->setText(logon == QLatin1String("Ann") ? QStringLiteral("annpw")
                                                                        : db.password());
            QTest::mouseClick(dialog->bbtnOk(), Qt::LeftButton);
        });
        QVERIFY(component.Logon());
        VESK_VERIFY_DIALOG(logonDialog);

        QStringList constants;
        QList<bool> visible;
        testsupport::ExpectDialog<TFormMain> editorDialog([&](TFormMain *editor) {
            QCOMPARE(editor->AliasName(), db.alias());
            child<QTabWidget>(editor, "tnbkLists")->setCurrentIndex(1);
            for (const char *name : {"spbtnAccAdd", "spbtnAccEdit", "spbtnAccDel"})
                visible.append(child<QToolButton>(editor, name)->isVisible());
            constants = lines(child<QListWidget>(editor, "lbConstants"));
            QTest::mouseClick(child<QPushButton>(editor, "btnOk"), Qt::LeftButton);
        });
        QVERIFY(component.Setup());
        VESK_VERIFY_DIALOG(editorDialog);
        QCOMPARE(visible, QList<bool>(3, buttonsShown));
        QCOMPARE(constants, QStringList({"Print"}));
        QCOMPARE(FormMain, nullptr);
    }

    void othersAreRefused_data()
    {
        QTest::addColumn<bool>("loggedOn");
        QTest::addColumn<bool>("showUI");
        QTest::newRow("user without rights, shown") << true << true;
        QTest::newRow("user without rights, quiet") << true << false;
        QTest::newRow("nobody, shown") << false << true;
    }

    void othersAreRefused()
    {
        QFETCH(bool, loggedOn);
        QFETCH(bool, showUI);
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        db.addUser(QStringLiteral("Bob"), QStringLiteral("bobpw"), true, false);
        TVeskSecure component;
        component.SetAlias(db.alias());
        component.SetPassword(db.password());
        component.SetOptions(showUI ? TSecurityOptions{soShowUI} : TSecurityOptions{});
        component.Loaded();
        if (loggedOn)
            QVERIFY(component.LogonEx(QStringLiteral("Bob"), QStringLiteral("bobpw")));
        ui::MessageRecorder messages;
        QVERIFY(!component.Setup());
        QCOMPARE(messages.texts(),
                 showUI ? QStringList({"Administrative rights have not been granted."})
                        : QStringList());
    }
};

QTEST_MAIN(TestSetupEntry)
#include "tst_setupentry.moc"
