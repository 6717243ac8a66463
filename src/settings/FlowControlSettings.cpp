#include "FlowControlSettings.h"

namespace zorvane::settings {

namespace {

const QString kGroup = QStringLiteral("COMPORT");

QString leafName(int port)
{
    return QStringLiteral("flow%1").arg(port);
}

} // namespace

QString flowControlText(serial::FlowControl flow)
{
    switch (flow) {
    case serial::FlowControl::RtsCts:
        return QStringLiteral("rtscts");
    case serial::FlowControl::XonXoff:
        return QStringLiteral("xonxoff");
    case serial::FlowControl::None:
        break;
    }
    return QStringLiteral("none");
}

serial::FlowControl flowControlFrom(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(u"rtscts", Qt::CaseInsensitive) == 0)
        return serial::FlowControl::RtsCts;
    if (t.compare(u"xonxoff", Qt::CaseInsensitive) == 0)
        return serial::FlowControl::XonXoff;
    return serial::FlowControl::None;
}

PortFlowControls loadFlowControls(TXMLZVSettingsType &root)
{
    PortFlowControls flows{};
    const QDomElement group = root.element().firstChildElement(kGroup);
    if (group.isNull())
        return flows;
    for (int port = 1; port <= serial::kPortCount; ++port) {
        // Looked for first, so reading adds no empty leaf for a port that has none.
        if (group.firstChildElement(leafName(port)).isNull())
            continue;
        flows[static_cast<size_t>(port)] =
            flowControlFrom(std::get<QString>(root.leaf(kGroup, leafName(port), QString())));
    }
    return flows;
}

void saveFlowControls(TXMLZVSettingsType &root, const PortFlowControls &flows)
{
    for (int port = 1; port <= serial::kPortCount; ++port) {
        const serial::FlowControl flow = flows[static_cast<size_t>(port)];
        const QDomElement group = root.element().firstChildElement(kGroup);
        const bool inFile = !group.isNull() && !group.firstChildElement(leafName(port)).isNull();
        if (flow == serial::FlowControl::None && !inFile)
            continue;
        root.setLeaf(kGroup, leafName(port), flowControlText(flow));
    }
}

} // namespace zorvane::settings
