#include "FileFaults.h"

#include <csignal>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    // Crossing the limit raises SIGXFSZ, which would end the process; the write's error is
    // what the program must see.
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &m_saved);
    rlimit limit = m_saved;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_saved);
}

namespace {

bool capabilities(__user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capget, &header, data) == 0;
}

bool setCapabilities(__user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capset, &header, data) == 0;
}

constexpr unsigned kOverride = 1u << CAP_DAC_OVERRIDE;

} // namespace

PermissionBitsApply::PermissionBitsApply()
{
    __user_cap_data_struct data[2]{};
    if (!capabilities(data) || !(data[0].effective & kOverride))
        return;
    // Only the effective set: the permitted set keeps it, so it can be taken back.
    data[0].effective &= ~kOverride;
    m_dropped = setCapabilities(data);
}

PermissionBitsApply::~PermissionBitsApply()
{
    __user_cap_data_struct data[2]{};
    if (!m_dropped || !capabilities(data))
        return;
    data[0].effective |= kOverride;
    setCapabilities(data);
}
