#include "dbe/aliasconfig.h"

#include "dbe/aliasconfigtext.h"
#include "dbe/error.h"
#include "dbe/fileaccess.h"
#include "dbe/safefilewriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace dbe {

namespace {

// Saving takes milliseconds; a writer still holding the lock after this long is stuck.
constexpr int LockTimeoutMs = 30000;

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!file.exists())
            return {}; // no file yet: no aliases
        throw Error(QStringLiteral("Cannot read the configuration file %1: %2")
                        .arg(path, file.errorString()),
                    Error::Io);
    }
    return file.readAll();
}

// Runs `change` on the file's current text under the configuration lock and writes the result
// when it differs. Answers the aliases of the file afterwards.
template <typename Change> QList<AliasInfo> update(const QString &path, Change change)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        throw Error(
            QStringLiteral("Cannot create the folder of the configuration file %1.").arg(path),
            Error::Io);
    const ExclusiveFileLock lock(path + QStringLiteral(".lock"), LockTimeoutMs);
    const QByteArray before = readBytes(path);
    AliasConfigText text = AliasConfigText::parse(before);
    change(text);
    const QByteArray after = text.toBytes();
    if (after != before)
        writeFileSafely(path, after);
    return text.aliases();
}

bool samePlace(const AliasInfo &a, const AliasInfo &b)
{
    if (a.onServer() || b.onServer())
        return a.defaultDriver.compare(b.defaultDriver, Qt::CaseInsensitive) == 0 &&
               a.connection == b.connection && a.schema == b.schema;
    return a.driver.compare(b.driver, Qt::CaseInsensitive) == 0 &&
           QDir::cleanPath(a.path) == QDir::cleanPath(b.path);
}

QString placeOf(const AliasInfo &alias)
{
    if (alias.onServer())
        return QStringLiteral("schema %1 of %2").arg(alias.schema, alias.connection);
    return alias.path;
}

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
    // Writers replace the file in one rename, so a reader needs no lock to see a whole file.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return AliasConfigText::parse(file.readAll()).aliases();
}

QList<AliasInfo> AliasConfig::add(const QString &path, const QList<AliasInfo> &aliases)
{
    for (const AliasInfo &alias : aliases) {
        checkAliasName(alias.name);
        for (const QString &value : {alias.driver, alias.path, alias.defaultDriver,
                                     alias.connection, alias.schema}) {
            const QString problem = configValueProblem(value);
            if (!problem.isEmpty())
                throw Error(QStringLiteral("The alias %1 cannot be saved: its setting \"%2\" "
                                           "cannot be stored (%3).")
                                .arg(alias.name, value, problem),
                            Error::InvalidName);
        }
    }
    return update(path, [&](AliasConfigText &text) {
        for (const AliasInfo &alias : aliases) {
            if (const std::optional<AliasInfo> existing = text.find(alias.name)) {
                if (!samePlace(*existing, alias))
                    throw Error(QStringLiteral("Alias already exists: %1 (pointing at %2)")
                                    .arg(existing->name, placeOf(*existing)),
                                Error::DuplicateAlias);
                continue;
            }
            text.setAlias(alias);
        }
    });
}

QList<AliasInfo> AliasConfig::remove(const QString &path, const QString &name)
{
    return update(path, [&](AliasConfigText &text) { text.removeAlias(name); });
}

} // namespace dbe
