#pragma once

#include <QString>
#include <QStringView>

namespace zorvane::terminal {

// Text as it goes to the module, one byte a character: characters up to U+00FF stay, any
// other character (a surrogate pair counting as one, a lone surrogate too) becomes one '?'.
// What the list shows and what the port sends are both taken from this, so they agree.
QString wireText(QStringView text);

} // namespace zorvane::terminal
