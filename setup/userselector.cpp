#include "setup/userselector.h"

#include "dbe/table.h"
#include "security/core/schema.h"

using security::fields::UserId;
using security::fields::UserName;

namespace {

std::optional<int> currentUserId(const dbe::Table &users)
{
    if (users.isEmpty() || users.eof())
        return std::nullopt;
    return users.asInteger(UserId);
}

// Names need not be unique, so an id is found by walking from the top; a user list is short.
bool walkTo(dbe::Table &users, int userId)
{
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

    clear();
    for (users.first(); !users.eof(); users.next())
        addItem(users.asString(UserName), users.asInteger(UserId));

    if (!standingOn || !walkTo(users, *standingOn))
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

bool locateUser(dbe::Table &users, int userId)
{
    const std::optional<int> standingOn = currentUserId(users);
    if (standingOn == userId)
        return true;
    if (walkTo(users, userId))
        return true;
    if (!standingOn || !walkTo(users, *standingOn))
        users.first();
    return false;
}
