#pragma once

#include <QString>
#include <exception>

namespace security {

// What a caught failure says: the engine's own text where the engine failed.
QString failureText(const std::exception_ptr &failure);

} // namespace security
