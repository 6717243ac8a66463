#include "LineEnd.h"

#include <array>

namespace zorvane::terminal {

namespace {
struct Named
{
    LineEnd end;
    const char *name;
    const char *bytes;
};
constexpr std::array<Named, 5> kEnds{{
    {LineEnd::Module, "Module", "\r"},
    {LineEnd::CR, "CR", "\r"},
    {LineEnd::LF, "LF", "\n"},
    {LineEnd::CRLF, "CR LF", "\r\n"},
    {LineEnd::None, "None", ""},
}};

const Named &named(LineEnd end)
{
    for (const Named &n : kEnds) {
        if (n.end == end)
            return n;
    }
    return kEnds.front();
}
} // namespace

QStringList lineEndNames()
{
    QStringList names;
    for (const Named &n : kEnds)
        names << QLatin1String(n.name);
    return names;
}

QString lineEndName(LineEnd end)
{
    return QLatin1String(named(end).name);
}

std::optional<LineEnd> lineEndFromName(QStringView name)
{
    for (const Named &n : kEnds) {
        if (name == QLatin1String(n.name))
            return n.end;
    }
    return std::nullopt;
}

QByteArray lineEndBytes(LineEnd end)
{
    return QByteArray(named(end).bytes);
}

} // namespace zorvane::terminal
