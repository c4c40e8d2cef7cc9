#include "setup/intobject.h"

#include <QListWidget>

namespace {

constexpr int ObjectRole = Qt::UserRole + 1;

} // namespace

IdListItem::IdListItem(const QString &text, const TIntObject &object) : QListWidgetItem(text)
{
    setData(ObjectRole, QVariant::fromValue(object));
}

TIntObject IdListItem::object() const
{
    return data(ObjectRole).value<TIntObject>();
}

bool IdListItem::operator<(const QListWidgetItem &other) const
{
    return text().compare(other.text(), Qt::CaseInsensitive) < 0;
}

void addIdLine(QListWidget *list, const QString &text, const TIntObject &object)
{
    list->addItem(new IdListItem(text, object));
}

std::optional<TIntObject> selectedObject(const QListWidget *list)
{
    const QList<QListWidgetItem *> selected = list->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return selected.first()->data(ObjectRole).value<TIntObject>();
}

QString selectedText(const QListWidget *list)
{
    const QList<QListWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}
