#pragma once

#include <QComboBox>
#include <optional>

namespace dbe {
class Table;
}

// The user selector: lists the user names of a users table in that table's order and holds
// the selected user's id as its key. An empty text means that no user is selected.
class UserSelector : public QComboBox
{
    Q_OBJECT

public:
    explicit UserSelector(QWidget *parent = nullptr);

    // Lists the users again, keeping the key. Walks `users` and leaves it where it stood.
    void reload(dbe::Table &users);

    // Moves `users` (ordered by name) onto the row of the listed user with this id. False, with
    // the cursor where it was, when no row has it.
    bool locate(dbe::Table &users, int userId) const;

    // Selects the user with this id; an id no line holds selects nobody.
    void setKeyValue(int userId);
    std::optional<int> keyValue() const;
    bool hasSelection() const { return !currentText().isEmpty(); }

Q_SIGNALS:
    // A person picked a line (not emitted for setKeyValue()).
    void userPicked(int userId);
};
