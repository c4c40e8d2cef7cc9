#pragma once

#include "dbe/table.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <functional>

namespace ui {

// Keeps one widget showing one field of a table's current row, and writes the user's changes
// back into that row. The table is put into edit state by the first change and left there: the
// owner of the table decides when to post or cancel.
class FieldLink
{
public:
    FieldLink() = default;
    ~FieldLink();
    FieldLink(const FieldLink &) = delete;
    FieldLink &operator=(const FieldLink &) = delete;

    dbe::Table *table() const { return m_table; }
    QString fieldName() const { return m_field; }
    bool isBound() const { return m_table && !m_field.isEmpty(); }

protected:
    // Subscribes `widget` to the table's moves and changes; `reload` then runs whenever the
    // shown value may be stale.
    void bind(QWidget *widget, dbe::Table *table, const QString &field,
              std::function<void()> reload);
    void unbind();
    // Puts the row into edit state when needed and writes the value. False when the engine
    // refused; the engine's text has then been shown and the widget should show the row again.
    bool write(QWidget *widget, const QVariant &value);
    bool isWriting() const { return m_writing; }

private:
    QPointer<dbe::Table> m_table;
    QString m_field;
    QList<QMetaObject::Connection> m_connections;
    bool m_writing = false;
};

// A line edit bound to a text field.
class DbEdit : public QLineEdit, public FieldLink
{
    Q_OBJECT

public:
    explicit DbEdit(QWidget *parent = nullptr);

    void setDataField(dbe::Table *table, const QString &field);
    // Shows the field of the current row again.
    void reload();

private:
    void userEdited(const QString &text);
};

// A check box bound to a logical field: checked is true.
class DbCheckBox : public QCheckBox, public FieldLink
{
    Q_OBJECT

public:
    explicit DbCheckBox(const QString &text, QWidget *parent = nullptr);

    void setDataField(dbe::Table *table, const QString &field);
    void reload();

private:
    void userClicked(bool checked);
};

} // namespace ui
