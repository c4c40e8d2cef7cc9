#pragma once

#include <QString>

class QWidget;

namespace ui {

// F1 in a window opens its topic of the help book "admin". Every window of the desktop and the
// setup editor (in the desktop and in a host) install it the same way.
//
// The topic opens in a help window owned by the window pressed in: a modal dialog blocks every
// other window, the desktop's own help window included, so the help has to belong to the dialog
// to be usable while the dialog is up. One help window per owner; F1 again brings it forward.
// A host finds the book where HelpBook::find looks (VESK_HELP_DIR, or share/vesksecure/help
// beside its program); without it, F1 says where the book is looked for.
void installHelpKey(QWidget *window, const QString &topicPage);

class HelpWindow;

// The help window owned by `window`'s top-level window, created on first use; null (after an
// error box that says where the book is looked for) when the book is not installed.
HelpWindow *helpWindowOf(QWidget *window);

// Opens `topicPage` (a file name of the book, such as "setup.html") as F1 in `window` does.
void showHelpTopic(QWidget *window, const QString &topicPage);

inline const QString AdminHelpBook = QStringLiteral("admin");

} // namespace ui
