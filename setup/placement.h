#pragma once

#include <QLabel>
#include <QScreen>
#include <QString>

namespace setup {

// The setup windows keep the fixed layout their users know: a label sits where it was placed,
// just as wide as its text.
inline QLabel *placeLabel(const QString &name, const QString &text, QWidget *parent, int x, int y)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(x, y);
    label->adjustSize();
    return label;
}

// The setup windows open centred on the screen, not over the opener's window.
inline void centreOnScreen(QWidget *window)
{
    if (const QScreen *screen = window->screen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

} // namespace setup
