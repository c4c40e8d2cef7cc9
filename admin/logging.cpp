#include "admin/logging.h"

namespace admin {

Q_LOGGING_CATEGORY(lcAdmin, "vesk.admin", QtWarningMsg)

} // namespace admin
