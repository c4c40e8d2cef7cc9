#pragma once

#include <QListWidgetItem>
#include <QMetaType>
#include <QString>
#include <optional>

class QListWidget;

// The row behind one line of the setup editor's lists: its id, and what kind of right it is.
// The kind travels with the id (rather than being read back from the line's text) so that a
// constant whose name begins with "(" is never mistaken for a group.
struct TIntObject {
    int id = 0;
    QString type; // "C" for an access constant, "G" for a group

    bool operator==(const TIntObject &) const = default;
};

Q_DECLARE_METATYPE(TIntObject)

// A list line that sorts alphabetically without regard to case, comparing characters by code
// so that punctuation such as "(" orders ahead of digits and letters whatever the locale.
class IdListItem : public QListWidgetItem
{
public:
    IdListItem(const QString &text, const TIntObject &object);

    TIntObject object() const;

    bool operator<(const QListWidgetItem &other) const override;
};

// Adds a line to a list; a sorted list puts it in its place.
void addIdLine(QListWidget *list, const QString &text, const TIntObject &object);
// The object of the list's selected line, or nothing when no line is selected.
std::optional<TIntObject> selectedObject(const QListWidget *list);
// The text of the list's selected line (empty when none is).
QString selectedText(const QListWidget *list);
