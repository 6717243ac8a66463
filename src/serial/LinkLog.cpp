#include "LinkLog.h"

namespace zorvane::serial {

Q_LOGGING_CATEGORY(lcLink, "zorvane.link", QtWarningMsg)

} // namespace zorvane::serial
