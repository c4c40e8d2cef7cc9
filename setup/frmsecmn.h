#pragma once

#include <QDialog>
#include <QString>

class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;
class QToolButton;

namespace dbe {
class DataSet;
class Table;
} // namespace dbe

namespace security {
class SecurityRules;
}

namespace ui {
class DbCheckBox;
class DbEdit;
} // namespace ui

class DragListBox;
class UserSelector;

// The security setup editor: the settings row, the users, the access constants, the groups and
// the rights of each user, all of one security database. Every change but the settings row is
// written at once; the settings row is posted when the window is destroyed.
//
// Open it like this: create it, set the alias (and, for a host, whether the constant buttons are
// hidden), exec() it and delete it. It opens its tables when first shown.
class TFormMain : public QDialog
{
    Q_OBJECT

public:
    explicit TFormMain(QWidget *owner = nullptr);
    ~TFormMain() override;

    QString AliasName() const { return m_aliasName; }
    void SetAliasName(const QString &alias) { m_aliasName = alias; }
    bool HideAccessButtons() const { return m_hideAccessButtons; }
    void SetHideAccessButtons(bool hide) { m_hideAccessButtons = hide; }

    // Rebuilds the lists from the tables.
    void UpdateUserInformation();
    void UpdateAccessInformation();
    void UpdateGroupInformation();

    // Grants the selected line of the visible page to the selected user, and takes the selected
    // right away.
    void AddAccess();
    void RemoveAccess();

    // Handlers, public so that the opener's tests can run them as a click would.
    void FormShow();
    void btnOkClick();
    void btnPolicyClick();
    void dblkUserNameChange();
    void spbtnAddUserClick();
    void spbtnEditUserClick();
    void spbtnDelUserClick();
    void spbtnAccAddClick();
    void spbtnAccEditClick();
    void spbtnAccDelClick();
    // Lists the enabled users who hold the selected constant, and how each holds it.
    void spbtnAccHoldersClick();
    void spbtnAddGroupClick();
    void spbtnEditGroupClick();
    void spbtnDelGroupClick();
    bool lbUsrAccessDragOver(QObject *source) const;
    void lbUsrAccessDragDrop(QObject *source);

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The calculated field of tblUsrAcc that labels each right in the rights list.
    static inline const QString AccLabel = QStringLiteral("AccLabel");

    void setTabOrderAndKeys();
    void buildSystemGroup();
    void buildUsersGroup();
    QWidget *buildGroupsPage();
    QWidget *buildConstantsPage();
    void createTables();
    void FormDestroy();

    void tblUsrAccCalcFields(dbe::DataSet &row);
    // Puts on each line of the rights list where the right comes from: its tool tip, and the
    // status line while it is the current line.
    void describeRightSources();
    void showRightSource();
    bool userSelected() const;
    // Makes the user with this id the selected one and the current row of the users table;
    // an id that no user has leaves the selector empty and the table where it stood.
    void selectUser(int userId);
    void rangeOnUser(int userId);
    // The size of a constant's name in ACCESS.DB; 0 while the table is not open.
    int constantNameLength() const;
    // The rules by which users, constants, groups and rights change, on this window's database.
    security::SecurityRules rules() const;

    QString m_aliasName;
    bool m_hideAccessButtons = false;
    bool m_enabledOnShow = false;
    bool m_shown = false;

    dbe::Table *tblGroups = nullptr;
    dbe::Table *tblAccess = nullptr;
    dbe::Table *tblGrpColl = nullptr;
    dbe::Table *tblProgram = nullptr;
    dbe::Table *tblUsers = nullptr;
    dbe::Table *tblUsrAcc = nullptr;

    QGroupBox *grpSystem = nullptr;
    QLabel *lblSecLabel = nullptr;
    ui::DbEdit *dbedSecLabel = nullptr;
    QLabel *lblEdit1 = nullptr;
    ui::DbEdit *DBEdit1 = nullptr;
    QLabel *lblEdit2 = nullptr;
    ui::DbEdit *DBEdit2 = nullptr;
    ui::DbCheckBox *dbchkSecEnabled = nullptr;
    ui::DbCheckBox *dbcxLogEnabled = nullptr;
    QPushButton *btnOk = nullptr;
    // An addition beside the settings: the logon policy and unlocking (TFormPolicy).
    QPushButton *btnPolicy = nullptr;
    QGroupBox *grpUsers = nullptr;
    UserSelector *dblkUserName = nullptr;
    QToolButton *spbtnAddUser = nullptr;
    QToolButton *spbtnEditUser = nullptr;
    QToolButton *spbtnDelUser = nullptr;
    QLabel *lblUsrAccLst = nullptr;
    DragListBox *lbUsrAccess = nullptr;
    QToolButton *spbtnAddAccess = nullptr;
    QToolButton *spbtnDelAccess = nullptr;
    QTabWidget *tnbkLists = nullptr;
    DragListBox *lbGroups = nullptr;
    QToolButton *spbtnAddGroup = nullptr;
    QToolButton *spbtnEditGroup = nullptr;
    QToolButton *spbtnDelGroup = nullptr;
    DragListBox *lbConstants = nullptr;
    QToolButton *spbtnAccAdd = nullptr;
    QToolButton *spbtnAccEdit = nullptr;
    QToolButton *spbtnAccDel = nullptr;
    QToolButton *spbtnAccHolders = nullptr;
    QLabel *lblStatus = nullptr;
};

// The window while it exists (the last one created), as openers and tools look for it.
extern TFormMain *FormMain;
