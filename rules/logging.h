#pragma once

#include <QLoggingCategory>

namespace security {

// The component's trace: the engine's own text where the component shows a fixed message.
// Quiet unless asked for with QT_LOGGING_RULES="vesk.security=true" (or "vesk.*=true"); never a
// password or a key.
Q_DECLARE_LOGGING_CATEGORY(lcSecurity)

} // namespace security
