#pragma once

#include "dbe/storage.h"

namespace dbe::postgres {

// The server storage for a POSTGRESQL alias. Connects at first need, not here.
std::unique_ptr<Backend> open(const BackendContext &context);

// Why a POSTGRESQL alias cannot be used: a connection string that does not parse or holds a
// password, a schema name the server cannot hold. An empty text when it can.
QString aliasProblem(const AliasInfo &alias);

} // namespace dbe::postgres
