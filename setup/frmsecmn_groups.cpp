// The groups of the setup editor: the list on page "Groups", the group dialog for add and
// edit, and what a deletion takes from users.

#include "dbe/table.h"
#include "rules/schema.h"
#include "rules/securityrules.h"
#include "setup/draglistbox.h"
#include "setup/frmgroup.h"
#include "setup/frmsecmn.h"
#include "setup/intobject.h"
#include "ui/engineerror.h"
#include "ui/messages.h"

using namespace security::fields;

void TFormMain::UpdateGroupInformation()
{
    lbGroups->clear();
    ui::runGuarded(this, [this] {
        for (tblGroups->first(); !tblGroups->eof(); tblGroups->next()) {
            addIdLine(lbGroups, tblGroups->asString(GroupName),
                      {tblGroups->asInteger(GroupId), security::RightGroup});
        }
    });
}

namespace {

void showGroupDialog(QWidget *owner, dbe::Table *groups, dbe::Table *access, dbe::Table *grpColl,
                     bool newGroup)
{
    TFormGroup dialog(owner);
    FormGroup = &dialog;
    dialog.BindDataSets(groups, access, grpColl);
    if (newGroup)
        groups->insert();
    dialog.exec();
    FormGroup = nullptr;
}

} // namespace

void TFormMain::spbtnAddGroupClick()
{
    ui::runGuarded(this, [this] { showGroupDialog(this, tblGroups, tblAccess, tblGrpColl, true); });
    UpdateGroupInformation();
}

void TFormMain::spbtnEditGroupClick()
{
    const std::optional<TIntObject> line = selectedObject(lbGroups);
    if (!line)
        return;
    bool found = false;
    ui::runGuarded(this, [&] {
        found = tblGroups->findKey({line->id});
        if (found)
            showGroupDialog(this, tblGroups, tblAccess, tblGrpColl, false);
    });
    if (!found)
        return;
    UpdateGroupInformation();
    UpdateUserInformation();
}

void TFormMain::spbtnDelGroupClick()
{
    const std::optional<TIntObject> line = selectedObject(lbGroups);
    if (!line)
        return;
    if (!ui::askYesNo(this, QStringLiteral("Confirm deletion of ") + selectedText(lbGroups),
                      ui::MessageIcon::Warning))
        return;
    bool found = false;
    ui::runGuarded(this, [&] { found = rules().deleteGroup(line->id); });
    if (!found)
        return;
    UpdateUserInformation();
    UpdateGroupInformation();
}
