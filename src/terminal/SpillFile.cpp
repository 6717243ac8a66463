#include "SpillFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace zorvane::terminal {

namespace {
QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

SpillFile::~SpillFile()
{
    ::close(m_fd);
}

std::unique_ptr<SpillFile> SpillFile::open(const QString &folder, QString *error)
{
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot make the folder");
        return nullptr;
    }
    const QByteArray path = QFile::encodeName(folder);
    int fd = -1;
#ifdef O_TMPFILE
    fd = ::open(path.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    // Only a file system without nameless files falls back to a named one unlinked at once.
    if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        *error = reason(errno);
        return nullptr;
    }
#endif
    if (fd < 0) {
        QByteArray name = path + "/zorvane-lines-XXXXXX";
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) {
            *error = reason(errno);
            return nullptr;
        }
        ::unlink(name.constData());
    }
    return std::unique_ptr<SpillFile>(new SpillFile(fd));
}

std::optional<quint64> SpillFile::append(const char *bytes, size_t size, QString *error)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(m_fd, bytes + done, size - done, off_t(m_end + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = reason(n < 0 ? errno : ENOSPC);
            // What was written of the block is of no use; the file keeps only whole blocks.
            if (::ftruncate(m_fd, off_t(m_end)) != 0) {
                // The block stays in memory either way; a longer file only costs disk room.
            }
            return std::nullopt;
        }
        done += size_t(n);
    }
    const quint64 at = m_end;
    m_end += size;
    return at;
}

bool SpillFile::read(quint64 offset, char *out, size_t size) const
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(m_fd, out + done, size - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

} // namespace zorvane::terminal
