// The Import dialog: the desktop's command, the status label, the progress list and the buttons
// after success and failure, and what Cancel, the close box and a second Import do while a
// large import runs. With VESK_SCREENSHOT_DIR set, the dialog is written there before, during
// and after an import.

#include "admin/admnunt.h"
#include "admin/filebrowsers.h"
#include "import/oldfiles.h"
#include "admin/impunt.h"
#include "tests/admin/adminfixture.h"
#include "tests/admin/importfixture.h"
#include "tests/support/modaldialog.h"
#include "ui/messages.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

using importfixture::everyImportTarget;
using importfixture::OldFiles;

namespace {

void savePicture(QWidget *window, const QString &name)
{
    if (const QString dir = qEnvironmentVariable("VESK_SCREENSHOT_DIR"); !dir.isEmpty())
        window->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

QStringList statusLines(const TfrmImport &dialog)
{
    QStringList lines;
    for (int i = 0; i < dialog.lbStatus->count(); ++i)
        lines.append(dialog.lbStatus->item(i)->text());
    return lines;
}

// The dialog shown on its own, pointed at the old files, for an open database.
struct ShownDialog {
    explicit ShownDialog(const QString &oldDir, const QString &alias)
    {
        CurrentAlias = alias;
        dialog.DirectoryListBox1->setDirectory(oldDir);
        dialog.show();
    }
    ~ShownDialog() { CurrentAlias.clear(); }
    TfrmImport dialog;
};

// Old files large enough that an import runs for many repaint intervals and a cancel comes
// long before its end: many rows, every one valid.
constexpr int LargeUsers = 8000;

void makeLarge(OldFiles &old, int users)
{
    old.constants.clear();
    old.users.clear();
    old.rights.clear();
    for (int c = 1; c <= 100; ++c)
        old.constants.append({c, QStringLiteral("Right %1").arg(c)});
    for (int u = 1; u <= users; ++u) {
        old.users.append({u, QStringLiteral("User%1").arg(u), QStringLiteral("pw")});
        for (int r = 0; r < 4; ++r)
            old.rights.append({u, r * 25 + u % 25 + 1});
    }
    old.write();
}

} // namespace

class TestAdminImport : public QObject
{
    Q_OBJECT

    // Writing the large old files and creating a database cost more than a cancelled import;
    // the rows that roll back share both, and every row checks that nothing changed.
    std::unique_ptr<OldFiles> m_large;
    std::unique_ptr<importfixture::TargetDb> m_rolledBack;

    OldFiles &largeOldFiles()
    {
        if (!m_large) {
            m_large = std::make_unique<OldFiles>();
            makeLarge(*m_large, LargeUsers);
        }
        return *m_large;
    }

private Q_SLOTS:
    void statusLabelNeedsAllFourFiles_data()
    {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<QString>("label");
        QTest::newRow("all four") << ""
                                  << "Database files found";
        QTest::newRow("users missing") << "WOBSEC1.DBF"
                                       << "Security files unavailable";
        QTest::newRow("system missing") << "WOBSEC4.DBF"
                                        << "Security files unavailable";
        QTest::newRow("names in lower case") << "lower"
                                             << "Database files found";
    }

    void statusLabelNeedsAllFourFiles()
    {
        QFETCH(QString, missing);
        QFETCH(QString, label);
        OldFiles old;
        if (missing == QLatin1String("lower")) {
            for (const QString &file : oldfiles::AllFiles)
                QVERIFY(QFile::rename(old.path(file), old.path(file.toLower())));
        } else if (!missing.isEmpty()) {
            QVERIFY(QFile::remove(old.path(missing)));
        }
        TfrmImport dialog;
        dialog.show();
        QCOMPARE(dialog.lblSecStat->text(), QStringLiteral("Security files unavailable"));
        dialog.DirectoryListBox1->setDirectory(old.dir());
        QCOMPARE(dialog.lblSecStat->text(), label);
    }

    void importFromTheDesktop()
    {
        OldFiles old;
        importfixture::TargetDb db;
        TFormAdmin window;
        // The command is offered only while a database is open.
        QVERIFY(!window.Security1->menuAction()->isVisible());
        window.OpenSecurity(db.alias());
        QVERIFY(window.Security1->menuAction()->isVisible());
        QVERIFY(window.Import1->isEnabled());
        ui::MessageRecorder messages;
        QStringList lines;
        QString caption;
        bool closeReplacedCancel = false;
        testsupport::ExpectDialog<TfrmImport> importDialog([&](TfrmImport *dialog) {
            caption = dialog->windowTitle();
            dialog->DirectoryListBox1->setDirectory(old.dir());
            dialog->chbxSysConvert->setChecked(true);
            savePicture(dialog, QStringLiteral("import-before"));
            dialog->btnImport->click();
            savePicture(dialog, QStringLiteral("import-after"));
            lines = statusLines(*dialog);
            closeReplacedCancel = !dialog->btnImport->isVisible() &&
                                  !dialog->btnCancel->isVisible() &&
                                  dialog->btnClose->isVisible() &&
                                  dialog->btnClose->geometry() == dialog->btnCancel->geometry();
            dialog->btnClose->click();
        });
        window.Import1->trigger();
        VESK_VERIFY_DIALOG(importDialog);
        QCOMPARE(caption, QStringLiteral("Import Security Data"));
        QCOMPARE(lines, OldFiles::expectedLines(true));
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("Conversion was Successful!")});
        QCOMPARE(messages.requests().first().kind, ui::MessageKind::Information);
        QVERIFY(closeReplacedCancel);
        QCOMPARE(importfixture::rowsOf(db.alias(), QStringLiteral("USERACC.DB"),
                                       {QStringLiteral("User_ID"), QStringLiteral("Access_ID"),
                                        QStringLiteral("Type")}),
                 OldFiles::expectedRights());
        QCOMPARE(old.headerFlags(), QList<int>({1, 1, 1, 1}));
        window.Close1Click();
        QVERIFY(!window.Security1->menuAction()->isVisible());
    }

    // Import is offered only with the old files found; into a database that holds users
    // already it asks first, with the counts, and a No imports nothing.
    void importAsksBeforeAddingToExistingRows_data()
    {
        QTest::addColumn<int>("usersBefore");
        QTest::addColumn<bool>("imported"); // the answer when asked
        QTest::newRow("empty database, no question") << 0 << true;
        QTest::newRow("users there, Yes") << 2 << true;
        QTest::newRow("users there, No") << 2 << false;
    }
    void importAsksBeforeAddingToExistingRows()
    {
        QFETCH(int, usersBefore);
        QFETCH(bool, imported);
        OldFiles old;
        importfixture::TargetDb db;
        for (int i = 0; i < usersBefore; ++i)
            db.addUser(QStringLiteral("Before%1").arg(i), QStringLiteral("pw"));
        CurrentAlias = db.alias();
        ui::MessageRecorder messages;
        if (!imported)
            messages.answerNo();
        TfrmImport dialog;
        dialog.show();
        QVERIFY(!dialog.btnImport->isEnabled()); // no old files where it starts
        dialog.DirectoryListBox1->setDirectory(old.dir());
        dialog.btnImport->click();
        QCOMPARE(messages.texts().size(), (usersBefore > 0 ? 1 : 0) + (imported ? 1 : 0));
        QCOMPARE(messages.texts().first().contains(
                     QStringLiteral("already holds %1 users and 0 access").arg(usersBefore)),
                 usersBefore > 0);
        QCOMPARE(db.rowCount(QStringLiteral("USERS.DB")) > usersBefore, imported);
        QCOMPARE(dialog.lblProgress->text().startsWith(QStringLiteral("Imported: ")), imported);
        CurrentAlias.clear();
    }

    void failureKeepsTheDialogOpenAndImportsNothing()
    {
        OldFiles old;
        old.rights.append({3, 5}); // the same right twice
        old.write();
        old.setHeaderFlags({0, 1, 0, 1});
        importfixture::TargetDb db;
        db.addUser(QStringLiteral("EXISTING"), QStringLiteral("pw"));
        const QStringList before = everyImportTarget(db.alias());
        ShownDialog shown(old.dir(), db.alias());
        TfrmImport &dialog = shown.dialog;
        ui::MessageRecorder messages;
        dialog.btnImportClick();
        // The database holds a user already: the import asks first, and goes on with Yes.
        QCOMPARE(messages.requests().size(), 2);
        QCOMPARE(messages.requests().first().kind, ui::MessageKind::Confirmation);
        QCOMPARE(messages.requests().last().kind, ui::MessageKind::Error);
        QVERIFY2(messages.lastText().startsWith(QStringLiteral("Key violation.")),
                 qPrintable(messages.lastText()));
        QCOMPARE(statusLines(dialog).last(),
                 QStringLiteral("** Import failed: nothing was imported **"));
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.btnImport->isVisible() && dialog.btnImport->isEnabled());
        QVERIFY(dialog.btnCancel->isVisible() && !dialog.btnClose->isVisible());
        QCOMPARE(everyImportTarget(db.alias()), before);
        QCOMPARE(old.headerFlags(), QList<int>({0, 1, 0, 1}));

        // Mended files go in with the next click, into a database that lost nothing.
        old.rights.removeLast();
        old.write();
        messages.clear();
        dialog.btnImportClick();
        QCOMPARE(messages.texts().last(), QStringLiteral("Conversion was Successful!"));
        QCOMPARE(statusLines(dialog).value(6), QStringLiteral("JSMITH mapped from 3 to 2"));
    }

    void closingDuringALargeImportStopsAndRollsBack_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel button") << "cancel";
        QTest::newRow("Escape key") << "escape";
        QTest::newRow("close box") << "close";
    }

    void closingDuringALargeImportStopsAndRollsBack()
    {
        QFETCH(QString, how);
        OldFiles &old = largeOldFiles();
        old.setHeaderFlags({1, 1, 1, 1});
        if (!m_rolledBack)
            m_rolledBack = std::make_unique<importfixture::TargetDb>();
        importfixture::TargetDb &db = *m_rolledBack;
        const QStringList before = everyImportTarget(db.alias());
        ShownDialog shown(old.dir(), db.alias());
        TfrmImport &dialog = shown.dialog;
        ui::MessageRecorder messages;
        int linesWhenClosed = -1;
        int linesAfterSecondImport = -1;
        bool stillShown = false;
        // Acts once the import is well under way (the list grows only while it runs), the way
        // a person does: the click or key waits for the window to look at its events.
        QObject::connect(dialog.lbStatus->model(), &QAbstractItemModel::rowsInserted, &dialog, [&] {
            if (dialog.lbStatus->count() != 500)
                return;
            dialog.btnImportClick(); // a second Import does nothing
            linesAfterSecondImport = dialog.lbStatus->count();
            if (how == QLatin1String("cancel"))
                QMetaObject::invokeMethod(dialog.btnCancel, &QPushButton::click,
                                          Qt::QueuedConnection);
            else if (how == QLatin1String("escape"))
                QCoreApplication::postEvent(
                    &dialog, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
            else
                QMetaObject::invokeMethod(&dialog, &QWidget::close, Qt::QueuedConnection);
            QMetaObject::invokeMethod(
                &dialog,
                [&] {
                    savePicture(&dialog, QStringLiteral("import-during"));
                    stillShown = dialog.isVisible() && dialog.isImporting();
                    linesWhenClosed = dialog.lbStatus->count();
                },
                Qt::QueuedConnection);
        });
        dialog.btnImportClick();
        QCOMPARE(linesAfterSecondImport, 500);
        QVERIFY(stillShown); // until the rollback is done
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        // Stopped after the row it was at when the window saw the request.
        QVERIFY(linesWhenClosed >= 500);
        QCOMPARE(dialog.lbStatus->count(), linesWhenClosed);
        QVERIFY(messages.requests().isEmpty());
        QCOMPARE(everyImportTarget(db.alias()), before);
        QCOMPARE(old.headerFlags(), QList<int>({1, 1, 1, 1}));
    }

    void largeImportRepaintsAsItGoes()
    {
        const OldFiles &old = largeOldFiles();
        importfixture::TargetDb db;
        ShownDialog shown(old.dir(), db.alias());
        TfrmImport &dialog = shown.dialog;
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        ui::MessageRecorder messages;
        // The number of lines each paint of the list showed while the import ran.
        QList<int> paintedCounts;
        struct PaintSpy : QObject {
            std::function<void()> painted;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::Paint)
                    painted();
                return false;
            }
        } spy;
        spy.painted = [&] {
            if (dialog.isImporting())
                paintedCounts.append(dialog.lbStatus->count());
        };
        dialog.lbStatus->viewport()->installEventFilter(&spy);
        dialog.btnImportClick();
        dialog.lbStatus->viewport()->removeEventFilter(&spy);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("Conversion was Successful!")});
        QCOMPARE(dialog.lbStatus->count(), 100 + LargeUsers * 5 + 5); // a user, four rights
        // Painted again and again, each time further on.
        paintedCounts.removeAll(0);
        QVERIFY2(paintedCounts.size() >= 3, qPrintable(QString::number(paintedCounts.size())));
        QVERIFY(std::is_sorted(paintedCounts.begin(), paintedCounts.end()));
        QVERIFY(paintedCounts.first() < paintedCounts.last());
        // The newest line in sight while it runs and at the end.
        QVERIFY(dialog.lbStatus->visualItemRect(dialog.lbStatus->item(dialog.lbStatus->count() - 1))
                    .intersects(dialog.lbStatus->viewport()->rect()));
    }
};

VESK_ADMIN_TEST_MAIN(TestAdminImport)
#include "tst_adminimport.moc"
