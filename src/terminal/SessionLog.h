#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

namespace zorvane::terminal {

// Writes the session log: the file's name and the line stamps come from one clock, and the
// lines of one receive event are collected and appended in a single open-write-close. The
// file is never held open, so other programs can read it at any time, and a file deleted
// while logging is on is created again by the next write. Lines are Latin-1 bytes, each
// followed by CR LF on every system.
class SessionLog
{
public:
    using Clock = std::function<QDateTime()>;
    // Why a write failed, in the system's words; no value when it succeeded.
    using Failure = std::optional<QString>;

    SessionLog();

    // The local date and time; an empty clock brings back the system's.
    void setClock(Clock clock);
    QDateTime now() const;

    // The name of a log started at `when`: day (two digits), month (an English abbreviation
    // whatever the user's language), year, "-", hour (no leading zero), "h", minute (two
    // digits), ".csv"; 05Mar2027-9h07.csv.
    static QString fileName(const QDateTime &when);
    // "09:07:45"
    static QByteArray timeStamp(QTime time);
    // "05-03-2027"
    static QByteArray dateStamp(QDate date);
    // Puts "time," and then "date," in front of the line, as the two switches ask; the clock
    // is read once, so both stamps tell the same moment.
    void stamp(QByteArray &line, bool time, bool date) const;

    // Writes the file anew holding one line with a single space.
    Failure start(const QString &path);
    // Keeps a line for the next append.
    void queue(QByteArrayView line);
    bool hasQueued() const { return !m_queued.isEmpty(); }
    // Appends the kept lines to the file, creating it when missing, and forgets them whether
    // or not they reached it. A write that fails part way leaves the whole lines it wrote and
    // no torn one; what the file held before is never touched.
    Failure append(const QString &path);

private:
    Clock m_clock;
    QByteArray m_queued;
};

} // namespace zorvane::terminal
