#pragma once

#include <QLoggingCategory>

namespace dbe {

// The engine's trace. Failures it cannot hand to anybody (while a cursor or a transaction is
// destroyed) are warnings, shown by default; the rest is shown with
// QT_LOGGING_RULES="vesk.dbe=true" (or "vesk.*=true").
Q_DECLARE_LOGGING_CATEGORY(lcEngine)

} // namespace dbe
