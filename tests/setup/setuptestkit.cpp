#include "tests/setup/setuptestkit.h"

#include "dbe/database.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "ui/application.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

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

void whenModalWidget(const char *className, std::function<void(QWidget *)> step)
{
    auto *timer = new QTimer(qApp);
    auto *clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, className, step] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal->inherits(className)) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            step(modal);
            return;
        }
        if (clock->elapsed() > 10000) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            qFatal("no %s dialog came up", className);
        }
    });
    timer->start();
}

OtherStationWriting::OtherStationWriting(const testsupport::SecurityDb &db, const QString &table,
                                         const QVariantMap &row)
    : m_alias(db.alias() + QStringLiteral("_OTHER"))
{
    // A second alias on the same directory gets a connection of its own, as another
    // workstation would have.
    dbe::Session &session = dbe::Session::instance();
    session.addStandardAlias(m_alias, db.dir());
    m_database = session.database(m_alias);
    m_table = std::make_unique<dbe::Table>();
    m_table->setDatabaseName(m_alias);
    m_table->setTableName(table);
    m_table->open(); // before the transaction: tables cannot be attached inside one
    m_database->begin();
    m_table->append();
    for (auto it = row.cbegin(); it != row.cend(); ++it)
        m_table->setValue(it.key(), it.value());
    m_table->post();
}

OtherStationWriting::~OtherStationWriting()
{
    m_database->rollback();
    m_table->close();
    m_table.reset();
    m_database.reset();
    dbe::Session::instance().deleteAlias(m_alias);
}

QStringList rows(const testsupport::SecurityDb &db, const QString &table, const QStringList &fields)
{
    dbe::Table t;
    t.setDatabaseName(db.alias());
    t.setTableName(table);
    t.open();
    QStringList result;
    for (t.first(); !t.eof(); t.next()) {
        QStringList values;
        for (const QString &field : fields)
            values.append(t.asString(field));
        result.append(values.join(QLatin1Char('|')));
    }
    return result;
}

int countWhere(const testsupport::SecurityDb &db, const QString &table, const QString &field,
               const QVariant &value)
{
    dbe::Table t;
    t.setDatabaseName(db.alias());
    t.setTableName(table);
    t.open();
    int count = 0;
    for (t.first(); !t.eof(); t.next()) {
        if (t.value(field) == value)
            ++count;
    }
    return count;
}

} // namespace setuptest
