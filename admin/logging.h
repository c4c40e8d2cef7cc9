#pragma once

#include <QLoggingCategory>

namespace admin {

// The desktop's trace: the engine's own text where a command shows a fixed message.
// Quiet unless asked for with QT_LOGGING_RULES="vesk.admin=true" (or "vesk.*=true"); never a
// password or a key.
Q_DECLARE_LOGGING_CATEGORY(lcAdmin)

} // namespace admin
