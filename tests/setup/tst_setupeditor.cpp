// The setup editor as a whole: what it shows when opened, the settings row it posts when it
// goes, the constant buttons an opener may hide, and a layout that shows every text in full.

#include "dbe/table.h"
#include "setup/frmgroup.h"
#include "setup/frmuser.h"
#include "tests/setup/setuptestkit.h"
#include "ui/helpwindow.h"
#include "ui/messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using namespace setuptest;

class TestSetupEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every test runs once per storage.
    void initTestCase_data() { testsupport::addStorageRows(); }
    void init() { testsupport::followStorageRow(); }
    void initTestCase() { initTestProgram(); }

    void openingShowsListsButNoUser()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int ann = db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        db.addUser(QStringLiteral("bob"), QStringLiteral("b"));
        const int print = db.addAccess(QStringLiteral("print"));
        db.addAccess(QStringLiteral("Delete"));
        db.addAccess(QStringLiteral("_Admin"));
        db.addGroup(QStringLiteral("clerks"));
        db.addGroup(QStringLiteral("Auditors"));
        db.grant(ann, print, QStringLiteral("C"));

        auto editor = openEditor(db);
        QCOMPARE(editor->windowTitle(), QStringLiteral("Security Setup"));
        QCOMPARE(selectedUserName(editor.get()), QString());
        QCOMPARE(child<QComboBox>(editor.get(), "dblkUserName")->count(), 2);
        QVERIFY(lines(child<QListWidget>(editor.get(), "lbUsrAccess")).isEmpty());
        // Sorted without regard to case, and by character code otherwise.
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbConstants")),
                 QStringList({"_Admin", "Delete", "print"}));
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbGroups")),
                 QStringList({"Auditors", "clerks"}));
        QCOMPARE(child<QLineEdit>(editor.get(), "dbedSecLabel")->text(), QStringLiteral("Test"));
        QVERIFY(child<QCheckBox>(editor.get(), "dbchkSecEnabled")->isChecked());
        QVERIFY(!child<QCheckBox>(editor.get(), "dbcxLogEnabled")->isChecked());
    }

    void settingsArePostedWhenTheWindowGoes_data()
    {
        QTest::addColumn<bool>("byOkButton");
        QTest::newRow("OK") << true;
        QTest::newRow("title bar") << false;
    }

    void settingsArePostedWhenTheWindowGoes()
    {
        QFETCH(bool, byOkButton);
        testsupport::SecurityDb db;
        db.setSettings(true, false, QStringLiteral("Old"), QStringLiteral("Dept"),
                       QStringLiteral("Phone"));
        {
            auto editor = openEditor(db);
            auto *label = child<QLineEdit>(editor.get(), "dbedSecLabel");
            label->selectAll();
            QTest::keyClicks(label, QStringLiteral("Payroll"));
            auto *field1 = child<QLineEdit>(editor.get(), "DBEdit1");
            field1->selectAll();
            QTest::keyClicks(field1, QStringLiteral("Office"));
            QTest::mouseClick(child<QCheckBox>(editor.get(), "dbcxLogEnabled"), Qt::LeftButton);
            // Nothing is written while the window is open.
            QCOMPARE(rows(db, QStringLiteral("PROGRAM.DB"), {"Security_Label"}),
                     QStringList({"Old"}));
            if (byOkButton)
                QTest::mouseClick(child<QWidget>(editor.get(), "btnOk"), Qt::LeftButton);
            else
                editor->close();
            QVERIFY(!editor->isVisible());
        }
        QCOMPARE(rows(db, QStringLiteral("PROGRAM.DB"),
                      {"Security_Label", "Label1", "Label2", "LogEnabled", "Enabled"}),
                 QStringList({"Payroll|Office|Phone|True|True"}));
    }

    void dateDisabledMarksTheSwitchOff_data()
    {
        QTest::addColumn<bool>("enabledAtOpen");
        QTest::addColumn<bool>("clickEnabled");
        QTest::addColumn<bool>("stampsToday");
        QTest::newRow("switched off") << true << true << true;
        QTest::newRow("already off") << false << false << false;
        QTest::newRow("switched on") << false << true << false;
        QTest::newRow("left on") << true << false << false;
    }

    void dateDisabledMarksTheSwitchOff()
    {
        QFETCH(bool, enabledAtOpen);
        QFETCH(bool, clickEnabled);
        QFETCH(bool, stampsToday);
        testsupport::SecurityDb db;
        db.setSettings(enabledAtOpen, false);
        const QDate earlier(2001, 2, 3);
        {
            dbe::Table program;
            program.setDatabaseName(db.alias());
            program.setTableName(QStringLiteral("PROGRAM.DB"));
            program.open();
            program.edit();
            program.setValue(QStringLiteral("DateDisabled"), earlier);
            program.post();
        }
        {
            auto editor = openEditor(db);
            if (clickEnabled)
                QTest::mouseClick(child<QCheckBox>(editor.get(), "dbchkSecEnabled"),
                                  Qt::LeftButton);
        }
        dbe::Table program;
        program.setDatabaseName(db.alias());
        program.setTableName(QStringLiteral("PROGRAM.DB"));
        program.open();
        QCOMPARE(program.asBoolean(QStringLiteral("Enabled")), enabledAtOpen != clickEnabled);
        QCOMPARE(program.asDate(QStringLiteral("DateDisabled")),
                 stampsToday ? QDate::currentDate() : earlier);
    }

    void constantButtonsFollowTheOpenersChoice_data()
    {
        QTest::addColumn<bool>("hide");
        QTest::newRow("supervisor or desktop") << false;
        QTest::newRow("other administrator") << true;
    }

    void constantButtonsFollowTheOpenersChoice()
    {
        QFETCH(bool, hide);
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        db.addAccess(QStringLiteral("Print"));
        auto editor = openEditor(db, hide);
        QCOMPARE(editor->HideAccessButtons(), hide);
        child<QTabWidget>(editor.get(), "tnbkLists")->setCurrentIndex(1);
        for (const char *name : {"spbtnAccAdd", "spbtnAccEdit", "spbtnAccDel"})
            QCOMPARE(child<QToolButton>(editor.get(), name)->isVisible(), !hide);
        auto *constants = child<QListWidget>(editor.get(), "lbConstants");
        QVERIFY(constants->isVisible());
        QCOMPARE(lines(constants), QStringList({"Print"}));
        QVERIFY(constants->dragEnabled());
    }

    void unknownAliasReportsTheEngineAndCloses()
    {
        ui::MessageRecorder messages;
        TFormMain editor;
        editor.SetAliasName(QStringLiteral("NOSUCHALIAS"));
        editor.show();
        QCOMPARE(messages.requests().size(), 1);
        QCOMPARE(messages.requests().first().kind, ui::MessageKind::Error);
        QVERIFY(!messages.lastText().isEmpty());
        QTRY_VERIFY(!editor.isVisible());
    }

    // Every text fits its control and every control its parent, with the names a real
    // database and the dialogs' longest captions put in.
    void everyTextIsShownInFull()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, true, QStringLiteral("Accounting Department Security"),
                       QStringLiteral("Department of Records"),
                       QStringLiteral("Telephone Extension"));
        const int user = db.addUser(QStringLiteral("Administrator Account"), QStringLiteral("x"));
        db.addUser(QStringLiteral("Front Desk"), QStringLiteral("y"));
        const int group = db.addGroup(QStringLiteral("Accounts Receivable"));
        db.addGroup(QStringLiteral("Auditors"));
        db.addGroup(QStringLiteral("Warehouse"));
        const int access = db.addAccess(QStringLiteral("Print Quarterly Sums"));
        db.addMember(group, access);
        for (const char *name : {"Edit Customers", "Delete Invoices", "Close Period", "Export Data",
                                 "View Salaries", "Post Journal", "Reprint Cheques"}) {
            const int id = db.addAccess(QString::fromLatin1(name));
            if (id % 2 == 0)
                db.grant(user, id, QStringLiteral("C"));
            db.addMember(group, id);
        }
        db.grant(user, group, QStringLiteral("G"));
        auto editor = openEditor(db);
        pickUser(editor.get(), QStringLiteral("Administrator Account"));
        verifyLayout(editor.get());
        saveShot(editor.get(), "setupeditor.png");

        testsupport::ExpectDialog<TformUser> userDialog([this](TformUser *dialog) {
            verifyLayout(dialog);
            saveShot(dialog, "userdialog.png");
            dialog->reject();
        });
        editor->spbtnEditUserClick();
        VESK_VERIFY_DIALOG(userDialog);

        selectLine(child<QListWidget>(editor.get(), "lbGroups"),
                   QStringLiteral("Accounts Receivable"));
        testsupport::ExpectDialog<TFormGroup> groupDialog([this](TFormGroup *dialog) {
            verifyLayout(dialog);
            saveShot(dialog, "groupdialog.png");
            dialog->reject();
        });
        editor->spbtnEditGroupClick();
        VESK_VERIFY_DIALOG(groupDialog);
    }

    void tabWalksTheControlsInTheirOrder()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        db.addGroup(QStringLiteral("Clerks"));
        auto editor = openEditor(db);
        QCOMPARE(
            focusOrder(editor.get(), QStringLiteral("dbedSecLabel")),
            QStringList({"dbedSecLabel", "DBEdit1", "DBEdit2", "dbchkSecEnabled", "dbcxLogEnabled",
                         "btnOk", "dblkUserName", "lbUsrAccess", "tnbkLists", "lbGroups",
                         "spbtnAddUser", "spbtnEditUser", "spbtnDelUser", "spbtnAddAccess",
                         "spbtnDelAccess", "spbtnAddGroup", "spbtnEditGroup", "spbtnDelGroup",
                         // the logon policy, an addition after the specified controls
                         "btnPolicy"}));

        QStringList userOrder;
        testsupport::ExpectDialog<TformUser> userDialog([&](TformUser *dialog) {
            userOrder = focusOrder(dialog, QStringLiteral("dbedName"));
            dialog->reject();
        });
        editor->spbtnAddUserClick();
        VESK_VERIFY_DIALOG(userDialog);
        QCOMPARE(userOrder, QStringList({"dbedName", "dbedPassword", "edConfirm", "dbedUserDef1",
                                         "dbedUserDef2",
                                         "dbchboxEnabled", "dbchAdmin", "bbtnAnother", "bbtnOk",
                                         "bbtnCancel"}));

        QStringList groupOrder;
        testsupport::ExpectDialog<TFormGroup> groupDialog([&](TFormGroup *dialog) {
            groupOrder = focusOrder(dialog, QStringLiteral("dbedGroupName"));
            dialog->reject();
        });
        editor->spbtnAddGroupClick();
        VESK_VERIFY_DIALOG(groupDialog);
        QCOMPARE(groupOrder, QStringList({"dbedGroupName", "lbSelected", "lbComplete", "bbtnOk",
                                          "bbtnCancel", "spbtnAdd", "spbtnDel"}));
    }

    void f1OpensTheSetupTopic()
    {
        qputenv("VESK_HELP_DIR", QByteArrayLiteral(VESK_TEST_HELP_DIR));
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        auto editor = openEditor(db);
        QApplication::setActiveWindow(editor.get());
        QVERIFY(QTest::qWaitForWindowActive(editor.get()));
        QTest::keyClick(child<QListWidget>(editor.get(), "lbGroups"), Qt::Key_F1);
        auto *help = editor->findChild<ui::HelpWindow *>();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QCOMPARE(help->currentPage().fileName(), QStringLiteral("setup.html"));
        // The contents list follows the topic, and Escape closes the window.
        QCOMPARE(help->findChild<QListWidget *>(QStringLiteral("lbContents"))
                     ->currentItem()
                     ->data(Qt::UserRole)
                     .toUrl(),
                 help->currentPage());
        QApplication::setActiveWindow(help);
        QVERIFY(QTest::qWaitForWindowActive(help));
        QTest::keyClick(help, Qt::Key_Escape);
        QVERIFY(!help->isVisible());
        // Pressed again, the same window comes back.
        QApplication::setActiveWindow(editor.get());
        QTest::keyClick(editor.get(), Qt::Key_F1);
        QCOMPARE(editor->findChildren<ui::HelpWindow *>().size(), 1);
        QVERIFY(help->isVisible());
    }

private:
    // The named controls that Tab reaches, from `start` once round the window.
    static QStringList focusOrder(QWidget *window, const QString &start)
    {
        QWidget *first = window->findChild<QWidget *>(start);
        QStringList order;
        QWidget *widget = first;
        do {
            const bool tabbable = (widget->focusPolicy() & Qt::TabFocus) &&
                                  widget->isVisibleTo(window) && widget->isEnabled();
            if (tabbable && !widget->objectName().isEmpty() &&
                !widget->objectName().startsWith(QLatin1String("qt_")))
                order.append(widget->objectName());
            widget = widget->nextInFocusChain();
        } while (widget != first && order.size() < 50);
        return order;
    }

    void verifyLayout(QWidget *window)
    {
        const QList<QWidget *> widgets = window->findChildren<QWidget *>();
        for (QWidget *widget : widgets) {
            if (!widget->isVisibleTo(window) || widget->objectName().isEmpty())
                continue;
            const QRect inParent = widget->geometry();
            const QWidget *parent = widget->parentWidget();
            QVERIFY2(parent->rect().contains(inParent),
                     qPrintable(widget->objectName() + QStringLiteral(" sticks out")));
            const QFontMetrics metrics(widget->font());
            QString text;
            int room = widget->width();
            if (auto *label = qobject_cast<QLabel *>(widget)) {
                text = label->text();
            } else if (auto *check = qobject_cast<QCheckBox *>(widget)) {
                text = check->text();
                room -= 20; // the box itself
            } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
                text = edit->text();
                room -= 6;
            }
            QVERIFY2(metrics.horizontalAdvance(text) <= room,
                     qPrintable(widget->objectName() + QStringLiteral(" cuts \"") + text +
                                QStringLiteral("\"")));
        }
    }

    void saveShot(QWidget *window, const char *file)
    {
        const QByteArray dir = qgetenv("VESK_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            window->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') +
                                QString::fromLatin1(file));
    }
};

QTEST_MAIN(TestSetupEditor)
#include "tst_setupeditor.moc"
