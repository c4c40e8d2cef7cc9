#include "dbe/session.h"

#include "dbe/aliasconfig.h"
#include "dbe/backend.h"
#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/sqlcipherbackend.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <pwd.h>
#include <unistd.h>

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
    checkAliasName(name);
    if (const QString problem = configValueProblem(path); !problem.isEmpty())
        throw Error(QStringLiteral("The directory \"%1\" cannot be named in the configuration: %2.")
                        .arg(path, problem),
                    Error::InvalidName);
    if (hasAlias(name))
        throw Error(QStringLiteral("Alias already exists: %1").arg(name), Error::DuplicateAlias);
    AliasInfo alias;
    alias.name = name;
    alias.path = path;
    alias.defaultDriver = defaultDriver;
    alias.persistent = true;
    m_aliases.insert(name.toUpper(), alias);
    m_unsaved.insert(name.toUpper());
}

void Session::deleteAlias(const QString &name)
{
    const AliasInfo info = alias(name);
    const QString key = name.toUpper();
    m_databases.remove(key);
    if (m_unsaved.remove(key)) {
        m_aliases.remove(key);
        return;
    }
    m_aliases.remove(key);
    if (info.persistent)
        adoptConfig(AliasConfig::remove(configFile(), info.name));
}

void Session::saveConfig()
{
    QList<AliasInfo> added;
    for (const QString &key : std::as_const(m_unsaved))
        added.append(m_aliases.value(key));
    const QList<AliasInfo> saved = AliasConfig::add(configFile(), added);
    m_unsaved.clear();
    adoptConfig(saved);
}

void Session::reloadConfig()
{
    m_aliases.clear();
    m_unsaved.clear();
    m_databases.clear();
    adoptConfig(AliasConfig::read(configFile()));
}

// The aliases of the file as just read or written, plus the ones added here and not yet saved.
void Session::adoptConfig(const QList<AliasInfo> &saved)
{
    QMap<QString, AliasInfo> aliases;
    for (const AliasInfo &alias : saved)
        aliases.insert(alias.name.toUpper(), alias);
    for (const QString &key : std::as_const(m_unsaved))
        aliases.insert(key, m_aliases.value(key));
    m_aliases = std::move(aliases);
    // An open database follows its alias's busy timeout, should the file have changed it.
    applyBusyTimeouts();
}

int Session::busyTimeout(const QString &databaseName) const
{
    if (m_busyTimeoutMs >= 0)
        return m_busyTimeoutMs;
    const auto it = m_aliases.find(databaseName.toUpper());
    if (it != m_aliases.end() && it->busyTimeoutMs >= 0)
        return it->busyTimeoutMs;
    return DefaultBusyTimeoutMs;
}

void Session::setBusyTimeout(int milliseconds)
{
    m_busyTimeoutMs = milliseconds < 0 ? -1 : milliseconds;
    applyBusyTimeouts();
}

void Session::applyBusyTimeouts()
{
    for (auto it = m_databases.cbegin(); it != m_databases.cend(); ++it) {
        if (std::shared_ptr<Database> db = it->lock())
            db->backend().setBusyTimeout(busyTimeout(db->name()));
    }
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
    db->backend().setBusyTimeout(busyTimeout(databaseName));
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
