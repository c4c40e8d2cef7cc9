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
        nameByLabel(buddy, label);
    return label;
}

QString accessibleText(const QString &caption)
{
    QString text = caption;
    text.remove(QLatin1Char('&'));
    text = text.trimmed();
    while (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

void nameByLabel(QWidget *input, QLabel *label)
{
    label->setBuddy(input);
    // Lists and tables do not take their name from a buddy label the way edits do; the name is
    // set for every kind alike, so that no input is announced by a group box's title instead.
    if (input->accessibleName().isEmpty())
        input->setAccessibleName(accessibleText(label->text()));
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
