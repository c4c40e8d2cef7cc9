#include "ui/helpkey.h"

#include "ui/helpwindow.h"
#include "ui/messages.h"

#include <QShortcut>
#include <QWidget>

namespace ui {

void installHelpKey(QWidget *window, const QString &topicPage)
{
    auto *key = new QShortcut(QKeySequence::HelpContents, window);
    key->setObjectName(QStringLiteral("helpKey"));
    // A dialog's children (the user dialog over the setup editor) have their own key.
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, window,
                     [window, topicPage] { showHelpTopic(window, topicPage); });
}

HelpWindow *helpWindowOf(QWidget *window)
{
    QWidget *owner = window->window();
    if (auto *help = owner->findChild<HelpWindow *>(QString(), Qt::FindDirectChildrenOnly))
        return help;
    const HelpBook book = HelpBook::find(AdminHelpBook);
    if (!book.isValid()) {
        showError(owner, HelpWindow::tr("The help book \"%1\" was not found. Set VESK_HELP_DIR "
                                        "to the folder that holds it.")
                             .arg(AdminHelpBook));
        return nullptr;
    }
    return new HelpWindow(book, owner);
}

void showHelpTopic(QWidget *window, const QString &topicPage)
{
    if (HelpWindow *help = helpWindowOf(window))
        help->showTopic(topicPage);
}

} // namespace ui
