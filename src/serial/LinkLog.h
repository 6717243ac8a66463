#pragma once

#include <QLoggingCategory>

namespace zorvane::serial {

// Why a port was opened, refused, dropped or reopened, local or on the network; silent unless
// QT_LOGGING_RULES switches "zorvane.link" on.
Q_DECLARE_LOGGING_CATEGORY(lcLink)

} // namespace zorvane::serial
