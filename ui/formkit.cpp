#include "ui/formkit.h"

#include <QFont>
#include <QLabel>
#include <QScreen>
#include <QWidget>

namespace formkit {

QLabel *placeLabel(const QString &name, const QString &text, QWidget *parent, int x, int y,
                   int width, QWidget *buddy)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(x, y);
    label->adjustSize();
    if (width > 0)
        label->resize(width, label->height());
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

void centreOnScreen(QWidget *window)
{
    if (const QScreen *screen = window->screen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

QFont dialogFont(Weight weight)
{
    QFont font(QStringLiteral("MS Sans Serif"), 8);
    font.setBold(weight == Weight::Bold);
    return font;
}

void applyDialogFont(QWidget *widget, Weight weight)
{
    widget->setFont(dialogFont(weight));
}

} // namespace formkit
