// The one place that knows every storage: it picks the one an alias asks for.

#include "dbe/backend.h"
#include "dbe/error.h"
#include "dbe/sqlcipher/sqlcipherstorage.h"
#include "dbe/storage.h"

namespace dbe::storage {

std::unique_ptr<Backend> open(const BackendContext &context)
{
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
    return QStringLiteral("The driver %1 is not a server driver of this engine.")
        .arg(alias.defaultDriver);
}

} // namespace dbe::storage
