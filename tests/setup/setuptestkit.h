#pragma once

#include "setup/frmsecmn.h"
#include "tests/support/modaldialog.h"
#include "tests/support/testsupport.h"

#include <QListWidget>
#include <QStringList>
#include <memory>

namespace setuptest {

// Once per test program: a private engine configuration, and the fonts the windows ask for
// mapped as the program maps them at start-up, so that layouts are measured as users see them.
void initTestProgram();

// The setup editor shown on a test database, as an opener would show it (without waiting in
// a modal loop, so that the test can press its buttons).
std::unique_ptr<TFormMain> openEditor(const testsupport::SecurityDb &db,
                                      bool hideAccessButtons = false);

template <typename T> T *child(QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

QStringList lines(const QListWidget *list);
// Selects the first line with this text; fails the test when there is none.
void selectLine(QListWidget *list, const QString &text);
// Picks a user in the selector as a person would.
void pickUser(TFormMain *editor, const QString &name);
QString selectedUserName(TFormMain *editor);

using testsupport::countWhere;
using testsupport::OtherStationWriting;
using testsupport::rows;

} // namespace setuptest
