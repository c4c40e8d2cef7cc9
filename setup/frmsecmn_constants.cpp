// The access constants of the setup editor: the list on page "Constants", add, rename and
// delete, and what a deletion takes from users and groups.

#include "dbe/table.h"
#include "rules/schema.h"
#include "rules/securityrules.h"
#include "setup/draglistbox.h"
#include "setup/frmsecmn.h"
#include "setup/intobject.h"
#include "ui/engineerror.h"
#include "ui/messages.h"

using namespace security::fields;

namespace {

const QString ConstantCaptionAdd = QStringLiteral("Add New Access Constant");
const QString ConstantCaptionEdit = QStringLiteral("Edit Access Constant");
const QString ConstantPrompt = QStringLiteral("Access Label");

} // namespace

int TFormMain::constantNameLength() const
{
    // Typing stops at the field's size, as in every data-bound edit, instead of a longer name
    // being cut when it is stored.
    if (!tblAccess->isOpen() || !tblAccess->hasField(AccessName))
        return 0;
    return tblAccess->fieldInfo(AccessName).size;
}

void TFormMain::UpdateAccessInformation()
{
    lbConstants->clear();
    ui::runGuarded(this, [this] {
        for (tblAccess->first(); !tblAccess->eof(); tblAccess->next()) {
            addIdLine(lbConstants, tblAccess->asString(AccessName),
                      {tblAccess->asInteger(AccessId), security::RightConstant});
        }
    });
}

void TFormMain::spbtnAccAddClick()
{
    QString name;
    if (ui::inputQuery(this, ConstantCaptionAdd, ConstantPrompt, name, constantNameLength()) &&
        !name.isEmpty()) {
        ui::runGuarded(this, [&] {
            if (rules().addConstant(name).status == security::SecurityRules::NameChange::Duplicate)
                ui::showError(this, QStringLiteral("Duplicate Access Constant, Add Failed"));
        });
    }
    UpdateAccessInformation();
}

void TFormMain::spbtnAccEditClick()
{
    const QString oldName = selectedText(lbConstants);
    if (!selectedObject(lbConstants))
        return;
    QString name = oldName;
    if (!ui::inputQuery(this, ConstantCaptionEdit, ConstantPrompt, name, constantNameLength()) ||
        name.isEmpty())
        return;
    ui::runGuarded(this, [&] {
        // A constant of the old name that another workstation renamed or deleted meanwhile is
        // left as it is, without a word.
        if (rules().renameConstant(oldName, name).status ==
            security::SecurityRules::NameChange::Duplicate)
            ui::showError(this, QStringLiteral("Duplicate Access Constant, Change Failed"));
    });
    UpdateAccessInformation();
    UpdateUserInformation();
}

void TFormMain::spbtnAccDelClick()
{
    const std::optional<TIntObject> line = selectedObject(lbConstants);
    if (!line)
        return;
    if (!ui::askYesNo(this, QStringLiteral("Confirm deletion of ") + selectedText(lbConstants),
                      ui::MessageIcon::Warning))
        return;
    ui::runGuarded(this, [&] { rules().deleteConstant(line->id); });
    UpdateUserInformation();
    UpdateAccessInformation();
}
