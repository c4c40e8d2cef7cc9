#include "rules/logging.h"

namespace security {

Q_LOGGING_CATEGORY(lcSecurity, "vesk.security", QtWarningMsg)

} // namespace security
