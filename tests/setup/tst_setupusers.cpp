// Users in the setup editor: adding through the user dialog (with "Another", Cancel and the two
// save-failure messages), editing, deleting, and what the selector shows afterwards.

#include "dbe/table.h"
#include "setup/frmuser.h"
#include "tests/setup/setuptestkit.h"
#include "ui/dbcontrols.h"
#include "ui/messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using namespace setuptest;

namespace {

void typeInto(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
}

} // namespace

class TestSetupUsers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { initTestProgram(); }

    void cancelledAddLeavesNoRowAndShowsTheUserBefore()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        const int bob = db.addUser(QStringLiteral("Bob"), QStringLiteral("b"));
        const int print = db.addAccess(QStringLiteral("Print"));
        db.grant(bob, print, QStringLiteral("C"));
        auto editor = openEditor(db);
        pickUser(editor.get(), QStringLiteral("Bob"));

        testsupport::ExpectDialog<TformUser> userDialog([](TformUser *dialog) {
            typeInto(dialog->dbedName, QStringLiteral("Carl"));
            QTest::mouseClick(dialog->bbtnCancel, Qt::LeftButton);
        });
        editor->spbtnAddUserClick();
        VESK_VERIFY_DIALOG(userDialog);

        QCOMPARE(db.rowCount(QStringLiteral("USERS.DB")), 2);
        QCOMPARE(selectedUserName(editor.get()), QStringLiteral("Bob"));
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbUsrAccess")), QStringList({"Print"}));
    }

    void anotherSavesEachUserAndTheLastIsSelected()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        auto editor = openEditor(db);
        const QStringList names = {"Dora", "Abel", "Cleo", "Bert"};
        testsupport::ExpectDialog<TformUser> userDialog([names](TformUser *dialog) {
            QVERIFY(dialog->bbtnAnother->isVisible());
            for (int i = 0; i < 3; ++i) {
                typeInto(dialog->dbedName, names[i]);
                QTest::mouseClick(dialog->bbtnAnother, Qt::LeftButton);
                // The focus widget, not hasFocus(): a loaded machine may not have activated the
                // window yet.
                QVERIFY(dialog->focusWidget() == dialog->dbedName);
                QCOMPARE(dialog->dbedName->text(), QString());
                QVERIFY(dialog->dbchboxEnabled->isChecked());
            }
            typeInto(dialog->dbedName, names[3]);
            QTest::mouseClick(dialog->bbtnOk, Qt::LeftButton);
        });
        editor->spbtnAddUserClick();
        VESK_VERIFY_DIALOG(userDialog);

        QCOMPARE(rows(db, QStringLiteral("USERS.DB"), {"User_Name"}),
                 QStringList({"Dora", "Abel", "Cleo", "Bert"}));
        QCOMPARE(selectedUserName(editor.get()), QStringLiteral("Bert"));
        auto *selector = child<QComboBox>(editor.get(), "dblkUserName");
        QCOMPARE(selector->count(), 4);
        QCOMPARE(selector->itemText(0), QStringLiteral("Abel"));
    }

    // A password typed in the dialog, for a new user or over an old one, is typed twice.
    void typedPasswordIsConfirmed_data()
    {
        QTest::addColumn<bool>("adding");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("confirmation");
        QTest::newRow("new user, both alike") << true << "Secret1" << "Secret1";
        QTest::newRow("new user, a typo") << true << "Secret1" << "Secret2";
        QTest::newRow("edit, password kept") << false << "a" << "";
        QTest::newRow("edit, changed, not confirmed") << false << "New1" << "";
    }
    void typedPasswordIsConfirmed()
    {
        QFETCH(bool, adding);
        QFETCH(QString, password);
        QFETCH(QString, confirmation);
        const bool saved = password == QLatin1String("a") || confirmation == password;
        testsupport::SecurityDb db;
        db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        ui::MessageRecorder messages;
        auto editor = openEditor(db);
        pickUser(editor.get(), QStringLiteral("Ann"));
        testsupport::ExpectDialog<TformUser> userDialog([&](TformUser *dialog) {
            typeInto(dialog->dbedName, adding ? QStringLiteral("Carl") : QStringLiteral("Ann"));
            if (password != dialog->dbedPassword->text())
                typeInto(dialog->dbedPassword, password);
            typeInto(dialog->edConfirm, confirmation);
            QTest::mouseClick(dialog->bbtnOk, Qt::LeftButton);
            QCOMPARE(dialog->isVisible(), !saved);
        });
        adding ? editor->spbtnAddUserClick() : editor->spbtnEditUserClick();
        VESK_VERIFY_DIALOG(userDialog);
        QCOMPARE(messages.texts().size(), saved ? 0 : 1);
        QCOMPARE(rows(db, QStringLiteral("USERS.DB"), {"User_Password"}).contains(password), saved);
    }

    void emptyNameIsRefusedUntilCancelled()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        ui::MessageRecorder messages;
        auto editor = openEditor(db);
        testsupport::ExpectDialog<TformUser> userDialog([&messages](TformUser *dialog) {
            typeInto(dialog->dbedPassword, QStringLiteral("secret"));
            typeInto(dialog->edConfirm, QStringLiteral("secret"));
            QTest::mouseClick(dialog->bbtnOk, Qt::LeftButton);
            QCOMPARE(messages.texts(), QStringList({"Name field is Required."}));
            QCOMPARE(messages.requests().first().kind, ui::MessageKind::Error);
            QVERIFY(dialog->isVisible());
            // The focus widget, not hasFocus(): a loaded machine may not have activated the window
            // yet.
            QVERIFY(dialog->focusWidget() == dialog->dbedName);
            QCOMPARE(dialog->dbedPassword->text(), QStringLiteral("secret"));
            // "Another" refuses the same way and stays on the row.
            QTest::mouseClick(dialog->bbtnAnother, Qt::LeftButton);
            QCOMPARE(messages.texts().size(), 2);
            QCOMPARE(dialog->dbedPassword->text(), QStringLiteral("secret"));
            QTest::mouseClick(dialog->bbtnCancel, Qt::LeftButton);
        });
        editor->spbtnAddUserClick();
        VESK_VERIFY_DIALOG(userDialog);
        QCOMPARE(rows(db, QStringLiteral("USERS.DB"), {"User_Name"}), QStringList({"Ann"}));
    }

    void failedSaveOfANamedUserKeepsTheInput()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int ann = db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        ui::MessageRecorder messages;
        auto editor = openEditor(db);
        pickUser(editor.get(), QStringLiteral("Ann"));
        testsupport::ExpectDialog<TformUser> userDialog([&](TformUser *dialog) {
            typeInto(dialog->dbedName, QStringLiteral("Anne"));
            // Another workstation deletes the user meanwhile.
            dbe::Table other;
            other.setDatabaseName(db.alias());
            other.setTableName(QStringLiteral("USERS.DB"));
            other.open();
            QVERIFY(other.findKey({ann}));
            other.remove();
            const testsupport::LogCapture log;
            QTest::mouseClick(dialog->bbtnOk, Qt::LeftButton);
            QCOMPARE(messages.texts(), QStringList({"Unable to save current user."}));
            // The engine's reason, hidden behind the dialog's words, is in the log.
            QVERIFY2(log.text().startsWith(QLatin1String("vesk.setup: saving the user failed: ")),
                     qPrintable(log.text()));
            QVERIFY(dialog->isVisible());
            QCOMPARE(dialog->dbedName->text(), QStringLiteral("Anne"));
            dialog->reject();
        });
        editor->spbtnEditUserClick();
        VESK_VERIFY_DIALOG(userDialog);
        QCOMPARE(db.rowCount(QStringLiteral("USERS.DB")), 0);
    }

    void newUserStartsEnabledWithoutAdminOrHistory()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false, QStringLiteral("Test"), QString(), QStringLiteral("Phone"));
        auto editor = openEditor(db);
        testsupport::ExpectDialog<TformUser> userDialog([](TformUser *dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Modify User"));
            QCOMPARE(dialog->lblDef1->text(), QStringLiteral(":"));
            QCOMPARE(dialog->lblDef2->text(), QStringLiteral("Phone:"));
            QVERIFY(dialog->dbchboxEnabled->isChecked());
            QVERIFY(!dialog->dbchAdmin->isChecked());
            QCOMPARE(dialog->dbedPassword->echoMode(), QLineEdit::Password);
            typeInto(dialog->dbedName, QStringLiteral("Eve"));
            typeInto(dialog->dbedUserDef2, QStringLiteral("555"));
            QTest::keyClick(dialog->dbedName, Qt::Key_Return);
        });
        editor->spbtnAddUserClick();
        VESK_VERIFY_DIALOG(userDialog);
        QCOMPARE(rows(db, QStringLiteral("USERS.DB"),
                      {"User_Name", "User_Def2", "User_Enabled", "User_Admin", "User_LastAccess",
                       "User_AccessCount"}),
                 QStringList({"Eve|555|True|||"})); // admin left blank: unchecked
    }

    void twoUsersMayShareAName()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        db.addUser(QStringLiteral("Sam"), QStringLiteral("a"));
        auto editor = openEditor(db);
        testsupport::ExpectDialog<TformUser> userDialog([](TformUser *dialog) {
            typeInto(dialog->dbedName, QStringLiteral("Sam"));
            QTest::mouseClick(dialog->bbtnOk, Qt::LeftButton);
        });
        editor->spbtnAddUserClick();
        VESK_VERIFY_DIALOG(userDialog);
        QCOMPARE(rows(db, QStringLiteral("USERS.DB"), {"User_ID", "User_Name"}),
                 QStringList({"1|Sam", "2|Sam"}));
        QCOMPARE(child<QComboBox>(editor.get(), "dblkUserName")->currentData().toInt(), 2);
    }

    // The selector's line leads to the user by his name; the grant must reach the very user
    // picked, also among users of the same name and after another workstation renamed him.
    void pickedUserIsTheOneShownAndGranted_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<bool>("renamedElsewhere");
        QTest::addColumn<QString>("shownRight");
        QTest::newRow("first of two of one name") << 0 << false << "Print";
        QTest::newRow("second of two of one name") << 1 << false << "Scan";
        QTest::newRow("renamed since the list was read") << 2 << true << "Fax";
    }

    void pickedUserIsTheOneShownAndGranted()
    {
        QFETCH(int, line);
        QFETCH(bool, renamedElsewhere);
        QFETCH(QString, shownRight);
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int ids[] = {db.addUser(QStringLiteral("Sam"), QStringLiteral("a")),
                           db.addUser(QStringLiteral("SAM"), QStringLiteral("b")),
                           db.addUser(QStringLiteral("Tom"), QStringLiteral("c"))};
        db.grant(ids[0], db.addAccess(QStringLiteral("Print")), QStringLiteral("C"));
        db.grant(ids[1], db.addAccess(QStringLiteral("Scan")), QStringLiteral("C"));
        db.grant(ids[2], db.addAccess(QStringLiteral("Fax")), QStringLiteral("C"));
        const int copy = db.addAccess(QStringLiteral("Copy"));
        auto editor = openEditor(db);
        if (renamedElsewhere) {
            dbe::Table users;
            users.setDatabaseName(db.alias());
            users.setTableName(QStringLiteral("USERS.DB"));
            users.open();
            QVERIFY(users.findKey({ids[2]}));
            users.edit();
            users.setValue(QStringLiteral("User_Name"), QStringLiteral("Abe"));
            users.post();
        }
        auto *selector = child<QComboBox>(editor.get(), "dblkUserName");
        QCOMPARE(selector->itemData(line).toInt(), ids[line]);
        selector->setCurrentIndex(line);
        Q_EMIT selector->activated(line);
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbUsrAccess")), QStringList({shownRight}));

        child<QTabWidget>(editor.get(), "tnbkLists")->setCurrentIndex(1);
        selectLine(child<QListWidget>(editor.get(), "lbConstants"), QStringLiteral("Copy"));
        QTest::mouseClick(child<QToolButton>(editor.get(), "spbtnAddAccess"), Qt::LeftButton);
        QCOMPARE(countWhere(db, QStringLiteral("USERACC.DB"), QStringLiteral("Access_ID"), copy),
                 1);
        QCOMPARE(countWhere(db, QStringLiteral("USERACC.DB"), QStringLiteral("User_ID"), ids[line]),
                 2);
    }

    void editChangesTheRowAndCancelKeepsIt_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("stored");
        QTest::newRow("OK") << true << QStringLiteral("Annabel|True");
        QTest::newRow("Cancel") << false << QStringLiteral("Ann|False");
    }

    void editChangesTheRowAndCancelKeepsIt()
    {
        QFETCH(bool, ok);
        QFETCH(QString, stored);
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        auto editor = openEditor(db);
        pickUser(editor.get(), QStringLiteral("Ann"));
        testsupport::ExpectDialog<TformUser> userDialog([ok](TformUser *dialog) {
            QVERIFY(!dialog->bbtnAnother->isVisible());
            QCOMPARE(dialog->dbedName->text(), QStringLiteral("Ann"));
            typeInto(dialog->dbedName, QStringLiteral("Annabel"));
            QTest::mouseClick(dialog->dbchAdmin, Qt::LeftButton);
            QTest::mouseClick(ok ? dialog->bbtnOk : dialog->bbtnCancel, Qt::LeftButton);
        });
        editor->spbtnEditUserClick();
        VESK_VERIFY_DIALOG(userDialog);
        QCOMPARE(rows(db, QStringLiteral("USERS.DB"), {"User_Name", "User_Admin"}),
                 QStringList({stored}));
        QCOMPARE(selectedUserName(editor.get()), stored.section(QLatin1Char('|'), 0, 0));
    }

    void deleteRemovesTheUserAndHisRightsOnly()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int ann = db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        const int bob = db.addUser(QStringLiteral("Bob"), QStringLiteral("b"));
        const int print = db.addAccess(QStringLiteral("Print"));
        const int group = db.addGroup(QStringLiteral("Clerks"));
        db.grant(ann, print, QStringLiteral("C"));
        db.grant(ann, group, QStringLiteral("G"));
        db.grant(bob, print, QStringLiteral("C"));
        {
            dbe::Table log;
            log.setDatabaseName(db.alias());
            log.setTableName(QStringLiteral("LOG.DB"));
            log.open();
            log.append();
            log.setValue(QStringLiteral("Access_Date"), QDateTime::currentDateTime());
            log.setValue(QStringLiteral("User_ID"), ann);
            log.post();
        }
        ui::MessageRecorder messages;
        auto editor = openEditor(db);
        pickUser(editor.get(), QStringLiteral("Ann"));
        editor->spbtnDelUserClick();

        QCOMPARE(messages.requests().size(), 1);
        QCOMPARE(messages.requests().first().kind, ui::MessageKind::Confirmation);
        QCOMPARE(messages.lastText(), QStringLiteral("Confirm deletion of Ann"));
        QCOMPARE(ui::iconOf(messages.requests().first()), ui::MessageIcon::Warning);
        QCOMPARE(rows(db, QStringLiteral("USERS.DB"), {"User_Name"}), QStringList({"Bob"}));
        QCOMPARE(rows(db, QStringLiteral("USERACC.DB"), {"User_ID", "Access_ID", "Type"}),
                 QStringList({QStringLiteral("%1|%2|C").arg(bob).arg(print)}));
        QCOMPARE(db.rowCount(QStringLiteral("LOG.DB")), 1);
        QCOMPARE(selectedUserName(editor.get()), QString());
        QVERIFY(lines(child<QListWidget>(editor.get(), "lbUsrAccess")).isEmpty());
        QCOMPARE(child<QComboBox>(editor.get(), "dblkUserName")->count(), 1);
    }

    // Another workstation is writing USERS.DB, so the user's row cannot go after his rights
    // have gone; the rights must come back.
    void failedDeletionLeavesEverythingAsItWas()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int ann = db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        db.grant(ann, db.addAccess(QStringLiteral("Print")), QStringLiteral("C"));
        db.grant(ann, db.addGroup(QStringLiteral("Clerks")), QStringLiteral("G"));
        ui::MessageRecorder messages;
        auto editor = openEditor(db);
        pickUser(editor.get(), QStringLiteral("Ann"));
        {
            OtherStationWriting busy(db, QStringLiteral("USERS.DB"), {{"User_Name", "Zed"}});
            editor->spbtnDelUserClick();
        }
        QCOMPARE(messages.requests().size(), 2);
        QCOMPARE(messages.requests().last().kind, ui::MessageKind::Error);
        QCOMPARE(rows(db, QStringLiteral("USERS.DB"), {"User_Name"}), QStringList({"Ann"}));
        QCOMPARE(db.rowCount(QStringLiteral("USERACC.DB")), 2);
        QCOMPARE(selectedUserName(editor.get()), QStringLiteral("Ann"));
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbUsrAccess")),
                 QStringList({"(Clerks)", "Print"}));
    }

    void deleteAnsweredNoKeepsEverything()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int ann = db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        db.grant(ann, db.addAccess(QStringLiteral("Print")), QStringLiteral("C"));
        ui::MessageRecorder messages;
        messages.answerNo();
        auto editor = openEditor(db);
        pickUser(editor.get(), QStringLiteral("Ann"));
        editor->spbtnDelUserClick();
        QCOMPARE(db.rowCount(QStringLiteral("USERS.DB")), 1);
        QCOMPARE(db.rowCount(QStringLiteral("USERACC.DB")), 1);
        QCOMPARE(selectedUserName(editor.get()), QStringLiteral("Ann"));
    }

    void editAndDeleteNeedASelectedUser_data()
    {
        QTest::addColumn<bool>("deleting");
        QTest::newRow("Edit") << false;
        QTest::newRow("Del") << true;
    }

    void editAndDeleteNeedASelectedUser()
    {
        QFETCH(bool, deleting);
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        ui::MessageRecorder messages;
        auto editor = openEditor(db);
        // Neither opens a dialog nor asks; a dialog would hang this test.
        if (deleting)
            editor->spbtnDelUserClick();
        else
            editor->spbtnEditUserClick();
        QVERIFY(messages.requests().isEmpty());
        QCOMPARE(db.rowCount(QStringLiteral("USERS.DB")), 1);
    }
};

QTEST_MAIN(TestSetupUsers)
#include "tst_setupusers.moc"
