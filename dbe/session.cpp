#include "dbe/session.h"

#include "dbe/aliasconfig.h"
#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/sqlcipherbackend.h"

#include <QDir>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>

namespace dbe {

Session &Session::instance()
{
    static Session session;
    return session;
}

Session::Session()
{
    reloadConfig();
}

Session::~Session() = default;

void Session::addPassword(const QString &password)
{
    if (!m_passwords.contains(password))
        m_passwords.append(password);
}

void Session::removePassword(const QString &password)
{
    m_passwords.removeAll(password);
}

void Session::removeAllPasswords()
{
    m_passwords.clear();
}

QStringList Session::aliasNames() const
{
    QStringList names;
    for (const AliasInfo &alias : m_aliases)
        names.append(alias.name);
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

bool Session::hasAlias(const QString &name) const
{
    return m_aliases.contains(name.toUpper());
}

AliasInfo Session::alias(const QString &name) const
{
    const auto it = m_aliases.find(name.toUpper());
    if (it == m_aliases.end())
        throw Error(QStringLiteral("Unknown database: %1").arg(name), Error::UnknownAlias);
    return *it;
}

void Session::addStandardAlias(const QString &name, const QString &path,
                               const QString &defaultDriver)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed.contains(QLatin1Char('[')) || trimmed.contains(QLatin1Char(']')))
        throw Error(QStringLiteral("Invalid alias name: '%1'").arg(name), Error::General);
    if (hasAlias(trimmed))
        throw Error(QStringLiteral("Alias already exists: %1").arg(trimmed), Error::DuplicateAlias);
    AliasInfo alias;
    alias.name = trimmed;
    alias.path = path;
    alias.defaultDriver = defaultDriver;
    alias.persistent = true;
    m_aliases.insert(trimmed.toUpper(), alias);
}

void Session::deleteAlias(const QString &name)
{
    const AliasInfo info = alias(name);
    m_aliases.remove(name.toUpper());
    m_databases.remove(name.toUpper());
    if (info.persistent)
        AliasConfig::remove(configFile(), info.name);
}

void Session::saveConfig()
{
    QList<AliasInfo> persistent;
    for (const AliasInfo &alias : m_aliases) {
        if (alias.persistent)
            persistent.append(alias);
    }
    AliasConfig::merge(configFile(), persistent);
}

void Session::reloadConfig()
{
    m_aliases.clear();
    m_databases.clear();
    for (const AliasInfo &alias : AliasConfig::read(configFile()))
        m_aliases.insert(alias.name.toUpper(), alias);
}

QString Session::configFile() const
{
    return AliasConfig::defaultPath();
}

QString Session::directoryOf(const QString &databaseName) const
{
    const auto it = m_aliases.find(databaseName.toUpper());
    if (it != m_aliases.end())
        return QDir::cleanPath(it->path);
    if (!databaseName.isEmpty() && QFileInfo(databaseName).isDir())
        return QDir::cleanPath(QFileInfo(databaseName).absoluteFilePath());
    throw Error(QStringLiteral("Unknown database: %1").arg(databaseName), Error::UnknownAlias);
}

std::shared_ptr<Database> Session::database(const QString &databaseName)
{
    const QString key = databaseName.toUpper();
    if (std::shared_ptr<Database> open = m_databases.value(key).lock())
        return open;
    const QString directory = directoryOf(databaseName);
    if (!QFileInfo(directory).isDir())
        throw Error(QStringLiteral("Directory does not exist: %1 (database %2)")
                        .arg(directory, databaseName),
                    Error::Io);
    auto db = std::make_shared<Database>(databaseName,
                                         std::make_unique<SqlCipherBackend>(directory));
    m_databases.insert(key, db);
    return db;
}

void Session::closeDatabases()
{
    m_databases.clear();
}

QString Session::netUserName()
{
    if (const passwd *entry = getpwuid(geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

} // namespace dbe
