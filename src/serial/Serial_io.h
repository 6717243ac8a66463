#pragma once

#include "LineSettings.h"
#include "Link.h"
#include "OpenFailure.h"
#include "PortClaim.h"
#include "PortNames.h"
#include "ReopenGuard.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>

namespace zorvane::serial {

// What c_getc_link returns instead of a byte.
namespace LinkCode {
// The port is healthy, with nothing waiting.
inline constexpr int NoByte = -1;
// The device went away; the port is closed now.
inline constexpr int Lost = -2;
// No port is open.
inline constexpr int NotOpen = -3;
} // namespace LinkCode

// Owns the one open link: opening by port number, byte reads and writes, and the liveness
// query that notices an unplugged adapter. The link behind it does the device's own work;
// nothing else touches it.
class SerialIo
{
public:
    // How long a read may wait for its byte when none is waiting yet.
    enum class ReadWait { None, Timeout };

    // A one-byte read gives up after 25 ms per byte plus 50 ms when nothing arrives.
    static constexpr int kReadTimeoutMs = 75;
    SerialIo();
    ~SerialIo();
    SerialIo(const SerialIo &) = delete;
    SerialIo &operator=(const SerialIo &) = delete;

    // Where the ports/ override links are looked up.
    void setDocumentsFolder(const QString &folder) { m_documentsFolder = folder; }
    QString documentsFolder() const { return m_documentsFolder; }
    // The profile other Zorvane instances are told holds a device this one opened.
    void setProfile(const QString &profile) { m_claim.setProfile(profile); }

    // Who asks for an open: the user (or the start-up) choosing a port, or the link check
    // bringing a lost port back without a word.
    enum class OpenKind { Chosen, QuietReopen };

    // Opens port n and waits until it is known whether it can be used.
    bool c_open(int port, int baudRate, int dataBits, int parity, int stopBits,
                OpenKind kind = OpenKind::Chosen);
    // The flow control of each port number, which every open of that port asks for; none
    // until chosen.
    void setFlowControl(int port, FlowControl flow);
    FlowControl flowControl(int port) const;
    // Begins the same open without waiting for a network port's server: a device on this
    // machine answers Opened or Failed at once; a network port answers Pending, and the
    // function set by setOpenFinished learns later whether the port is held.
    Link::OpenStart beginOpen(int port, const LineSettings &settings,
                              OpenKind kind = OpenKind::Chosen);
    void setOpenFinished(std::function<void(bool held)> done) { m_openDone = std::move(done); }
    // A network port's open is still going.
    bool isOpening() const { return m_opening; }
    // Gives up an open still going; its end is never reported.
    void cancelOpen();
    void c_close();
    void c_putc(char16_t ch);
    // The low 8 bits of every character, in order, with no echo and no line end.
    void writeText(QStringView text);
    void writeBytes(QByteArrayView bytes);
    // Asks the device for its line settings; fails once the device has gone.
    bool isAlive() const;

    // The common case is one byte out of the chunk already taken from the device.
    int c_getc(ReadWait wait = ReadWait::None)
    {
        if (m_inNext != m_inEnd)
            return static_cast<unsigned char>(*m_inNext++);
        return refillAndGet(wait);
    }
    int c_getc_link();
    // The reader will not ask for bytes for a while: what arrives meanwhile stays in the
    // device's own buffer, and the event loop is woken at most once for it, instead of once
    // for every few bytes a slow link delivers. The next read takes everything in one go.
    void restUntilNextRead();
    // As resting, but arriving bytes wake nobody: the reader comes back by its own timer. For a
    // busy link, whose bytes would otherwise wake the program once more before every timer.
    void dozeUntilNextRead();
    // Called when bytes arrive from the device or the device fails, so a reader that stopped
    // polling can sleep until then; the call may come during a read, so it should only note
    // the news.
    void setWakeUp(std::function<void()> wake) { m_wake = std::move(wake); }
    // Called with every chunk read from the device, once, before its bytes are handed out; for
    // a reader that wants its own copy of what arrives. It should only take note.
    void setReadTap(std::function<void(const QByteArray &)> tap) { m_readTap = std::move(tap); }
    // Two different questions: port_is_open() is the session's flag "a port was chosen and
    // opened", which stays set after the device refused its line settings or vanished, so
    // the link check goes on to report and reopen it; holdsDevice() says whether a device
    // handle is held right now, from a successful open to the next close.
    bool port_is_open() const { return m_portOpen; }
    bool holdsDevice() const { return m_held; }
    // Bytes handed out by c_getc so far; a caller compares two readings to see whether
    // anything arrived in between.
    qint64 bytesTaken() const { return m_takenBefore + (m_inNext - m_in.constData()); }
    // When the bytes being handed out were read from the device, in ms since the epoch: the
    // arrival time of every line they hold, noted once per read.
    const qint64 &lastReadMs() const { return m_lastReadMs; }
    // Where that time is read, in ms since the epoch; tests hand in a clock they move.
    using WallClock = qint64 (*)();
    void setWallClock(WallClock clock) { m_wallClock = clock; }

    // The link of the last c_open, for its modem lines; a new one replaces it at every open,
    // so a holder keeps it in a QPointer.
    Link *link() const { return m_link.get(); }

    // What the last c_open asked of the device, and which device it was; kept so the
    // settings a device refused can still be checked.
    LineSettings lastRequested() const { return m_requested; }
    QString lastDevice() const { return m_lastDevice; }
    // How the last c_open failed, for a message that says why.
    OpenFailure lastOpenFailure() const { return m_failure; }
    // A network port's server fixes the line settings itself (socket://).
    bool lineSettingsFixedByServer() const;
    // Text a network port's server sent before the port was ready (a greeting), never the
    // module's bytes; taken once.
    QByteArray takeBanner();

    // Session variables the link shares with connection control: the port in use (0 none)
    // and the port most recently opened or closed, the target of quiet reopening. Connection
    // control sets them when it chooses a port; c_close moves the port in use to the reopen
    // target; nothing else writes them.
    int com_port = 0;
    int last_com_port = 0;

private:
    void rest(bool dozing);
    int refillAndGet(ReadWait wait);
    // Drops the chunk in hand, keeping the count of what was taken from it.
    void resetChunk(QByteArray chunk = {});
    // The end of an open: the claim and the reopen guard follow the link's answer.
    bool settleOpen(bool accepted);
    // Claims the device just opened.
    void claimDevice();
    // Puts a link fit for the target in place of the one held, wired to the wake-up.
    void replaceLink(const QString &target);

    std::unique_ptr<Link> m_link;
    QString m_documentsFolder;
    bool m_held = false;
    bool m_portOpen = false;
    bool m_opening = false;
    // What the open in hand was asked for, kept until it ends.
    int m_openPort = 0;
    QString m_openPin;
    OpenKind m_openKind = OpenKind::Chosen;
    // Counts the opens begun, so the end of one given up is told from the current one's.
    quint64 m_openCount = 0;
    std::function<void(bool)> m_openDone;
    // Receives a pending open's end from the link, after the link's own handler returned.
    QObject m_openEvents;
    LineSettings m_requested;
    std::array<FlowControl, kPortCount + 1> m_flow{};
    QString m_lastDevice;
    OpenFailure m_failure;
    ReopenGuard m_reopenGuard;
    // Bytes taken from the device in one go and handed out one at a time; plain pointers
    // keep the per-byte path free of QByteArray's detach checks.
    QByteArray m_in;
    const char *m_inNext = nullptr;
    const char *m_inEnd = nullptr;
    qint64 m_takenBefore = 0;
    qint64 m_lastReadMs = 0;
    WallClock m_wallClock = &QDateTime::currentMSecsSinceEpoch;
    bool m_resting = false;
    std::function<void()> m_wake;
    std::function<void(const QByteArray &)> m_readTap;
    // Tells other instances which device is held, from a successful open to the close.
    PortClaim m_claim;
};

// A text whose characters each carry one byte: the low 8 bits of every character, which is
// what goes on the wire for any text sent.
QByteArray byteValued(QStringView text);

} // namespace zorvane::serial
