// The access constants of the setup editor: the list on page "Constants", add, rename and
// delete, and what a deletion takes from users and groups.

#include "dbe/database.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "security/core/schema.h"
#include "setup/draglistbox.h"
#include "setup/engineguard.h"
#include "setup/frmsecmn.h"
#include "setup/intobject.h"

using namespace security::fields;

namespace {

const QString ConstantCaptionAdd = QStringLiteral("Add New Access Constant");
const QString ConstantCaptionEdit = QStringLiteral("Edit Access Constant");
const QString ConstantPrompt = QStringLiteral("Access Label");

} // namespace

void TFormMain::UpdateAccessInformation()
{
    lbConstants->clear();
    runGuarded(this, [this] {
        for (tblAccess->first(); !tblAccess->eof(); tblAccess->next()) {
            addIdLine(lbConstants, tblAccess->asString(AccessName),
                      {tblAccess->asInteger(AccessId), security::RightConstant});
        }
    });
}

void TFormMain::useAccessNameIndex(bool byName)
{
    tblAccess->setIndexName(byName ? security::indexes::AccessName : QString());
}

namespace {

// The name as the table will hold it, so that the duplicate test compares what is stored.
QString storedName(dbe::Table &access, const QString &name)
{
    return dbe::DataSet::coerce(dbe::FieldType::Alpha, access.fieldInfo(AccessName).size, name)
        .toString();
}

} // namespace

void TFormMain::spbtnAccAddClick()
{
    QString name;
    if (ui::inputQuery(this, ConstantCaptionAdd, ConstantPrompt, name) && !name.isEmpty()) {
        runGuarded(this, [&] {
            useAccessNameIndex(true);
            try {
                if (tblAccess->findKey({storedName(*tblAccess, name)})) {
                    ui::showError(this, QStringLiteral("Duplicate Access Constant, Add Failed"));
                } else {
                    tblAccess->insert();
                    tblAccess->setValue(AccessName, name);
                    tblAccess->post();
                }
            } catch (...) {
                if (tblAccess->state() == dbe::DataSet::State::Insert)
                    tblAccess->cancel();
                useAccessNameIndex(false);
                throw;
            }
            useAccessNameIndex(false);
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
    if (!ui::inputQuery(this, ConstantCaptionEdit, ConstantPrompt, name) || name.isEmpty())
        return;
    runGuarded(this, [&] {
        useAccessNameIndex(true);
        try {
            // The lookup also finds the constant itself when the name is unchanged or only
            // differs in letter case, and that is refused as well.
            if (tblAccess->findKey({storedName(*tblAccess, name)})) {
                ui::showError(this, QStringLiteral("Duplicate Access Constant, Change Failed"));
            } else if (tblAccess->findKey({oldName})) {
                tblAccess->edit();
                tblAccess->setValue(AccessName, name);
                tblAccess->post();
            }
        } catch (...) {
            if (tblAccess->state() == dbe::DataSet::State::Edit)
                tblAccess->cancel();
            useAccessNameIndex(false);
            throw;
        }
        useAccessNameIndex(false);
    });
    UpdateAccessInformation();
    UpdateUserInformation();
}

void TFormMain::spbtnAccDelClick()
{
    const std::optional<TIntObject> line = selectedObject(lbConstants);
    if (!line)
        return;
    if (!ui::askYesNo(this, QStringLiteral("Confirm deletion of ") + selectedText(lbConstants)))
        return;
    runGuarded(this, [&] { deleteConstant(line->id); });
    UpdateUserInformation();
    UpdateAccessInformation();
}

void TFormMain::deleteConstant(int accessId)
{
    const auto database = dbe::Session::instance().database(m_aliasName);
    // The constant, its direct grants and its group memberships go together or not at all.
    dbe::Transaction transaction(*database);
    if (tblAccess->findKey({accessId})) {
        tblAccess->remove();
        tblUsrAcc->cancelRange();
        for (tblUsrAcc->first(); !tblUsrAcc->eof();) {
            if (tblUsrAcc->asInteger(AccessId) == accessId &&
                tblUsrAcc->asString(RightType) == security::RightConstant)
                tblUsrAcc->remove();
            else
                tblUsrAcc->next();
        }
        for (tblGrpColl->first(); !tblGrpColl->eof();) {
            if (tblGrpColl->asInteger(AccessId) == accessId)
                tblGrpColl->remove();
            else
                tblGrpColl->next();
        }
    }
    transaction.commit();
}
