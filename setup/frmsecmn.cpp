#include "setup/frmsecmn.h"

#include "dbe/table.h"
#include "rules/auditedchange.h"
#include "rules/schema.h"
#include "rules/securityrules.h"
#include "setup/draglistbox.h"
#include "setup/frmpolicy.h"
#include "setup/userselector.h"
#include "ui/dbcontrols.h"
#include "ui/engineerror.h"
#include "ui/formkit.h"
#include "ui/glyphs.h"
#include "ui/helpkey.h"

#include <QDate>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

using namespace security::fields;
using formkit::place;
using formkit::placeGlyphButton;
using formkit::placeLabel;
using formkit::placeSpeedButton;

TFormMain *FormMain = nullptr;

namespace {

// The help topic F1 opens in the setup editor and its dialogs.
const QString SetupHelpTopic = QStringLiteral("setup.html");

} // namespace

TFormMain::TFormMain(QWidget *owner) : QDialog(owner)
{
    FormMain = this;
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Security Setup"));
    // The regular 8-point face; the user and group dialogs use the same.
    formkit::applyDialogFont(this, formkit::Weight::Regular);
    // Taller by the status line below the users.
    setFixedSize(499, 358);

    createTables();
    buildSystemGroup();
    btnOk =
        place<QPushButton>(this, QStringLiteral("btnOk"), {412, 10, 79, 27}, QStringLiteral("OK"));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &TFormMain::btnOkClick);
    btnPolicy = place<QPushButton>(this, QStringLiteral("btnPolicy"), {412, 44, 79, 27},
                                   QStringLiteral("&Policy..."));
    btnPolicy->setAccessibleName(QStringLiteral("Logon policy"));
    connect(btnPolicy, &QPushButton::clicked, this, &TFormMain::btnPolicyClick);
    buildUsersGroup();
    lblStatus = place<QLabel>(this, QStringLiteral("lblStatus"), {10, 336, 481, 18});
    setTabOrderAndKeys();
}

void TFormMain::setTabOrderAndKeys()
{
    // The controls in their long-standing order, then every button, so that the keyboard alone
    // reaches everything.
    const QList<QWidget *> order = {dbedSecLabel,   DBEdit1,        DBEdit2,        dbchkSecEnabled,
                                    dbcxLogEnabled, btnOk,          dblkUserName,   lbUsrAccess,
                                    tnbkLists,      lbGroups,       lbConstants,    spbtnAddUser,
                                    spbtnEditUser,  spbtnDelUser,   spbtnAddAccess, spbtnDelAccess,
                                    spbtnAddGroup,  spbtnEditGroup, spbtnDelGroup,  spbtnAccAdd,
                                    spbtnAccEdit,   spbtnAccDel,    spbtnAccHolders, btnPolicy};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));

    // Delete takes the selected right; Enter or a double click on a group or constant grants it.
    connect(lbUsrAccess, &DragListBox::deletePressed, this, &TFormMain::RemoveAccess);
    connect(lbGroups, &DragListBox::lineChosen, this, &TFormMain::AddAccess);
    connect(lbConstants, &DragListBox::lineChosen, this, &TFormMain::AddAccess);
    ui::installHelpKey(this, SetupHelpTopic);
}

TFormMain::~TFormMain()
{
    FormDestroy();
    if (FormMain == this)
        FormMain = nullptr;
}

void TFormMain::createTables()
{
    const auto table = [this](const QString &name, const QString &tableName) {
        auto *result = new dbe::Table(this);
        result->setObjectName(name);
        // The design-time database name; FormShow puts the alias in its place.
        result->setDatabaseName(QStringLiteral("SECURITY"));
        result->setTableName(tableName);
        return result;
    };
    tblGroups = table(QStringLiteral("tblGroups"), security::tables::Groups);
    tblAccess = table(QStringLiteral("tblAccess"), security::tables::Access);
    tblGrpColl = table(QStringLiteral("tblGrpColl"), security::tables::GrpColl);
    tblProgram = table(QStringLiteral("tblProgram"), security::tables::Program);
    tblUsers = table(QStringLiteral("tblUsers"), security::tables::Users);
    tblUsers->setIndexName(security::indexes::UserName);
    tblUsrAcc = table(QStringLiteral("tblUsrAcc"), security::tables::UserAcc);
    tblUsrAcc->addCalculatedField(AccLabel, dbe::FieldType::Alpha, 22);
    tblUsrAcc->setCalcFieldsHandler([this](dbe::DataSet &row) { tblUsrAccCalcFields(row); });
}

void TFormMain::buildSystemGroup()
{
    grpSystem = place<QGroupBox>(this, QStringLiteral("grpSystem"), {8, 4, 396, 126},
                                 QStringLiteral("Security System:"));
    dbedSecLabel = place<ui::DbEdit>(grpSystem, QStringLiteral("dbedSecLabel"), {136, 21, 250, 21});
    lblSecLabel = placeLabel(QStringLiteral("lblSecLabel"), QStringLiteral("Security Label:"),
                             grpSystem, 10, 25, 0, dbedSecLabel);
    DBEdit1 = place<ui::DbEdit>(grpSystem, QStringLiteral("DBEdit1"), {136, 47, 150, 21});
    lblEdit1 = placeLabel(QStringLiteral("lblEdit1"), QStringLiteral("Label for User Field 1:"),
                          grpSystem, 10, 51, 0, DBEdit1);
    DBEdit2 = place<ui::DbEdit>(grpSystem, QStringLiteral("DBEdit2"), {136, 73, 150, 21});
    lblEdit2 = placeLabel(QStringLiteral("lblEdit2"), QStringLiteral("Label for User Field 2:"),
                          grpSystem, 10, 77, 0, DBEdit2);
    dbchkSecEnabled = place<ui::DbCheckBox>(grpSystem, QStringLiteral("dbchkSecEnabled"),
                                            {10, 101, 120, 17}, QStringLiteral("Security Enabled"));
    dbcxLogEnabled = place<ui::DbCheckBox>(grpSystem, QStringLiteral("dbcxLogEnabled"),
                                           {136, 101, 120, 17}, QStringLiteral("Logging Enabled"));

    dbedSecLabel->setDataField(tblProgram, SecurityLabel);
    DBEdit1->setDataField(tblProgram, Label1);
    DBEdit2->setDataField(tblProgram, Label2);
    dbchkSecEnabled->setDataField(tblProgram, Enabled);
    dbcxLogEnabled->setDataField(tblProgram, LogEnabled);
}

void TFormMain::buildUsersGroup()
{
    grpUsers = place<QGroupBox>(this, QStringLiteral("grpUsers"), {8, 134, 483, 198},
                                QStringLiteral("Users:"));
    dblkUserName = place<UserSelector>(grpUsers, QStringLiteral("dblkUserName"), {10, 20, 236, 22});
    dblkUserName->setAccessibleName(QStringLiteral("User"));
    connect(dblkUserName, &UserSelector::userPicked, this, [this](int userId) {
        ui::runGuarded(this, [&] { dblkUserName->locate(*tblUsers, userId); });
        dblkUserNameChange();
    });
    spbtnAddUser = placeSpeedButton(grpUsers, QStringLiteral("spbtnAddUser"), {252, 19, 44, 24},
                                    QStringLiteral("Add"));
    spbtnEditUser = placeSpeedButton(grpUsers, QStringLiteral("spbtnEditUser"), {298, 19, 44, 24},
                                     QStringLiteral("Edit"));
    spbtnDelUser = placeSpeedButton(grpUsers, QStringLiteral("spbtnDelUser"), {344, 19, 44, 24},
                                    QStringLiteral("Del"));
    spbtnAddUser->setAccessibleName(QStringLiteral("Add user"));
    connect(spbtnAddUser, &QToolButton::clicked, this, &TFormMain::spbtnAddUserClick);
    spbtnEditUser->setAccessibleName(QStringLiteral("Edit user"));
    connect(spbtnEditUser, &QToolButton::clicked, this, &TFormMain::spbtnEditUserClick);
    spbtnDelUser->setAccessibleName(QStringLiteral("Delete user"));
    connect(spbtnDelUser, &QToolButton::clicked, this, &TFormMain::spbtnDelUserClick);

    lbUsrAccess = place<DragListBox>(grpUsers, QStringLiteral("lbUsrAccess"), {10, 66, 198, 122});
    lblUsrAccLst =
        placeLabel(QStringLiteral("lblUsrAccLst"), QStringLiteral("Security Access for User:"),
                   grpUsers, 10, 50, 0, lbUsrAccess);
    lbUsrAccess->setDropAcceptor([this](QObject *source) { return lbUsrAccessDragOver(source); });
    lbUsrAccess->setDropHandler([this](QObject *source) { lbUsrAccessDragDrop(source); });
    connect(lbUsrAccess, &QListWidget::currentItemChanged, this, &TFormMain::showRightSource);

    spbtnAddAccess = placeGlyphButton(grpUsers, QStringLiteral("spbtnAddAccess"), {214, 98, 25, 25},
                                      glyphs::leftArrow(), glyphs::ArrowSize);
    spbtnDelAccess = placeGlyphButton(grpUsers, QStringLiteral("spbtnDelAccess"),
                                      {214, 128, 25, 25}, glyphs::rightArrow(), glyphs::ArrowSize);
    // The arrows say nothing in words; their names do.
    spbtnAddAccess->setAccessibleName(QStringLiteral("Give the selected to the user"));
    spbtnDelAccess->setAccessibleName(QStringLiteral("Take the selected from the user"));
    connect(spbtnAddAccess, &QToolButton::clicked, this, &TFormMain::AddAccess);
    connect(spbtnDelAccess, &QToolButton::clicked, this, &TFormMain::RemoveAccess);

    tnbkLists = place<QTabWidget>(grpUsers, QStringLiteral("tnbkLists"), {245, 48, 228, 140});
    tnbkLists->addTab(buildGroupsPage(), QStringLiteral("Groups"));
    tnbkLists->addTab(buildConstantsPage(), QStringLiteral("Constants"));
}

QWidget *TFormMain::buildGroupsPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pageGroups"));
    lbGroups = place<DragListBox>(page, QStringLiteral("lbGroups"), {4, 4, 150, 104});
    lbGroups->setAccessibleName(QStringLiteral("Groups"));
    spbtnAddGroup = placeSpeedButton(page, QStringLiteral("spbtnAddGroup"), {160, 4, 58, 24},
                                     QStringLiteral("Add"));
    spbtnEditGroup = placeSpeedButton(page, QStringLiteral("spbtnEditGroup"), {160, 30, 58, 24},
                                      QStringLiteral("Edit"));
    spbtnDelGroup = placeSpeedButton(page, QStringLiteral("spbtnDelGroup"), {160, 56, 58, 24},
                                     QStringLiteral("Del"));
    spbtnAddGroup->setAccessibleName(QStringLiteral("Add group"));
    connect(spbtnAddGroup, &QToolButton::clicked, this, &TFormMain::spbtnAddGroupClick);
    spbtnEditGroup->setAccessibleName(QStringLiteral("Edit group"));
    connect(spbtnEditGroup, &QToolButton::clicked, this, &TFormMain::spbtnEditGroupClick);
    spbtnDelGroup->setAccessibleName(QStringLiteral("Delete group"));
    connect(spbtnDelGroup, &QToolButton::clicked, this, &TFormMain::spbtnDelGroupClick);
    return page;
}

QWidget *TFormMain::buildConstantsPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pageConstants"));
    lbConstants = place<DragListBox>(page, QStringLiteral("lbConstants"), {4, 4, 150, 104});
    lbConstants->setAccessibleName(QStringLiteral("Access constants"));
    spbtnAccAdd = placeSpeedButton(page, QStringLiteral("spbtnAccAdd"), {160, 4, 58, 24},
                                   QStringLiteral("Add"));
    spbtnAccEdit = placeSpeedButton(page, QStringLiteral("spbtnAccEdit"), {160, 30, 58, 24},
                                    QStringLiteral("Edit"));
    spbtnAccDel = placeSpeedButton(page, QStringLiteral("spbtnAccDel"), {160, 56, 58, 24},
                                   QStringLiteral("Del"));
    spbtnAccAdd->setAccessibleName(QStringLiteral("Add access constant"));
    connect(spbtnAccAdd, &QToolButton::clicked, this, &TFormMain::spbtnAccAddClick);
    spbtnAccEdit->setAccessibleName(QStringLiteral("Edit access constant"));
    connect(spbtnAccEdit, &QToolButton::clicked, this, &TFormMain::spbtnAccEditClick);
    spbtnAccDel->setAccessibleName(QStringLiteral("Delete access constant"));
    connect(spbtnAccDel, &QToolButton::clicked, this, &TFormMain::spbtnAccDelClick);
    spbtnAccHolders = placeSpeedButton(page, QStringLiteral("spbtnAccHolders"), {160, 82, 58, 24},
                                       QStringLiteral("Holders"));
    spbtnAccHolders->setToolTip(QStringLiteral("Who holds the selected constant, and how"));
    connect(spbtnAccHolders, &QToolButton::clicked, this, &TFormMain::spbtnAccHoldersClick);
    return page;
}

void TFormMain::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    formkit::centreOnScreen(this);
    FormShow();
}

void TFormMain::FormShow()
{
    const bool opened = ui::runGuarded(this, [this] {
        const QList<dbe::Table *> tables = {tblGroups,  tblAccess, tblGrpColl,
                                            tblProgram, tblUsers,  tblUsrAcc};
        for (dbe::Table *table : tables)
            table->setDatabaseName(m_aliasName);
        for (dbe::Table *table : tables)
            table->open();
        dbe::FieldInfo &userName = tblUsers->fieldInfo(UserName);
        userName.required = true;
        userName.displayLabel = QStringLiteral("User Name");
        tblUsrAcc->fieldInfo(UserId).visible = false;
        tblUsrAcc->fieldInfo(AccessId).visible = false;
    });
    if (!opened) {
        // Without its tables the window has nothing to show; it closes once it is up.
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
        return;
    }
    dblkUserName->reload(*tblUsers);
    dblkUserName->setKeyValue(0);
    UpdateAccessInformation();
    UpdateGroupInformation();
    m_enabledOnShow = tblProgram->asBoolean(Enabled);
    if (m_hideAccessButtons) {
        spbtnAccAdd->hide();
        spbtnAccEdit->hide();
        spbtnAccDel->hide();
    }
}

void TFormMain::FormDestroy()
{
    ui::runGuarded(this, [this] {
        if (tblProgram->isOpen()) {
            const bool switchedOff = !tblProgram->asBoolean(Enabled) && m_enabledOnShow;
            if (switchedOff) {
                if (tblProgram->state() == dbe::DataSet::State::Browse)
                    tblProgram->edit();
                tblProgram->setValue(DateDisabled, QDate::currentDate());
            }
            const dbe::DataSet::State state = tblProgram->state();
            if (state == dbe::DataSet::State::Edit || state == dbe::DataSet::State::Insert)
                security::postAudited(*tblProgram, QStringLiteral("settings"), SecurityLabel);
        }
    });
    for (dbe::Table *table : {tblUsrAcc, tblUsers, tblProgram, tblGrpColl, tblAccess, tblGroups})
        ui::runGuarded(this, [table] { table->close(); });
}

security::SecurityRules TFormMain::rules() const
{
    return security::SecurityRules(m_aliasName);
}

void TFormMain::btnOkClick()
{
    accept();
}

void TFormMain::btnPolicyClick()
{
    QString userName;
    ui::runGuarded(this, [&] {
        if (userSelected())
            userName = tblUsers->asString(UserName);
    });
    TFormPolicy dialog(m_aliasName, userName, this);
    dialog.exec();
}
