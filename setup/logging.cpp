#include "setup/logging.h"

namespace setup {

Q_LOGGING_CATEGORY(lcSetup, "vesk.setup", QtWarningMsg)

} // namespace setup
