#include "ui/dbcontrols.h"

#include "dbe/error.h"
#include "dbe/table.h"
#include "ui/engineerror.h"
#include "ui/messages.h"

namespace ui {

FieldLink::~FieldLink()
{
    unbind();
}

void FieldLink::unbind()
{
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        QObject::disconnect(connection);
    m_connections.clear();
    m_table = nullptr;
    m_field.clear();
}

void FieldLink::bind(QWidget *widget, dbe::Table *table, const QString &field,
                     std::function<void()> reload)
{
    unbind();
    m_table = table;
    m_field = field;
    if (!table)
        return;
    const auto refresh = [this, reload] {
        if (!m_writing)
            reload();
    };
    m_connections = {
        QObject::connect(table, &dbe::DataSet::opened, widget, refresh),
        QObject::connect(table, &dbe::DataSet::closed, widget, refresh),
        QObject::connect(table, &dbe::DataSet::scrolled, widget, refresh),
        QObject::connect(table, &dbe::DataSet::stateChanged, widget, refresh),
        QObject::connect(table, &dbe::DataSet::fieldChanged, widget, refresh),
    };
}

bool FieldLink::write(QWidget *widget, const QVariant &value)
{
    if (!isBound() || !m_table->isOpen())
        return false;
    m_writing = true;
    try {
        if (m_table->state() == dbe::DataSet::State::Browse) {
            // An empty table has no row to edit, so the first change starts one.
            if (m_table->isEmpty())
                m_table->append();
            else
                m_table->edit();
        }
        m_table->setValue(m_field, value);
    } catch (const dbe::Error &error) {
        m_writing = false;
        showEngineError(widget->window(), error);
        return false;
    }
    m_writing = false;
    return true;
}

DbEdit::DbEdit(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, &DbEdit::userEdited);
}

void DbEdit::setDataField(dbe::Table *table, const QString &field)
{
    bind(this, table, field, [this] { reload(); });
    reload();
}

void DbEdit::reload()
{
    dbe::Table *source = table();
    const bool live = isBound() && source->isOpen() && source->hasField(fieldName());
    QString shown;
    if (live) {
        shown = source->asString(fieldName());
        const dbe::FieldInfo &info = source->fieldInfo(fieldName());
        if (info.type == dbe::FieldType::Alpha && info.size > 0)
            setMaxLength(info.size);
    }
    if (text() != shown)
        setText(shown);
}

void DbEdit::userEdited(const QString &text)
{
    if (!write(this, text))
        reload();
}

DbCheckBox::DbCheckBox(const QString &text, QWidget *parent) : QCheckBox(text, parent)
{
    connect(this, &QCheckBox::clicked, this, &DbCheckBox::userClicked);
}

void DbCheckBox::setDataField(dbe::Table *table, const QString &field)
{
    bind(this, table, field, [this] { reload(); });
    reload();
}

void DbCheckBox::reload()
{
    dbe::Table *source = table();
    const bool live = isBound() && source->isOpen() && source->hasField(fieldName());
    setChecked(live && source->asBoolean(fieldName()));
}

void DbCheckBox::userClicked(bool checked)
{
    if (!write(this, checked))
        reload();
}

} // namespace ui
