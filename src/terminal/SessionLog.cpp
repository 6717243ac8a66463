#include "terminal/SessionLog.h"

#include <QFile>
#include <QScopeGuard>

#include <limits>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zorvane::terminal {

namespace {

constexpr char kMonths[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr char kLineEnd[] = "\r\n";

void appendTwoDigits(char *&out, int value)
{
    *out++ = char('0' + value / 10 % 10);
    *out++ = char('0' + value % 10);
}

// "09:07:45"
void appendTime(char *&out, QTime time)
{
    appendTwoDigits(out, time.hour());
    *out++ = ':';
    appendTwoDigits(out, time.minute());
    *out++ = ':';
    appendTwoDigits(out, time.second());
}

// The longest date: two-digit day and month and a year of up to eleven characters.
constexpr int kMaxDate = 2 + 1 + 2 + 1 + 11;

// "05-03-2027": the year with all its digits.
void appendDate(char *&out, QDate date)
{
    appendTwoDigits(out, date.day());
    *out++ = '-';
    appendTwoDigits(out, date.month());
    *out++ = '-';
    int year = date.year();
    if (year < 0) {
        *out++ = '-';
        year = -year;
    }
    char digits[10];
    int count = 0;
    do {
        digits[count++] = char('0' + year % 10);
        year /= 10;
    } while (year > 0);
    while (count > 0)
        *out++ = digits[--count];
}

// The local time to the second. Turning the system clock into local time (time zone rules)
// costs microseconds, several times what a logged line costs otherwise, so it is done once a
// second rather than for every stamped line.
QDateTime systemClock()
{
    thread_local qint64 second = std::numeric_limits<qint64>::min();
    thread_local QDateTime local;
    const qint64 msecs = QDateTime::currentMSecsSinceEpoch();
    const qint64 now = msecs / 1000;
    if (now != second) {
        second = now;
        local = QDateTime::fromMSecsSinceEpoch(now * 1000);
    }
    return local;
}

// Opens the log for writing, creating it when missing. A symbolic link or anything but a
// regular file put where the log lies is refused, not written through: the lines would land
// in whatever it names. The folder may still be a link; only the file's own name is checked.
SessionLog::Failure openLog(QFile &file, const QString &path, bool append)
{
#ifdef Q_OS_UNIX
    // Not blocking: a named pipe put in the file's place must not stall the receive loop.
    const int fd = ::open(
        QFile::encodeName(path).constData(),
        O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (append ? O_APPEND : 0), 0666);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP)
            return QStringLiteral("it is a symbolic link, which the log does not follow");
        return QString::fromLocal8Bit(std::strerror(error));
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return QStringLiteral("not a regular file");
    }
    // Emptied only once it is known to be the log's own file.
    if (!append && ::ftruncate(fd, 0) != 0) {
        const int error = errno;
        ::close(fd);
        return QString::fromLocal8Bit(std::strerror(error));
    }
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered |
                                     (append ? QIODevice::Append : QIODevice::NotOpen);
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle))
        return file.errorString();
    return std::nullopt;
#else
    file.setFileName(path);
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered |
                                     (append ? QIODevice::Append : QIODevice::Truncate);
    if (!file.open(mode))
        return file.errorString();
    return std::nullopt;
#endif
}

} // namespace

SessionLog::SessionLog() : m_clock(systemClock) {}

void SessionLog::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock(systemClock);
}

QDateTime SessionLog::now() const
{
    return m_clock();
}

QString SessionLog::fileName(const QDateTime &when)
{
    const QDate date = when.date();
    const QTime time = when.time();
    return QString::asprintf("%.2d%s%d-%dh%.2d", date.day(), kMonths[date.month() - 1], date.year(),
                             time.hour(), time.minute()) +
           QStringLiteral(".csv");
}

QByteArray SessionLog::timeStamp(QTime time)
{
    char text[8];
    char *out = text;
    appendTime(out, time);
    return QByteArray(text, out - text);
}

QByteArray SessionLog::dateStamp(QDate date)
{
    char text[kMaxDate];
    char *out = text;
    appendDate(out, date);
    return QByteArray(text, out - text);
}

void SessionLog::stamp(QByteArray &line, bool time, bool date) const
{
    if (!time && !date)
        return;
    const QDateTime when = now();
    // Built on the stack: this runs for every logged line.
    char prefix[kMaxDate + 1 + 8 + 1];
    char *out = prefix;
    if (date) {
        appendDate(out, when.date());
        *out++ = ',';
    }
    if (time) {
        appendTime(out, when.time());
        *out++ = ',';
    }
    line.prepend(prefix, out - prefix);
}

SessionLog::Failure SessionLog::start(const QString &path)
{
    QFile file;
    if (Failure failure = openLog(file, path, false))
        return failure;
    if (file.write(" \r\n", 3) != 3) {
        const QString reason = file.errorString();
        file.resize(0);
        return reason;
    }
    return std::nullopt;
}

void SessionLog::queue(QByteArrayView line)
{
    m_queued.append(line);
    m_queued.append(kLineEnd, 2);
}

SessionLog::Failure SessionLog::append(const QString &path)
{
    if (m_queued.isEmpty())
        return std::nullopt;
    // Emptied but not freed: the next event's lines reuse the buffer.
    const auto forget = qScopeGuard([this] { m_queued.truncate(0); });
    QFile file;
    if (Failure failure = openLog(file, path, true))
        return failure;
    const qint64 before = file.size();
    if (file.write(m_queued) == m_queued.size())
        return std::nullopt;
    const QString reason = file.errorString();
    // Keep the whole lines that reached the disk, cut the one that did not fit.
    const qint64 reached = file.size() - before;
    if (reached > 0 && reached < m_queued.size()) {
        const qsizetype lastEnd = reached < 2 ? -1 : m_queued.lastIndexOf(kLineEnd, reached - 2);
        file.resize(before + (lastEnd < 0 ? 0 : lastEnd + 2));
    }
    return reason;
}

} // namespace zorvane::terminal
