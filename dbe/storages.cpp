// The one place that knows every storage: it picks the one an alias asks for.

#include "dbe/backend.h"
#include "dbe/error.h"
#include "dbe/postgres/postgresstorage.h"
#include "dbe/sqlcipher/sqlcipherstorage.h"
#include "dbe/storage.h"

namespace dbe::storage {

namespace {

bool isPostgres(const AliasInfo &alias)
{
    return alias.defaultDriver.compare(PostgresDriver, Qt::CaseInsensitive) == 0;
}

} // namespace

std::unique_ptr<Backend> open(const BackendContext &context)
{
    if (isPostgres(context.alias))
        return postgres::open(context);
    if (context.alias.onServer())
        throw Error(QStringLiteral("The database %1 names the server driver %2, which this "
                                   "engine does not offer.")
                        .arg(context.databaseName, context.alias.defaultDriver),
                    Error::UnknownAlias);
    // A directory holds the embedded storage's files, whatever driver an old configuration
    // names for it.
    return sqlcipher::open(context);
}

QString serverAliasProblem(const AliasInfo &alias)
{
    if (isPostgres(alias))
        return postgres::aliasProblem(alias);
    return QStringLiteral("The driver %1 is not a server driver of this engine.")
        .arg(alias.defaultDriver);
}

} // namespace dbe::storage
