#include "setup/userselector.h"

#include "dbe/table.h"
#include "rules/schema.h"

using security::fields::UserId;
using security::fields::UserName;

namespace {

std::optional<int> currentUserId(const dbe::Table &users)
{
    if (users.isEmpty() || users.eof())
        return std::nullopt;
    return users.asInteger(UserId);
}

// Names need not be unique, so the name leads to the first row that has it and the id is
// looked for among the rows of that name, which follow one another in the index. A name that
// another workstation changed since the list was read leaves only a walk from the top, which
// on a site of thousands of users reads the whole table.
bool moveTo(dbe::Table &users, int userId, const QString &name)
{
    if (!name.isEmpty() && users.findKey({name})) {
        for (; !users.eof() && users.asString(UserName).compare(name, Qt::CaseInsensitive) == 0;
             users.next()) {
            if (users.asInteger(UserId) == userId)
                return true;
        }
    }
    for (users.first(); !users.eof(); users.next()) {
        if (users.asInteger(UserId) == userId)
            return true;
    }
    return false;
}

} // namespace

UserSelector::UserSelector(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
    setMaxVisibleItems(12);
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (index >= 0)
            Q_EMIT userPicked(itemData(index).toInt());
    });
}

void UserSelector::reload(dbe::Table &users)
{
    const std::optional<int> key = keyValue();
    const std::optional<int> standingOn = currentUserId(users);
    const QString standingOnName = standingOn ? users.asString(UserName) : QString();

    clear();
    for (users.first(); !users.eof(); users.next())
        addItem(users.asString(UserName), users.asInteger(UserId));

    if (!standingOn || !moveTo(users, *standingOn, standingOnName))
        users.first();
    setKeyValue(key.value_or(0));
}

void UserSelector::setKeyValue(int userId)
{
    setCurrentIndex(findData(userId));
}

std::optional<int> UserSelector::keyValue() const
{
    if (currentIndex() < 0)
        return std::nullopt;
    return itemData(currentIndex()).toInt();
}

bool UserSelector::locate(dbe::Table &users, int userId) const
{
    const std::optional<int> standingOn = currentUserId(users);
    if (standingOn == userId)
        return true;
    const QString standingOnName = standingOn ? users.asString(UserName) : QString();
    if (moveTo(users, userId, itemText(findData(userId))))
        return true;
    if (!standingOn || !moveTo(users, *standingOn, standingOnName))
        users.first();
    return false;
}
