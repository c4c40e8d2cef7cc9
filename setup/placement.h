#pragma once

#include <QLabel>
#include <QScreen>
#include <QString>

namespace setup {

// The setup windows keep the fixed layout their users know: a label sits where it was placed,
// just as wide as its text. A label whose caption is replaced later is given its `width`, since
// a label outside a layout does not grow with a longer text.
inline QLabel *placeLabel(const QString &name, const QString &text, QWidget *parent, int x, int y,
                          int width = 0)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(x, y);
    label->adjustSize();
    if (width > 0)
        label->resize(width, label->height());
    return label;
}

// The setup windows open centred on the screen, not over the opener's window.
inline void centreOnScreen(QWidget *window)
{
    if (const QScreen *screen = window->screen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

} // namespace setup
