#include "WireText.h"

#include <algorithm>

namespace zorvane::terminal {

QString wireText(QStringView text)
{
    // Most texts need no change: no copy for them.
    const auto wide = [](QChar ch) { return ch.unicode() > 0xFF; };
    if (std::none_of(text.begin(), text.end(), wide))
        return text.toString();
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (!wide(ch)) {
            out += ch;
            continue;
        }
        out += QLatin1Char('?');
        // The low half of a pair is the same character.
        if (ch.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    }
    return out;
}

} // namespace zorvane::terminal
