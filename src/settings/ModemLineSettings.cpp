#include "ModemLineSettings.h"

#include "serial/ModemSequence.h"

#include <QRegularExpression>

#include <algorithm>

namespace zorvane::settings {

namespace {

const QString kGroup = QStringLiteral("ModemLines");

std::optional<bool> lineChange(LineAtOpen v)
{
    if (v == LineAtOpen::Leave)
        return std::nullopt;
    return v == LineAtOpen::On;
}

} // namespace

serial::ModemLineChange PortModemLines::atOpen() const
{
    return {lineChange(dtr), lineChange(rts)};
}

ModemLineSettings::ModemLineSettings()
    : pulseMs(serial::kDefaultPulseMs), breakMs(serial::kDefaultBreakMs)
{}

PortModemLines ModemLineSettings::port(int n) const
{
    const auto it = m_ports.find(n);
    return it == m_ports.end() ? PortModemLines{} : it->second;
}

void ModemLineSettings::setPort(int n, const PortModemLines &lines)
{
    if (n < 1 || n > kPorts)
        return;
    m_ports[n] = lines;
}

QString ModemLineSettings::lineAtOpenText(LineAtOpen v)
{
    switch (v) {
    case LineAtOpen::On:
        return QStringLiteral("on");
    case LineAtOpen::Off:
        return QStringLiteral("off");
    case LineAtOpen::Leave:
        break;
    }
    return QStringLiteral("leave");
}

LineAtOpen ModemLineSettings::lineAtOpenFrom(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(u"on", Qt::CaseInsensitive) == 0)
        return LineAtOpen::On;
    if (t.compare(u"off", Qt::CaseInsensitive) == 0)
        return LineAtOpen::Off;
    return LineAtOpen::Leave;
}

QString ModemLineSettings::groupName()
{
    return kGroup;
}

QStringList ModemLineSettings::leafNames()
{
    QStringList names{QStringLiteral("pulse"), QStringLiteral("break")};
    for (int n = 1; n <= kPorts; ++n) {
        names << QStringLiteral("dtr%1").arg(n) << QStringLiteral("rts%1").arg(n)
              << QStringLiteral("reset%1").arg(n);
    }
    return names;
}

void ModemLineSettings::load(TXMLZVSettingsType &root)
{
    m_ports.clear();
    pulseMs = serial::kDefaultPulseMs;
    breakMs = serial::kDefaultBreakMs;
    const QDomElement group = root.element().firstChildElement(kGroup);
    if (group.isNull())
        return;
    // A length outside what a pause may last is a damaged value, not a wish.
    auto length = [&root](const char *name, int fallback) {
        const int v = std::get<int>(root.leaf(kGroup, QLatin1String(name), fallback));
        return v >= 1 && v <= serial::kMaxPauseMs ? v : fallback;
    };
    pulseMs = length("pulse", serial::kDefaultPulseMs);
    breakMs = length("break", serial::kDefaultBreakMs);

    static const QRegularExpression portLeaf(QStringLiteral("^(dtr|rts|reset)([1-9][0-9]{0,2})$"));
    for (QDomElement e = group.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        const auto m = portLeaf.match(e.tagName());
        const int n = m.hasMatch() ? m.captured(2).toInt() : 0;
        if (n < 1 || n > kPorts)
            continue;
        // Read through the binding, so the first element of a name counts and texts are
        // decoded as every other leaf's are.
        const QString text = std::get<QString>(root.leaf(kGroup, e.tagName(), QString()));
        PortModemLines &lines = m_ports[n];
        if (m.captured(1) == u"dtr")
            lines.dtr = lineAtOpenFrom(text);
        else if (m.captured(1) == u"rts")
            lines.rts = lineAtOpenFrom(text);
        else
            lines.reset = text;
    }
}

void ModemLineSettings::save(TXMLZVSettingsType &root) const
{
    // A file that never had the group keeps lacking it until something differs from the
    // defaults, so a user who does not use the lines finds the file as before.
    const bool anyChoice = pulseMs != serial::kDefaultPulseMs ||
                           breakMs != serial::kDefaultBreakMs ||
                           std::any_of(m_ports.begin(), m_ports.end(),
                                       [](const auto &p) { return !p.second.isDefault(); });
    if (!anyChoice && root.element().firstChildElement(kGroup).isNull())
        return;
    root.setLeaf(kGroup, QStringLiteral("pulse"), pulseMs);
    root.setLeaf(kGroup, QStringLiteral("break"), breakMs);
    const QDomElement group = root.element().firstChildElement(kGroup);
    for (int n = 1; n <= kPorts; ++n) {
        const PortModemLines lines = port(n);
        const QString dtr = QStringLiteral("dtr%1").arg(n);
        const QString rts = QStringLiteral("rts%1").arg(n);
        const QString reset = QStringLiteral("reset%1").arg(n);
        const bool inFile = !group.firstChildElement(dtr).isNull() ||
                            !group.firstChildElement(rts).isNull() ||
                            !group.firstChildElement(reset).isNull();
        if (lines.isDefault() && !inFile)
            continue;
        root.setLeaf(kGroup, dtr, lineAtOpenText(lines.dtr));
        root.setLeaf(kGroup, rts, lineAtOpenText(lines.rts));
        root.setLeaf(kGroup, reset, lines.reset);
    }
}

} // namespace zorvane::settings
