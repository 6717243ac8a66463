#pragma once

#include <sys/resource.h>

// Real write failures for tests, made by the kernel rather than by a code path only tests take.

// While alive, no file of this process may grow beyond `bytes`: a write that crosses the
// limit stops there and the next one fails with EFBIG, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved{};
};

// While alive, this thread is held to the file permission bits even when it runs as root, so a
// read-only folder refuses new files as it does for an ordinary user.
class PermissionBitsApply
{
public:
    PermissionBitsApply();
    ~PermissionBitsApply();
    PermissionBitsApply(const PermissionBitsApply &) = delete;
    PermissionBitsApply &operator=(const PermissionBitsApply &) = delete;

private:
    bool m_dropped = false;
};
