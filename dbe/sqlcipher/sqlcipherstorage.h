#pragma once

#include "dbe/storage.h"

namespace dbe::sqlcipher {

// The embedded storage for the directory of the context's alias. Throws Io when the directory
// does not exist.
std::unique_ptr<Backend> open(const BackendContext &context);

} // namespace dbe::sqlcipher
