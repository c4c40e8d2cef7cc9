#pragma once

#include <QScreen>
#include <QWidget>

namespace report {

// The report engine's small dialogs open centred on the screen, not over their owner.
inline void centreOnScreen(QWidget *window)
{
    if (const QScreen *screen = window->screen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

} // namespace report
