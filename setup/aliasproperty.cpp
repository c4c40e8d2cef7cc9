#include "setup/aliasproperty.h"

#include "dbe/session.h"

#include <QStringList>
#include <QVariant>

TAliasProperty::TAliasProperty(QObject *component, QByteArray propertyName)
    : m_component(component), m_propertyName(std::move(propertyName))
{
}

TPropertyAttributes TAliasProperty::GetAttributes() const
{
    return paValueList;
}

void TAliasProperty::GetValues(const GetStrProc &proc) const
{
    const QStringList names = dbe::Session::instance().aliasNames();
    for (const QString &name : names)
        proc(name);
}

QString TAliasProperty::GetValue() const
{
    return m_component ? m_component->property(m_propertyName.constData()).toString() : QString();
}

void TAliasProperty::SetValue(const QString &value)
{
    // Any text is taken: an alias may be registered after the component names it.
    if (m_component)
        m_component->setProperty(m_propertyName.constData(), value);
}
