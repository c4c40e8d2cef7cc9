// The rights of the selected user: granting by arrow or drop, taking away, and the label each
// right shows in the list.

#include "dbe/table.h"
#include "rules/schema.h"
#include "rules/securityrules.h"
#include "setup/draglistbox.h"
#include "setup/frmsecmn.h"
#include "setup/intobject.h"
#include "ui/engineerror.h"

#include <QTabWidget>

using namespace security::fields;

namespace {

constexpr int ConstantsPage = 1;

} // namespace

void TFormMain::tblUsrAccCalcFields(dbe::DataSet &row)
{
    const int id = row.asInteger(AccessId);
    // Only the capital letter names a group; every other code is labelled as a constant.
    if (row.asString(RightType) == security::RightGroup) {
        if (tblGroups->findKey({id}))
            row.setValue(AccLabel, QStringLiteral("(") + tblGroups->asString(GroupName) +
                                       QStringLiteral(")"));
        else
            row.setValue(AccLabel, QStringLiteral("(**Error**)"));
    } else {
        if (tblAccess->findKey({id}))
            row.setValue(AccLabel, tblAccess->asString(AccessName));
        else
            row.setValue(AccLabel, QStringLiteral("**Error**"));
    }
}

void TFormMain::AddAccess()
{
    // A grant goes to the user whose rights are on show, never to a row the users table
    // happens to stand on while nobody is selected.
    if (!userSelected())
        return;
    const bool constants = tnbkLists->currentIndex() == ConstantsPage;
    const QString type = constants ? security::RightConstant : security::RightGroup;
    const std::optional<TIntObject> line = selectedObject(constants ? lbConstants : lbGroups);
    if (!line)
        return;
    bool granted = false;
    ui::runGuarded(this, [&] {
        granted = rules().grant(tblUsers->asInteger(UserId), line->id, type) ==
                  security::SecurityRules::Link::Added;
    });
    if (granted)
        UpdateUserInformation();
}

void TFormMain::RemoveAccess()
{
    const QList<QListWidgetItem *> selected = lbUsrAccess->selectedItems();
    if (selected.isEmpty())
        return;
    QListWidgetItem *item = selected.first();
    const TIntObject line = static_cast<IdListItem *>(item)->object();
    ui::runGuarded(this, [&] {
        // The type comes from the line's object, not from its text.
        if (rules().revoke(tblUsers->asInteger(UserId), line.id, line.type))
            delete item;
    });
    // Taking a group away may change how the remaining constants are held.
    describeRightSources();
}

bool TFormMain::lbUsrAccessDragOver(QObject *source) const
{
    const auto *list = qobject_cast<const QListWidget *>(source);
    return userSelected() && list && !list->selectedItems().isEmpty();
}

void TFormMain::lbUsrAccessDragDrop(QObject *)
{
    AddAccess();
}
