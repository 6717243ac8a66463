#include "PortClaim.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zorvane::serial {

namespace {

constexpr qint64 kMaxClaimBytes = 256;
// A reader holds its shared lock for a moment only; a claim waits that long at most.
constexpr int kClaimAttempts = 50;

// A folder another user could have made or linked would let them plant or read claims.
bool isPrivateFolder(const QByteArray &path)
{
    struct stat st
    {
    };
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::getuid() && (st.st_mode & 0077) == 0;
}

QString claimPath(const QString &device)
{
    const QString folder = claimFolder();
    if (folder.isEmpty() || device.isEmpty())
        return {};
    // Percent-encoding keeps every device its own file: "/dev/pts/3" -> "%2Fdev%2Fpts%2F3".
    return folder + QString::fromLatin1(QUrl::toPercentEncoding(device));
}

} // namespace

QString claimFolder()
{
    // The runtime folder is the user's own and emptied at logout; /tmp is the fallback when the
    // session has none, with the user's number in the name.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray base = !runtime.isEmpty() && isPrivateFolder(runtime)
                                ? runtime + "/zorvane-ports"
                                : QFile::encodeName(QDir::tempPath()) + "/zorvane-ports-" +
                                      QByteArray::number(::getuid());
    if (::mkdir(base.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    if (!isPrivateFolder(base))
        return {};
    return QFile::decodeName(base) + QLatin1Char('/');
}

PortClaim::~PortClaim()
{
    release();
}

void PortClaim::claim(const QString &device)
{
    release();
    const QString path = claimPath(device);
    if (path.isEmpty())
        return;
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return;
    bool locked = false;
    for (int attempt = 0; attempt < kClaimAttempts && !locked; ++attempt) {
        locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (!locked)
            QThread::msleep(1);
    }
    const QByteArray content =
        QByteArray::number(qint64(::getpid())) + '\n' + m_profile.toUtf8() + '\n';
    if (!locked || ::ftruncate(fd, 0) != 0 ||
        ::write(fd, content.constData(), size_t(content.size())) != content.size()) {
        ::close(fd);
        return;
    }
    m_fd = fd;
    m_path = path;
}

void PortClaim::release()
{
    if (m_fd < 0)
        return;
    // Removed while still locked, so no reader takes the empty name for a live claim.
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

std::optional<ZorvaneHolder> zorvaneHolder(const QString &device)
{
    const QString path = claimPath(device);
    if (path.isEmpty())
        return std::nullopt;
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    // A lock we can take is nobody's: its holder has ended.
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray content(kMaxClaimBytes, '\0');
    const ssize_t got = ::read(fd, content.data(), size_t(content.size()));
    ::close(fd);
    content.truncate(got > 0 ? got : 0);
    const QList<QByteArray> lines = content.split('\n');
    ZorvaneHolder holder;
    holder.pid = lines.value(0).toLongLong();
    holder.profile = QString::fromUtf8(lines.value(1));
    if (holder.pid == qint64(::getpid()))
        return std::nullopt;
    return holder;
}

QString inUseByZorvaneText(const ZorvaneHolder &holder)
{
    if (holder.profile.isEmpty())
        return QStringLiteral("in use by Zorvane");
    return QStringLiteral("in use by Zorvane, profile %1").arg(holder.profile);
}

} // namespace zorvane::serial
