// The users of the setup editor: the selector, the user dialog for add and edit, deletion, and
// the rebuilding of the selected user's rights list.

#include "dbe/table.h"
#include "rules/schema.h"
#include "rules/securityrules.h"
#include "setup/draglistbox.h"
#include "setup/frmsecmn.h"
#include "setup/frmuser.h"
#include "setup/intobject.h"
#include "setup/userselector.h"
#include "ui/engineerror.h"
#include "ui/messages.h"

#include <QLabel>
#include <QPushButton>

using namespace security::fields;

bool TFormMain::userSelected() const
{
    return dblkUserName->hasSelection();
}

void TFormMain::selectUser(int userId)
{
    dblkUserName->setKeyValue(userId);
    if (userSelected())
        dblkUserName->locate(*tblUsers, userId);
}

void TFormMain::rangeOnUser(int userId)
{
    // Access and group ids are positive and "B" sorts before both type codes, so these two
    // keys hold exactly one user's rights.
    tblUsrAcc->setRange({userId, 0, QStringLiteral("C")}, {userId + 1, 0, QStringLiteral("B")});
}

void TFormMain::UpdateUserInformation()
{
    lbUsrAccess->clear();
    if (!userSelected())
        return;
    ui::runGuarded(this, [this] {
        rangeOnUser(tblUsers->asInteger(UserId));
        for (tblUsrAcc->first(); !tblUsrAcc->eof(); tblUsrAcc->next()) {
            addIdLine(lbUsrAccess, tblUsrAcc->asString(AccLabel),
                      {tblUsrAcc->asInteger(AccessId), tblUsrAcc->asString(RightType)});
        }
    });
    describeRightSources();
}

void TFormMain::dblkUserNameChange()
{
    UpdateUserInformation();
}

void TFormMain::spbtnAddUserClick()
{
    ui::runGuarded(this, [this] {
        tblUsers->insert();
        {
            TformUser dialog(this);
            formUser = &dialog;
            dialog.BindUsers(tblUsers);
            tblUsers->setValue(UserEnabled, true);
            dialog.bbtnAnother->show();
            dialog.lblDef1->setText(tblProgram->asString(Label1) + QStringLiteral(":"));
            dialog.lblDef2->setText(tblProgram->asString(Label2) + QStringLiteral(":"));
            dialog.exec();
            formUser = nullptr;
        }
        // After a save the table stands on the user saved last, after a cancel on the row it
        // returned to; either is the user to show.
        const int current = tblUsers->isEmpty() ? 0 : tblUsers->asInteger(UserId);
        dblkUserName->reload(*tblUsers);
        selectUser(current);
    });
    UpdateUserInformation();
}

void TFormMain::spbtnEditUserClick()
{
    if (!userSelected())
        return;
    ui::runGuarded(this, [this] {
        {
            TformUser dialog(this);
            formUser = &dialog;
            dialog.BindUsers(tblUsers);
            dialog.lblDef1->setText(tblProgram->asString(Label1) + QStringLiteral(":"));
            dialog.lblDef2->setText(tblProgram->asString(Label2) + QStringLiteral(":"));
            dialog.exec();
            formUser = nullptr;
        }
        // The selector shows the name as it now stands; the rights list is left as it was.
        const int current = tblUsers->asInteger(UserId);
        dblkUserName->reload(*tblUsers);
        selectUser(current);
    });
}

void TFormMain::spbtnDelUserClick()
{
    if (!userSelected())
        return;
    if (!ui::askYesNo(this, QStringLiteral("Confirm deletion of ") + tblUsers->asString(UserName),
                      ui::MessageIcon::Warning))
        return;
    const int userId = tblUsers->asInteger(UserId);
    // A user that another workstation deleted meanwhile is gone all the same.
    const bool deleted = ui::runGuarded(this, [&] { rules().deleteUser(userId); });
    ui::runGuarded(this, [&] {
        dblkUserName->reload(*tblUsers);
        // Key 0 belongs to nobody, so the selector is left empty after a deletion; a deletion
        // that failed and was rolled back keeps its user on show.
        selectUser(deleted ? 0 : userId);
    });
    UpdateUserInformation();
}
