// Groups in the setup editor: the group dialog's name and members (posted on the first member,
// kept by Cancel), the drops it takes, and a deletion that takes the group from every user.

#include "dbe/table.h"
#include "setup/draglistbox.h"
#include "setup/frmgroup.h"
#include "tests/setup/setuptestkit.h"
#include "ui/dbcontrols.h"
#include "ui/messages.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace setuptest;

namespace {

void typeName(TFormGroup *dialog, const QString &name)
{
    dialog->dbedGroupName->selectAll();
    QTest::keyClicks(dialog->dbedGroupName, name);
}

void addMember(TFormGroup *dialog, const QString &constant)
{
    selectLine(dialog->lbComplete, constant);
    QTest::mouseClick(dialog->spbtnAdd, Qt::LeftButton);
}

} // namespace

class TestSetupGroups : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { initTestProgram(); }

    void firstMemberPostsTheGroupAndCancelKeepsIt()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int print = db.addAccess(QStringLiteral("Print"));
        const int erase = db.addAccess(QStringLiteral("Delete"));
        auto editor = openEditor(db);
        testsupport::ExpectDialog<TFormGroup> groupDialog([](TFormGroup *dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Modify Group Information"));
            QCOMPARE(lines(dialog->lbComplete), QStringList({"Delete", "Print"}));
            typeName(dialog, QStringLiteral("Clerks"));
            addMember(dialog, QStringLiteral("Print"));
            typeName(dialog, QStringLiteral("Renamed"));
            addMember(dialog, QStringLiteral("Delete"));
            QCOMPARE(lines(dialog->lbSelected), QStringList({"Delete", "Print"}));
            // Members stay in the complete list.
            QCOMPARE(lines(dialog->lbComplete), QStringList({"Delete", "Print"}));
            QTest::mouseClick(dialog->bbtnCancel, Qt::LeftButton);
        });
        editor->spbtnAddGroupClick();
        VESK_VERIFY_DIALOG(groupDialog);
        QCOMPARE(rows(db, QStringLiteral("GROUPS.DB"), {"Group_ID", "Group_Name"}),
                 QStringList({"1|Clerks"}));
        QCOMPARE(
            rows(db, QStringLiteral("GRPCOLL.DB"), {"Group_ID", "Access_ID"}),
            QStringList({QStringLiteral("1|%1").arg(print), QStringLiteral("1|%1").arg(erase)}));
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbGroups")), QStringList({"Clerks"}));
    }

    void addEndsAsTheButtonSays_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("stored");
        QTest::newRow("Cancel without members") << "Clerks" << false << QStringList();
        QTest::newRow("OK with a name") << "Clerks" << true << QStringList({"Clerks"});
        QTest::newRow("OK with an empty name") << "" << true << QStringList({""});
        QTest::newRow("a name taken already")
            << "Auditors" << true << QStringList({"Auditors", "Auditors"});
    }

    void addEndsAsTheButtonSays()
    {
        QFETCH(QString, name);
        QFETCH(bool, ok);
        QFETCH(QStringList, stored);
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        if (stored.size() == 2)
            db.addGroup(QStringLiteral("Auditors"));
        auto editor = openEditor(db);
        testsupport::ExpectDialog<TFormGroup> groupDialog([&](TFormGroup *dialog) {
            if (!name.isEmpty())
                typeName(dialog, name);
            QTest::mouseClick(ok ? dialog->bbtnOk : dialog->bbtnCancel, Qt::LeftButton);
        });
        editor->spbtnAddGroupClick();
        VESK_VERIFY_DIALOG(groupDialog);
        QCOMPARE(rows(db, QStringLiteral("GROUPS.DB"), {"Group_Name"}), stored);
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbGroups")), stored);
        QCOMPARE(db.rowCount(QStringLiteral("GRPCOLL.DB")), 0);
    }

    void existingMemberIsNotAddedAgainNorTakenAsADrop()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int print = db.addAccess(QStringLiteral("Print"));
        db.addAccess(QStringLiteral("Delete"));
        const int group = db.addGroup(QStringLiteral("Clerks"));
        db.addMember(group, print);
        ui::MessageRecorder messages;
        auto editor = openEditor(db);
        selectLine(child<QListWidget>(editor.get(), "lbGroups"), QStringLiteral("Clerks"));
        testsupport::ExpectDialog<TFormGroup> groupDialog([](TFormGroup *dialog) {
            QCOMPARE(lines(dialog->lbSelected), QStringList({"Print"}));
            addMember(dialog, QStringLiteral("Print"));
            QListWidgetItem *line =
                dialog->lbComplete->findItems(QStringLiteral("Print"), Qt::MatchExactly).first();
            Q_EMIT dialog->lbComplete->itemDoubleClicked(line);
            QVERIFY(!dialog->lbSelectedDragOver(dialog->lbComplete));
            selectLine(dialog->lbComplete, QStringLiteral("Delete"));
            QVERIFY(dialog->lbSelectedDragOver(dialog->lbComplete));
            QCOMPARE(lines(dialog->lbSelected), QStringList({"Print"}));
            dialog->reject();
        });
        editor->spbtnEditGroupClick();
        VESK_VERIFY_DIALOG(groupDialog);
        QVERIFY(messages.requests().isEmpty());
        QCOMPARE(db.rowCount(QStringLiteral("GRPCOLL.DB")), 1);
    }

    void dropsComeOnlyFromASelectedLineOfTheCompleteList()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int print = db.addAccess(QStringLiteral("Print"));
        db.addAccess(QStringLiteral("Delete"));
        const int group = db.addGroup(QStringLiteral("Clerks"));
        db.addMember(group, print);
        auto editor = openEditor(db);
        selectLine(child<QListWidget>(editor.get(), "lbGroups"), QStringLiteral("Clerks"));
        testsupport::ExpectDialog<TFormGroup> groupDialog([&](TFormGroup *dialog) {
            QVERIFY(!dialog->lbSelectedDragOver(dialog->lbComplete)); // nothing selected
            selectLine(dialog->lbSelected, QStringLiteral("Print"));
            QVERIFY(!dialog->lbSelectedDragOver(dialog->lbSelected));
            QVERIFY(!dialog->lbSelectedDragOver(child<QListWidget>(editor.get(), "lbConstants")));
            selectLine(dialog->lbComplete, QStringLiteral("Delete"));
            QVERIFY(dialog->lbSelectedDragOver(dialog->lbComplete));
            dialog->lbSelectedDragDrop(dialog->lbComplete);
            QCOMPARE(lines(dialog->lbSelected), QStringList({"Delete", "Print"}));
            QVERIFY(!dialog->lbComplete->acceptDrops());
            dialog->accept();
        });
        editor->spbtnEditGroupClick();
        VESK_VERIFY_DIALOG(groupDialog);
        QCOMPARE(db.rowCount(QStringLiteral("GRPCOLL.DB")), 2);
    }

    void cancelledRenameKeepsTheNameButNotTheMemberChanges()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int print = db.addAccess(QStringLiteral("Print"));
        const int erase = db.addAccess(QStringLiteral("Delete"));
        const int group = db.addGroup(QStringLiteral("Clerks"));
        db.addMember(group, print);
        auto editor = openEditor(db);
        selectLine(child<QListWidget>(editor.get(), "lbGroups"), QStringLiteral("Clerks"));
        testsupport::ExpectDialog<TFormGroup> groupDialog([](TFormGroup *dialog) {
            QCOMPARE(dialog->dbedGroupName->text(), QStringLiteral("Clerks"));
            typeName(dialog, QStringLiteral("Tellers"));
            selectLine(dialog->lbSelected, QStringLiteral("Print"));
            QTest::mouseClick(dialog->spbtnDel, Qt::LeftButton);
            addMember(dialog, QStringLiteral("Delete"));
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        editor->spbtnEditGroupClick();
        VESK_VERIFY_DIALOG(groupDialog);
        QCOMPARE(rows(db, QStringLiteral("GROUPS.DB"), {"Group_Name"}), QStringList({"Clerks"}));
        QCOMPARE(rows(db, QStringLiteral("GRPCOLL.DB"), {"Group_ID", "Access_ID"}),
                 QStringList({QStringLiteral("%1|%2").arg(group).arg(erase)}));
    }

    void renamedGroupShowsAtOnceInTheRightsList()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int ann = db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        const int group = db.addGroup(QStringLiteral("Clerks"));
        db.grant(ann, group, QStringLiteral("G"));
        auto editor = openEditor(db);
        pickUser(editor.get(), QStringLiteral("Ann"));
        selectLine(child<QListWidget>(editor.get(), "lbGroups"), QStringLiteral("Clerks"));
        testsupport::ExpectDialog<TFormGroup> groupDialog([](TFormGroup *dialog) {
            typeName(dialog, QStringLiteral("Tellers"));
            QTest::mouseClick(dialog->bbtnOk, Qt::LeftButton);
        });
        editor->spbtnEditGroupClick();
        VESK_VERIFY_DIALOG(groupDialog);
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbUsrAccess")),
                 QStringList({"(Tellers)"}));
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbGroups")), QStringList({"Tellers"}));
        QCOMPARE(db.rowCount(QStringLiteral("USERACC.DB")), 1);
    }

    void missingMemberShowsAsErrorAndCanBeRemoved()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int group = db.addGroup(QStringLiteral("Clerks"));
        db.addMember(group, 77);
        auto editor = openEditor(db);
        selectLine(child<QListWidget>(editor.get(), "lbGroups"), QStringLiteral("Clerks"));
        testsupport::ExpectDialog<TFormGroup> groupDialog([](TFormGroup *dialog) {
            QCOMPARE(lines(dialog->lbSelected), QStringList({"Error"}));
            selectLine(dialog->lbSelected, QStringLiteral("Error"));
            Q_EMIT dialog->lbSelected->itemDoubleClicked(dialog->lbSelected->item(0));
            QVERIFY(lines(dialog->lbSelected).isEmpty());
            dialog->accept();
        });
        editor->spbtnEditGroupClick();
        VESK_VERIFY_DIALOG(groupDialog);
        QCOMPARE(db.rowCount(QStringLiteral("GRPCOLL.DB")), 0);
    }

    void deleteTakesTheGroupFromEveryUser()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int ann = db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        const int bob = db.addUser(QStringLiteral("Bob"), QStringLiteral("b"));
        const int print = db.addAccess(QStringLiteral("Print"));
        const int erase = db.addAccess(QStringLiteral("Delete"));
        const int clerks = db.addGroup(QStringLiteral("Clerks"));
        const int other = db.addGroup(QStringLiteral("Other"));
        QCOMPARE(clerks, print); // a constant with the group's number
        db.addMember(clerks, print);
        db.addMember(clerks, erase);
        db.addMember(other, print);
        db.grant(ann, clerks, QStringLiteral("G"));
        db.grant(bob, clerks, QStringLiteral("G"));
        db.grant(ann, print, QStringLiteral("C"));
        ui::MessageRecorder messages;
        auto editor = openEditor(db);
        pickUser(editor.get(), QStringLiteral("Bob"));
        selectLine(child<QListWidget>(editor.get(), "lbGroups"), QStringLiteral("Clerks"));
        editor->spbtnDelGroupClick();

        QCOMPARE(messages.texts(), QStringList({"Confirm deletion of Clerks"}));
        QCOMPARE(ui::iconOf(messages.requests().first()), ui::MessageIcon::Warning);
        QCOMPARE(rows(db, QStringLiteral("GROUPS.DB"), {"Group_Name"}), QStringList({"Other"}));
        QCOMPARE(rows(db, QStringLiteral("USERACC.DB"), {"User_ID", "Access_ID", "Type"}),
                 QStringList({QStringLiteral("%1|%2|C").arg(ann).arg(print)}));
        QCOMPARE(rows(db, QStringLiteral("GRPCOLL.DB"), {"Group_ID", "Access_ID"}),
                 QStringList({QStringLiteral("%1|%2").arg(other).arg(print)}));
        QCOMPARE(db.rowCount(QStringLiteral("ACCESS.DB")), 2);
        QVERIFY(lines(child<QListWidget>(editor.get(), "lbUsrAccess")).isEmpty());
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbGroups")), QStringList({"Other"}));
    }

    // Another workstation is writing GRPCOLL.DB, so the members cannot go after the group and
    // its grants have gone; all of it must come back.
    void failedDeletionLeavesEverythingAsItWas()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int ann = db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        const int group = db.addGroup(QStringLiteral("Clerks"));
        db.addMember(group, db.addAccess(QStringLiteral("Print")));
        db.grant(ann, group, QStringLiteral("G"));
        ui::MessageRecorder messages;
        auto editor = openEditor(db);
        pickUser(editor.get(), QStringLiteral("Ann"));
        selectLine(child<QListWidget>(editor.get(), "lbGroups"), QStringLiteral("Clerks"));
        {
            OtherStationWriting busy(db, QStringLiteral("GRPCOLL.DB"),
                                     {{"Group_ID", 99}, {"Access_ID", 99}});
            editor->spbtnDelGroupClick();
        }
        QCOMPARE(messages.requests().size(), 2);
        QCOMPARE(messages.requests().last().kind, ui::MessageKind::Error);
        QCOMPARE(rows(db, QStringLiteral("GROUPS.DB"), {"Group_Name"}), QStringList({"Clerks"}));
        QCOMPARE(db.rowCount(QStringLiteral("USERACC.DB")), 1);
        QCOMPARE(db.rowCount(QStringLiteral("GRPCOLL.DB")), 1);
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbUsrAccess")), QStringList({"(Clerks)"}));
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbGroups")), QStringList({"Clerks"}));
    }

    void deleteAnsweredNoChangesNothing()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int ann = db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        const int group = db.addGroup(QStringLiteral("Clerks"));
        db.grant(ann, group, QStringLiteral("G"));
        ui::MessageRecorder messages;
        messages.answerNo();
        auto editor = openEditor(db);
        selectLine(child<QListWidget>(editor.get(), "lbGroups"), QStringLiteral("Clerks"));
        editor->spbtnDelGroupClick();
        QCOMPARE(db.rowCount(QStringLiteral("GROUPS.DB")), 1);
        QCOMPARE(db.rowCount(QStringLiteral("USERACC.DB")), 1);
    }
};

QTEST_MAIN(TestSetupGroups)
#include "tst_setupgroups.moc"
