#include "dbe/session.h"

#include "dbe/aliasconfig.h"
#include "dbe/backend.h"
#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/storage.h"

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
    m_credentials->remember(password);
}

void Session::removePassword(const QString &password)
{
    m_credentials->passwords.removeAll(password);
}

void Session::removeAllPasswords()
{
    m_credentials->passwords.clear();
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

void Session::addServerAlias(const QString &name, const QString &driver,
                             const QString &connection, const QString &schema)
{
    checkAliasName(name);
    AliasInfo alias;
    alias.name = name;
    alias.driver = driver.toUpper();
    alias.path.clear();
    alias.defaultDriver = driver.toUpper();
    alias.connection = connection;
    alias.schema = schema;
    alias.persistent = true;
    for (const QString &value : {connection, schema}) {
        if (const QString problem = configValueProblem(value); !problem.isEmpty())
            throw Error(QStringLiteral("\"%1\" cannot be named in the configuration: %2.")
                            .arg(value, problem),
                        Error::InvalidName);
    }
    if (const QString problem = storage::serverAliasProblem(alias); !problem.isEmpty())
        throw Error(problem, Error::InvalidName);
    if (hasAlias(name))
        throw Error(QStringLiteral("Alias already exists: %1").arg(name), Error::DuplicateAlias);
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

// The alias of that name, or for a directory named in its place an alias of the directory.
AliasInfo Session::aliasOrDirectory(const QString &databaseName) const
{
    const auto it = m_aliases.find(databaseName.toUpper());
    if (it != m_aliases.end())
        return *it;
    if (!databaseName.isEmpty() && QFileInfo(databaseName).isDir()) {
        AliasInfo directory;
        directory.name = databaseName;
        directory.path = QFileInfo(databaseName).absoluteFilePath();
        return directory;
    }
    throw Error(QStringLiteral("Unknown database: %1").arg(databaseName), Error::UnknownAlias);
}

QString Session::directoryOf(const QString &databaseName) const
{
    const AliasInfo alias = aliasOrDirectory(databaseName);
    if (alias.onServer())
        throw Error(QStringLiteral("The database %1 is on a server (%2); it has no directory.")
                        .arg(databaseName, placeOf(databaseName)),
                    Error::WrongState);
    return QDir::cleanPath(alias.path);
}

QString Session::placeOf(const QString &databaseName) const
{
    const AliasInfo alias = aliasOrDirectory(databaseName);
    if (alias.onServer())
        return QStringLiteral("schema %1 of %2").arg(alias.schema, alias.connection);
    return QDir::toNativeSeparators(QDir::cleanPath(alias.path));
}

bool Session::isOnServer(const QString &databaseName) const
{
    return aliasOrDirectory(databaseName).onServer();
}

std::shared_ptr<Database> Session::database(const QString &databaseName)
{
    const QString key = databaseName.toUpper();
    if (std::shared_ptr<Database> open = m_databases.value(key).lock())
        return open;
    BackendContext context;
    context.databaseName = databaseName;
    context.alias = aliasOrDirectory(databaseName);
    context.credentials = m_credentials;
    context.userName = netUserName();
    context.busyTimeoutMs = busyTimeout(databaseName);
    auto db = std::make_shared<Database>(databaseName, storage::open(context));
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
