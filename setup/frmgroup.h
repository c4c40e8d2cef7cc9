#pragma once

#include <QDialog>

class DragListBox;
class QLabel;
class QPushButton;
class QToolButton;

namespace dbe {
class Table;
}

namespace ui {
class DbEdit;
}

// The group dialog: the name of the groups table's current row, its member constants on the
// left and every constant on the right. Members are written as they are moved; the name is
// posted on OK and its change dropped otherwise.
class TFormGroup : public QDialog
{
    Q_OBJECT

public:
    explicit TFormGroup(QWidget *owner = nullptr);

    // The dialog's data sources: the group row, the constants and the memberships.
    void BindDataSets(dbe::Table *groups, dbe::Table *access, dbe::Table *grpColl);

    void UpdateAccessInformation();
    void UpdateGrpAccInformation();
    void SelectAccess();
    void RemoveAccess();

    void FormShow();
    void FormClose(int result);
    void bbtnOkClick();
    bool lbSelectedDragOver(QObject *source) const;
    void lbSelectedDragDrop(QObject *source);

    void done(int result) override;

    QLabel *lblGroupName = nullptr;
    ui::DbEdit *dbedGroupName = nullptr;
    QLabel *lblSelected = nullptr;
    DragListBox *lbSelected = nullptr;
    QToolButton *spbtnAdd = nullptr;
    QToolButton *spbtnDel = nullptr;
    QLabel *lblComplete = nullptr;
    DragListBox *lbComplete = nullptr;
    QPushButton *bbtnOk = nullptr;
    QPushButton *bbtnCancel = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The group row's id; 0 while a new row has not been posted.
    int groupId() const;
    bool groupPending() const;

    dbe::Table *m_groups = nullptr;
    dbe::Table *m_access = nullptr;
    dbe::Table *m_grpColl = nullptr;
    bool m_shown = false;
};

// The group dialog while it is shown.
extern TFormGroup *FormGroup;
