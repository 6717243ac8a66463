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

} // namespace zorvane::serial
