#pragma once

#include <QStringList>

namespace zorvane::serial {

// The terminal lines that show a sent text: "TX=> " and the text, or in hex-write form two
// digits per character with a line break after each CR.
QStringList txEchoLines(QStringView text, bool hexWrite);

} // namespace zorvane::serial
