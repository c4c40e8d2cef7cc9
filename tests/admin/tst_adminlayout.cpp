// Every window of the desktop, laid out with the fonts the program really uses: no caption,
// label or button text may be cut off. With VESK_SCREENSHOT_DIR set, the windows are also
// written there as PNG pictures to be looked at.

#include "admin/admnunt.h"
#include "admin/dirslunt.h"
#include "admin/frmabout.h"
#include "admin/gendlunt.h"
#include "admin/impunt.h"
#include "admin/passwordprompt.h"
#include "admin/pickdlg.h"
#include "admin/printsetup.h"
#include "admin/vwlogunt.h"
#include "admin/vwusrunt.h"
#include "dbe/table.h"
#include "tests/admin/adminfixture.h"
#include "ui/helpwindow.h"

#include <QAbstractButton>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>

namespace {

QString withoutMnemonic(QString text)
{
    return text.remove(QLatin1Char('&'));
}

// The texts of `window` that do not fit the space their control has.
QStringList cutTexts(QWidget *window)
{
    QStringList cut;
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (!label->isVisibleTo(window) || label->text().isEmpty())
            continue;
        const bool fits = label->wordWrap()
                              ? label->heightForWidth(label->contentsRect().width()) <=
                                    label->contentsRect().height()
                              : label->fontMetrics().size(0, label->text()).width() <=
                                    label->contentsRect().width();
        if (!fits)
            cut.append(label->objectName() + QStringLiteral(": ") + label->text());
    }
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        if (!button->isVisibleTo(window) || button->text().isEmpty())
            continue;
        const int needed =
            qobject_cast<QRadioButton *>(button)
                ? button->sizeHint().width()
                : button->fontMetrics().horizontalAdvance(withoutMnemonic(button->text())) + 8;
        if (needed > button->width())
            cut.append(button->objectName() + QStringLiteral(": ") + button->text());
    }
    for (QGroupBox *group : window->findChildren<QGroupBox *>()) {
        if (group->fontMetrics().horizontalAdvance(group->title()) + 16 > group->width())
            cut.append(group->objectName() + QStringLiteral(": ") + group->title());
    }
    return cut;
}

void savePicture(QWidget *window, const QString &name)
{
    const QString dir = qEnvironmentVariable("VESK_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        window->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

void checkWindow(QWidget *window, const QString &name)
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    savePicture(window, name);
    const QStringList cut = cutTexts(window);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
}

} // namespace

class TestAdminLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void mainWindow()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, true, QStringLiteral("Head Office Security"));
        TFormAdmin window;
        checkWindow(&window, QStringLiteral("main-closed"));
        window.OpenSecurity(db.alias());
        checkWindow(&window, QStringLiteral("main-open"));
        QCOMPARE(window.panelText(2), QStringLiteral("Head Office Security"));
    }

    void newDialog()
    {
        testsupport::SecurityDb db;
        TFormOpenSecurity dialog;
        checkWindow(&dialog, QStringLiteral("new"));
    }

    void pickList()
    {
        TfrmPickList dialog;
        dialog.setWindowTitle(QStringLiteral("Select Security Alias"));
        dialog.lblLabel->setText(QStringLiteral("Alias:"));
        dialog.lboxList->addItems({QStringLiteral("DEMO"), QStringLiteral("TESTSEC")});
        checkWindow(&dialog, QStringLiteral("picklist"));
    }

    void printSetupDialog()
    {
        QPrinter printer;
        PrintSetupDialog dialog(&printer);
        checkWindow(&dialog, QStringLiteral("printsetup"));
    }

    void generateDialog()
    {
        TfrmGenerate dialog;
        checkWindow(&dialog, QStringLiteral("generate"));
    }

    void importDialog()
    {
        TfrmImport dialog;
        checkWindow(&dialog, QStringLiteral("import"));
        dialog.btnImport->hide();
        dialog.btnCancel->hide();
        dialog.btnClose->show();
        checkWindow(&dialog, QStringLiteral("import-done"));
    }

    void logViewer()
    {
        testsupport::SecurityDb db;
        const int user = db.addUser(QStringLiteral("Alice Administrator"), QStringLiteral("pw"));
        const int access = db.addAccess(QStringLiteral("Print Monthly Summar"));
        dbe::Table log;
        log.setDatabaseName(db.alias());
        log.setTableName(QStringLiteral("LOG.DB"));
        log.open();
        for (int i = 0; i < 3; ++i) {
            log.append();
            log.setValue(QStringLiteral("Access_Date"),
                         QDateTime(QDate(2026, 12, 8), QTime(9, 30 + i, 15)));
            log.setValue(QStringLiteral("User_ID"), i == 2 ? 0 : user);
            log.setValue(QStringLiteral("Access_ID"), i == 0 ? QVariant() : QVariant(access));
            log.post();
        }
        log.close();
        TfrmViewLog viewer;
        viewer.tblUsers->setDatabaseName(db.alias());
        viewer.tblAccess->setDatabaseName(db.alias());
        viewer.tblLog->setDatabaseName(db.alias());
        checkWindow(&viewer, QStringLiteral("viewlog"));
    }

    void usersViewer()
    {
        testsupport::SecurityDb db;
        TfrmViewUsers viewer;
        viewer.tblUserAcc->setDatabaseName(db.alias());
        checkWindow(&viewer, QStringLiteral("viewusers"));
    }

    void aboutBox()
    {
        TformAbout about;
        about.lbProgrammers->addItem(QStringLiteral("The VeskSecure developers"));
        about.lblVersion->setText(QStringLiteral("Version 2.0"));
        about.lblProgName->setText(QStringLiteral("VeskSecure Security Administration"));
        about.tmAnimationTimer();
        checkWindow(&about, QStringLiteral("about"));
    }

    void helpWindow()
    {
        TFormAdmin window;
        window.Contents1Click();
        QVERIFY(window.helpWindow());
        window.helpWindow()->showTopic(QStringLiteral("rights.html"));
        checkWindow(window.helpWindow(), QStringLiteral("help"));
    }

    void passwordPrompt()
    {
        TPasswordPrompt prompt(QStringLiteral("PROGRAM.DB"));
        checkWindow(&prompt, QStringLiteral("password"));
    }
};

VESK_ADMIN_TEST_MAIN(TestAdminLayout)
#include "tst_adminlayout.moc"
