#include "LinkFactory.h"

#include "LocalSerialLink.h"

namespace zorvane::serial {

std::unique_ptr<Link> makeLink(const QString &)
{
    return std::make_unique<LocalSerialLink>();
}

} // namespace zorvane::serial
