#pragma once

#include <QLoggingCategory>

namespace setup {

// The setup editor's trace: the engine's own text where a dialog shows a fixed message.
// Quiet unless asked for with QT_LOGGING_RULES="vesk.setup=true" (or "vesk.*=true"); never a
// password or a key.
Q_DECLARE_LOGGING_CATEGORY(lcSetup)

} // namespace setup
