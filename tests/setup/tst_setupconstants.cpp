// Access constants in the setup editor: add and rename with their duplicate tests, and a
// deletion that takes the constant out of every user's direct rights and every group, or,
// when the engine fails half way, changes nothing at all.

#include "dbe/table.h"
#include "setup/intobject.h"
#include "tests/setup/setuptestkit.h"
#include "ui/messages.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

using namespace setuptest;

namespace {

const QString AddFailed = QStringLiteral("Duplicate Access Constant, Add Failed");
const QString ChangeFailed = QStringLiteral("Duplicate Access Constant, Change Failed");

} // namespace

class TestSetupConstants : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { initTestProgram(); }

    void addRefusesNamesAlreadyThereWithoutRegardToCase_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("stored");
        const QStringList before = {"ABCDEFGHIJKLMNOPQRST", "Print"};
        QTest::newRow("new name") << "Delete" << QString()
                                  << QStringList({"ABCDEFGHIJKLMNOPQRST", "Delete", "Print"});
        QTest::newRow("other case") << "PRINT" << AddFailed << before;
        QTest::newRow("same after the cut") << "abcdefghijklmnopqrstUVW" << AddFailed << before;
        QTest::newRow("long name is cut")
            << "Print the yearly totals" << QString()
            << QStringList({"ABCDEFGHIJKLMNOPQRST", "Print", "Print the yearly tot"});
        QTest::newRow("blanks count")
            << " Print" << QString() << QStringList({" Print", "ABCDEFGHIJKLMNOPQRST", "Print"});
        QTest::newRow("empty") << "" << QString() << before;
    }

    void addRefusesNamesAlreadyThereWithoutRegardToCase()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(QStringList, stored);
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        db.addAccess(QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
        db.addAccess(QStringLiteral("Print"));
        ui::MessageRecorder messages;
        messages.answerText(typed);
        auto editor = openEditor(db);
        editor->spbtnAccAddClick();

        const ui::MessageRequest &input = messages.requests().first();
        QCOMPARE(input.kind, ui::MessageKind::Input);
        QCOMPARE(input.caption, QStringLiteral("Add New Access Constant"));
        QCOMPARE(input.text, QStringLiteral("Access Label"));
        QCOMPARE(input.value, QString());
        QCOMPARE(input.maxLength, 20);
        QCOMPARE(messages.texts().mid(1), message.isEmpty() ? QStringList() : QStringList{message});
        QStringList names = rows(db, QStringLiteral("ACCESS.DB"), {"Access_Name"});
        names.sort(Qt::CaseInsensitive);
        QCOMPARE(names, stored);
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbConstants")), stored);
        // The table is back on its primary index: new constants are found by id again.
        QCOMPARE(child<dbe::Table>(editor.get(), "tblAccess")->indexName(), QString());
    }

    void typingStopsAtTheFieldSize()
    {
        // The real input box, as a person types into it.
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        auto editor = openEditor(db);
        int maxLength = 0;
        testsupport::ExpectDialog<QInputDialog> input([&](QInputDialog *dialog) {
            auto *edit = dialog->findChild<QLineEdit *>();
            maxLength = edit->maxLength();
            QTest::keyClicks(edit, QStringLiteral("Print the yearly totals"));
            dialog->accept();
        });
        editor->spbtnAccAddClick();
        VESK_VERIFY_DIALOG(input);
        QCOMPARE(maxLength, 20);
        QCOMPARE(rows(db, QStringLiteral("ACCESS.DB"), {"Access_Name"}),
                 QStringList({"Print the yearly tot"}));
    }

    void cancelledAddStoresNothing()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        db.addAccess(QStringLiteral("Print"));
        ui::MessageRecorder messages;
        messages.answer({false, QStringLiteral("Typed then cancelled")});
        auto editor = openEditor(db);
        editor->spbtnAccAddClick();
        QCOMPARE(db.rowCount(QStringLiteral("ACCESS.DB")), 1);
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbConstants")), QStringList({"Print"}));
    }

    void renameRefusesNamesAlreadyThere_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("storedName");
        QTest::newRow("unchanged") << "Print" << ChangeFailed << "Print";
        QTest::newRow("only case") << "PRINT" << ChangeFailed << "Print";
        QTest::newRow("another's name") << "delete" << ChangeFailed << "Print";
        QTest::newRow("new name") << "Print Forms" << QString() << "Print Forms";
        QTest::newRow("empty") << "" << QString() << "Print";
    }

    void renameRefusesNamesAlreadyThere()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(QString, storedName);
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int ann = db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        const int print = db.addAccess(QStringLiteral("Print"));
        db.addAccess(QStringLiteral("Delete"));
        db.grant(ann, print, QStringLiteral("C"));
        ui::MessageRecorder messages;
        messages.answerText(typed);
        auto editor = openEditor(db);
        pickUser(editor.get(), QStringLiteral("Ann"));
        selectLine(child<QListWidget>(editor.get(), "lbConstants"), QStringLiteral("Print"));
        editor->spbtnAccEditClick();

        QCOMPARE(messages.requests().first().caption, QStringLiteral("Edit Access Constant"));
        QCOMPARE(messages.requests().first().text, QStringLiteral("Access Label"));
        QCOMPARE(messages.requests().first().value, QStringLiteral("Print"));
        QCOMPARE(messages.requests().first().maxLength, 20);
        QCOMPARE(messages.texts().mid(1), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(countWhere(db, QStringLiteral("ACCESS.DB"), QStringLiteral("Access_ID"), print),
                 1);
        QCOMPARE(rows(db, QStringLiteral("ACCESS.DB"), {"Access_ID", "Access_Name"}).first(),
                 QStringLiteral("%1|%2").arg(print).arg(storedName));
        // The user's line follows the new name at once; the right itself is untouched.
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbUsrAccess")), QStringList({storedName}));
        QCOMPARE(rows(db, QStringLiteral("USERACC.DB"), {"User_ID", "Access_ID", "Type"}),
                 QStringList({QStringLiteral("%1|%2|C").arg(ann).arg(print)}));
    }

    void deleteTakesTheConstantFromUsersAndGroups()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int ann = db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        const int bob = db.addUser(QStringLiteral("Bob"), QStringLiteral("b"));
        const int print = db.addAccess(QStringLiteral("Print"));
        const int keep = db.addAccess(QStringLiteral("Keep"));
        QList<int> groups;
        for (const char *name : {"G1", "G2", "G3"}) {
            groups.append(db.addGroup(QString::fromLatin1(name)));
            db.addMember(groups.last(), print);
            db.addMember(groups.last(), keep);
        }
        QCOMPARE(groups.first(), print); // a group with the constant's number
        db.grant(ann, print, QStringLiteral("C"));
        db.grant(bob, print, QStringLiteral("C"));
        db.grant(bob, keep, QStringLiteral("C"));
        db.grant(ann, groups.first(), QStringLiteral("G"));
        ui::MessageRecorder messages;
        auto editor = openEditor(db);
        pickUser(editor.get(), QStringLiteral("Ann"));
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbUsrAccess")),
                 QStringList({"(G1)", "Print"}));
        selectLine(child<QListWidget>(editor.get(), "lbConstants"), QStringLiteral("Print"));
        editor->spbtnAccDelClick();

        QCOMPARE(messages.texts(), QStringList({"Confirm deletion of Print"}));
        QCOMPARE(ui::iconOf(messages.requests().first()), ui::MessageIcon::Warning);
        QCOMPARE(rows(db, QStringLiteral("ACCESS.DB"), {"Access_Name"}), QStringList({"Keep"}));
        QCOMPARE(rows(db, QStringLiteral("USERACC.DB"), {"User_ID", "Access_ID", "Type"}),
                 QStringList({QStringLiteral("%1|%2|G").arg(ann).arg(groups.first()),
                              QStringLiteral("%1|%2|C").arg(bob).arg(keep)}));
        QCOMPARE(db.rowCount(QStringLiteral("GRPCOLL.DB")), 3);
        QCOMPARE(countWhere(db, QStringLiteral("GRPCOLL.DB"), QStringLiteral("Access_ID"), keep),
                 3);
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbUsrAccess")), QStringList({"(G1)"}));
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbConstants")), QStringList({"Keep"}));
    }

    void deleteAnsweredNoChangesNothing()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int ann = db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        const int print = db.addAccess(QStringLiteral("Print"));
        db.grant(ann, print, QStringLiteral("C"));
        ui::MessageRecorder messages;
        messages.answerNo();
        auto editor = openEditor(db);
        selectLine(child<QListWidget>(editor.get(), "lbConstants"), QStringLiteral("Print"));
        editor->spbtnAccDelClick();
        QCOMPARE(db.rowCount(QStringLiteral("ACCESS.DB")), 1);
        QCOMPARE(db.rowCount(QStringLiteral("USERACC.DB")), 1);
    }

    void constantNamedLikeAGroupIsRemovedAsAConstant()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int ann = db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        const int odd = db.addAccess(QStringLiteral("(Odd)"));
        const int group = db.addGroup(QStringLiteral("Odd"));
        QCOMPARE(group, odd);
        db.grant(ann, odd, QStringLiteral("C"));
        db.grant(ann, group, QStringLiteral("G"));
        auto editor = openEditor(db);
        pickUser(editor.get(), QStringLiteral("Ann"));
        auto *rights = child<QListWidget>(editor.get(), "lbUsrAccess");
        QCOMPARE(lines(rights), QStringList({"(Odd)", "(Odd)"}));
        // Whichever of the two equal lines is taken, its own row goes and only that one.
        const QString firstType = static_cast<IdListItem *>(rights->item(0))->object().type;
        rights->setCurrentRow(0);
        rights->item(0)->setSelected(true);
        editor->RemoveAccess();
        QCOMPARE(rows(db, QStringLiteral("USERACC.DB"), {"Type"}),
                 QStringList({firstType == QLatin1String("C") ? "G" : "C"}));
        QCOMPARE(lines(rights), QStringList({"(Odd)"}));
    }

    // Another workstation holds a write on GRPCOLL.DB, so the deletion fails at its last
    // step after the constant and its grants are gone; everything must come back.
    void failedDeletionLeavesEverythingAsItWas()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int ann = db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        const int print = db.addAccess(QStringLiteral("Print"));
        const int group = db.addGroup(QStringLiteral("Clerks"));
        db.addMember(group, print);
        db.grant(ann, print, QStringLiteral("C"));

        ui::MessageRecorder messages;
        auto editor = openEditor(db);
        pickUser(editor.get(), QStringLiteral("Ann"));
        selectLine(child<QListWidget>(editor.get(), "lbConstants"), QStringLiteral("Print"));
        {
            OtherStationWriting busy(db, QStringLiteral("GRPCOLL.DB"),
                                     {{"Group_ID", 99}, {"Access_ID", 99}});
            editor->spbtnAccDelClick();
        }
        QCOMPARE(messages.requests().size(), 2);
        QCOMPARE(messages.requests().last().kind, ui::MessageKind::Error);
        QVERIFY(!messages.lastText().isEmpty());
        QCOMPARE(rows(db, QStringLiteral("ACCESS.DB"), {"Access_Name"}), QStringList({"Print"}));
        QCOMPARE(db.rowCount(QStringLiteral("USERACC.DB")), 1);
        QCOMPARE(db.rowCount(QStringLiteral("GRPCOLL.DB")), 1);
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbUsrAccess")), QStringList({"Print"}));
        QCOMPARE(lines(child<QListWidget>(editor.get(), "lbConstants")), QStringList({"Print"}));
    }

    void buttonsNeedASelectedLine_data()
    {
        QTest::addColumn<bool>("deleting");
        QTest::newRow("Edit") << false;
        QTest::newRow("Del") << true;
    }

    void buttonsNeedASelectedLine()
    {
        QFETCH(bool, deleting);
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        db.addAccess(QStringLiteral("Print"));
        ui::MessageRecorder messages;
        auto editor = openEditor(db);
        if (deleting)
            editor->spbtnAccDelClick();
        else
            editor->spbtnAccEditClick();
        QVERIFY(messages.requests().isEmpty());
        QCOMPARE(db.rowCount(QStringLiteral("ACCESS.DB")), 1);
    }
};

QTEST_MAIN(TestSetupConstants)
#include "tst_setupconstants.moc"
