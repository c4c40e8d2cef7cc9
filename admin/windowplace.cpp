#include "admin/windowplace.h"

#include "dbe/aliasconfig.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QWidget>

namespace windowplace {

namespace {

// Beside dbe.ini, so that a test (or a user) who points the configuration elsewhere finds the
// window places there too.
QString settingsFile()
{
    return QFileInfo(dbe::AliasConfig::defaultPath()).dir().filePath(QStringLiteral("secadmin.ini"));
}

QString geometryKey(const QString &key)
{
    return QStringLiteral("Windows/") + key;
}

} // namespace

void restore(QWidget *window, const QString &key)
{
    const QSettings settings(settingsFile(), QSettings::IniFormat);
    const QByteArray geometry = settings.value(geometryKey(key)).toByteArray();
    if (!geometry.isEmpty())
        window->restoreGeometry(geometry);
}

void save(const QWidget *window, const QString &key) noexcept
{
    try {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        settings.setValue(geometryKey(key), window->saveGeometry());
    } catch (...) {
        // The place is a convenience; nothing else depends on it.
    }
}

} // namespace windowplace
