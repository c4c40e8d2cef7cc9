#pragma once

#include <QString>

class QWidget;

// Where a window of the desktop last stood and how large it was, kept beside the engine's
// configuration file (secadmin.ini), so that it opens there again in the next session.
namespace windowplace {

// Puts the window where it was saved under `key`; leaves it as it is when nothing was saved.
void restore(QWidget *window, const QString &key);
// Saves the window's place and size under `key`. Never throws; a failure only loses the place.
void save(const QWidget *window, const QString &key) noexcept;

} // namespace windowplace
