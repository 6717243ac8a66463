#include "LinkFactory.h"

#include "LocalSerialLink.h"
#include "network/NetworkLink.h"
#include "network/NetworkTarget.h"

namespace zorvane::serial {

std::unique_ptr<Link> makeLink(const QString &target)
{
    if (network::isNetworkTarget(target))
        return std::make_unique<network::NetworkLink>();
    return std::make_unique<LocalSerialLink>();
}

bool isAddressTarget(const QString &text)
{
    return network::isNetworkTarget(text);
}

bool probedByAutoDetect(const QString &target)
{
    return !network::isNetworkTarget(target);
}

} // namespace zorvane::serial
