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
#include "admin/usgdlunt.h"
#include "admin/vwusrunt.h"
#include "controls/calpop.h"
#include "controls/dateedit.h"
#include "setup/frmgroup.h"
#include "setup/frmsecmn.h"
#include "setup/frmuser.h"
#include "dbe/table.h"
#include "tests/admin/adminfixture.h"
#include "ui/helpwindow.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QTabWidget>
#include <functional>
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

// Every input, list, button and check box has a name of its own for a screen reader, on every
// page of a notebook; no two inputs share one. The items in a list are contents, not controls.
QStringList accessibilityFaults(QWidget *window)
{
    using QA = QAccessible;
    static const QList<QA::Role> inputs = {QA::EditableText, QA::ComboBox, QA::List,
                                           QA::SpinBox,      QA::Table,    QA::Tree};
    static const QList<QA::Role> controls = {QA::PushButton, QA::CheckBox, QA::RadioButton,
                                             QA::ButtonMenu, QA::PageTab};
    QStringList faults;
    QMap<QString, QString> inputNames;
    std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *node) {
        if (!node || node->state().invisible)
            return;
        const bool input = inputs.contains(node->role());
        if (input || controls.contains(node->role())) {
            const QString name = node->text(QA::Name).trimmed();
            const QString id = node->object() ? node->object()->objectName() : QString();
            if (name.isEmpty())
                faults.append(id + QStringLiteral(" has no name"));
            else if (input && inputNames.contains(name))
                faults.append(inputNames[name] + QStringLiteral(" and ") + id + " are " + name);
            if (input) {
                inputNames.insert(name, id);
                return;
            }
        }
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i));
    };
    QTabWidget *tabs = window->findChild<QTabWidget *>();
    for (int page = 0; page < (tabs ? tabs->count() : 1); ++page) {
        if (tabs)
            tabs->setCurrentIndex(page);
        inputNames.clear();
        walk(QAccessible::queryAccessibleInterface(window));
    }
    faults.removeDuplicates();
    return faults;
}

void checkWindow(QWidget *window, const QString &name)
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    savePicture(window, name);
    const QStringList cut = cutTexts(window);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
    const QStringList unnamed = accessibilityFaults(window);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral("; "))));
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

    // The windows not laid out above: the usage range, the calendar and the setup editor's.
    void setupAndDateWindows()
    {
        testsupport::SecurityDb db;
        TFrmUsageDlg usage;
        checkWindow(&usage, QStringLiteral("usage"));
        TformUser user;
        checkWindow(&user, QStringLiteral("user"));
        dbe::Table groups, access, grpColl;
        const QStringList names{"GROUPS.DB", "ACCESS.DB", "GRPCOLL.DB"};
        for (dbe::Table *table : {&groups, &access, &grpColl}) {
            table->setDatabaseName(db.alias());
            table->setTableName(names.at(table == &groups ? 0 : table == &access ? 1 : 2));
            table->open();
        }
        TFormGroup group;
        group.BindDataSets(&groups, &access, &grpColl);
        checkWindow(&group, QStringLiteral("group"));
        TFormMain editor;
        editor.SetAliasName(db.alias());
        checkWindow(&editor, QStringLiteral("setup"));
        // The calendar is drawn, not built of controls: it is one named control itself.
        TDateEdit edit;
        TfrmCalPop calendar(&edit);
        checkWindow(&calendar, QStringLiteral("calendar"));
        QCOMPARE(QAccessible::queryAccessibleInterface(&calendar)->text(QAccessible::Name),
                 QStringLiteral("Calendar"));
        QCOMPARE(QAccessible::queryAccessibleInterface(edit.Button())->text(QAccessible::Name),
                 QStringLiteral("Open calendar"));
    }
};

VESK_ADMIN_TEST_MAIN(TestAdminLayout)
#include "tst_adminlayout.moc"
