#include "dbe/aliasconfig.h"

#include "dbe/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

namespace dbe {

namespace {

const QString TypeKey = QStringLiteral("TYPE");
const QString PathKey = QStringLiteral("PATH");
const QString DriverKey = QStringLiteral("DEFAULT DRIVER");

} // namespace

QString AliasConfig::defaultPath()
{
    const QString fromEnvironment = qEnvironmentVariable("VESK_DBE_CONFIG");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/VeskSecure/dbe.ini");
}

QList<AliasInfo> AliasConfig::read(const QString &path)
{
    QList<AliasInfo> aliases;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return aliases; // no file yet: no aliases
    QTextStream in(&file);
    AliasInfo *current = nullptr;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            AliasInfo alias;
            alias.name = line.mid(1, line.size() - 2).trimmed();
            alias.persistent = true;
            aliases.append(alias);
            current = &aliases.last();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!current || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed().toUpper();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == TypeKey)
            current->driver = value;
        else if (key == PathKey)
            current->path = value;
        else if (key == DriverKey)
            current->defaultDriver = value;
    }
    return aliases;
}

void AliasConfig::merge(const QString &path, const QList<AliasInfo> &aliases)
{
    QList<AliasInfo> merged = read(path);
    for (const AliasInfo &alias : aliases) {
        bool replaced = false;
        for (AliasInfo &existing : merged) {
            if (existing.name.compare(alias.name, Qt::CaseInsensitive) == 0) {
                existing = alias;
                replaced = true;
            }
        }
        if (!replaced)
            merged.append(alias);
    }
    write(path, merged);
}

void AliasConfig::remove(const QString &path, const QString &name)
{
    QList<AliasInfo> kept = read(path);
    kept.removeIf([&](const AliasInfo &a) { return a.name.compare(name, Qt::CaseInsensitive) == 0; });
    write(path, kept);
}

void AliasConfig::write(const QString &path, const QList<AliasInfo> &merged)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        throw Error(QStringLiteral("Cannot write the configuration file %1: %2")
                        .arg(path, file.errorString()),
                    Error::Io);
    QTextStream out(&file);
    for (const AliasInfo &alias : merged) {
        out << '[' << alias.name << "]\n";
        out << TypeKey << '=' << alias.driver << '\n';
        out << PathKey << '=' << alias.path << '\n';
        out << DriverKey << '=' << alias.defaultDriver << "\n\n";
    }
    out.flush();
    if (!file.commit())
        throw Error(QStringLiteral("Cannot write the configuration file %1: %2")
                        .arg(path, file.errorString()),
                    Error::Io);
}

} // namespace dbe
