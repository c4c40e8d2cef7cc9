#include "tests/setup/setuptestkit.h"

#include "ui/application.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>

namespace setuptest {

void initTestProgram()
{
    testsupport::isolateEngineConfig();
    ui::Application::installFontSubstitutions();
}

std::unique_ptr<TFormMain> openEditor(const testsupport::SecurityDb &db, bool hideAccessButtons)
{
    auto editor = std::make_unique<TFormMain>();
    editor->SetAliasName(db.alias());
    editor->SetHideAccessButtons(hideAccessButtons);
    editor->show();
    return editor;
}

QStringList lines(const QListWidget *list)
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result.append(list->item(i)->text());
    return result;
}

void selectLine(QListWidget *list, const QString &text)
{
    const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
    if (found.isEmpty())
        QFAIL(qPrintable(QStringLiteral("no line \"%1\" in %2").arg(text, list->objectName())));
    list->setCurrentItem(found.first());
    found.first()->setSelected(true);
}

void pickUser(TFormMain *editor, const QString &name)
{
    auto *selector = child<QComboBox>(editor, "dblkUserName");
    const int index = selector->findText(name);
    if (index < 0)
        QFAIL(qPrintable(QStringLiteral("no user \"%1\" in the selector").arg(name)));
    selector->setCurrentIndex(index);
    Q_EMIT selector->activated(index);
}

QString selectedUserName(TFormMain *editor)
{
    return child<QComboBox>(editor, "dblkUserName")->currentText();
}

} // namespace setuptest
