#include "rules/createdatabase.h"

#include "dbe/aliasinfo.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/storage.h"

#include <QDir>
#include <QFileInfo>

namespace security {

namespace {

QString canonical(const QString &directory)
{
    const QFileInfo info(directory);
    return info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
}

// An alias known already is used only for the place it names, so that a typing error in a
// command cannot empty another database's tables.
void checkSamePlace(const dbe::AliasInfo &known, const DatabasePlace &place)
{
    if (!place.given())
        return;
    const bool same = place.onServer()
                          ? known.connection == place.connection &&
                                known.schema.compare(place.schema, Qt::CaseInsensitive) == 0
                          : !known.onServer() && canonical(known.path) == canonical(place.directory);
    if (!same)
        throw dbe::Error(QStringLiteral("The alias %1 already names another database.")
                             .arg(known.name),
                         dbe::Error::DuplicateAlias);
}

} // namespace

DatabaseCreation::DatabaseCreation(const QString &alias, const DatabasePlace &place,
                                   const QString &masterPassword)
    : m_alias(alias), m_password(masterPassword)
{
    try {
        reach(place);
    } catch (...) {
        giveUp();
        throw;
    }
}

void DatabaseCreation::reach(const DatabasePlace &place)
{
    dbe::Session &session = dbe::Session::instance();
    if (session.hasAlias(m_alias)) {
        checkSamePlace(session.alias(m_alias), place);
    } else if (place.onServer()) {
        session.addServerAlias(m_alias, dbe::storage::PostgresDriver, place.connection,
                               place.schema);
        m_aliasAdded = true;
    } else {
        makeDirectory(place.directory);
        session.addStandardAlias(m_alias,
                                 QDir::cleanPath(QFileInfo(place.directory).absoluteFilePath()));
        m_aliasAdded = true;
    }
    // A server is asked with the role's password before anything is written there.
    if (session.alias(m_alias).onServer())
        session.addPassword(m_password);
    m_existing = existingSecurityTables(m_alias);
}

void DatabaseCreation::makeDirectory(const QString &directory)
{
    QString missing = QDir::cleanPath(QFileInfo(directory).absoluteFilePath());
    QStringList made;
    while (!QFileInfo::exists(missing)) {
        made.append(missing);
        const QString parent = QFileInfo(missing).path();
        if (parent == missing)
            break;
        missing = parent;
    }
    if (!QDir().mkpath(directory))
        throw dbe::Error(QStringLiteral("Cannot create the directory %1.").arg(directory),
                         dbe::Error::Io);
    m_madeDirectories = made;
}

void DatabaseCreation::giveUp() noexcept
{
    if (m_done)
        return;
    if (m_aliasAdded) {
        try {
            dbe::Session::instance().deleteAlias(m_alias);
        } catch (const std::exception &) {
            // It was never saved; at worst it stays known to this process until it ends.
        }
        m_aliasAdded = false;
    }
    // rmdir() removes only an empty directory: whatever the engine left there stays.
    for (const QString &directory : std::as_const(m_madeDirectories))
        QDir().rmdir(directory);
    m_madeDirectories.clear();
}

DatabaseCreation::~DatabaseCreation()
{
    giveUp();
}

QString DatabaseCreation::placeText() const
{
    dbe::Session &session = dbe::Session::instance();
    const dbe::AliasInfo info = session.alias(m_alias);
    return info.onServer() ? QStringLiteral("the schema %1").arg(info.schema)
                           : session.directoryOf(m_alias);
}

void DatabaseCreation::create(ExistingTables existing)
{
    createSecurityTables(m_alias, m_password, existing);
    registerAlias();
}

void DatabaseCreation::registerAlias()
{
    dbe::Session::instance().saveConfig();
    m_done = true;
}

} // namespace security
