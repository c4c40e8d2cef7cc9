#include "dbe/logging.h"

namespace dbe {

Q_LOGGING_CATEGORY(lcEngine, "vesk.dbe", QtWarningMsg)

} // namespace dbe
