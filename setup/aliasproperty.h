#pragma once

#include <QByteArray>
#include <QFlags>
#include <QPointer>
#include <QString>
#include <functional>

// What a form designer may offer for a property in its object inspector.
enum TPropertyAttribute {
    paValueList = 0x01,     // a drop-down list of values beside an editable text
    paSubProperties = 0x02, // the property unfolds into sub-properties
    paDialog = 0x04,        // a button opens an editing dialog
    paMultiSelect = 0x08,   // the value may be edited for several selected components at once
};
Q_DECLARE_FLAGS(TPropertyAttributes, TPropertyAttribute)
Q_DECLARE_OPERATORS_FOR_FLAGS(TPropertyAttributes)

// The designer's editor of a component's alias property: offers the aliases the engine session
// knows and takes any text. It keeps nothing but the property it edits.
class TAliasProperty
{
public:
    using GetStrProc = std::function<void(const QString &)>;

    explicit TAliasProperty(QObject *component, QByteArray propertyName = "Alias");

    TPropertyAttributes GetAttributes() const;
    // Calls `proc` once for each alias name, in the engine's order.
    void GetValues(const GetStrProc &proc) const;
    QString GetValue() const;
    void SetValue(const QString &value);

private:
    QPointer<QObject> m_component;
    QByteArray m_propertyName;
};
