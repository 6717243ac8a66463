#pragma once

#include "bgapi/BgapiState.h"
#include "serial/Serial_io.h"
#include "session/AddressList.h"
#include "session/Clock.h"
#include "session/ReceivePacer.h"
#include "session/SessionOptions.h"
#include "terminal/ByteText.h"
#include "terminal/LineAssembly.h"
#include "terminal/LineStore.h"
#include "terminal/SessionLog.h"

#include <QObject>
#include <QStringList>

#include <memory>
#include <optional>

class QTimer;

namespace zorvane::session {

// The conversation with one module, without any widget: the link and the receive timer
// that reads it, the line assembly and the lines it fills, the BGAPI decoder, the inquiry
// capture and the address list, the session log, and the rules by which commands are
// composed and sent. A window shows what the signals report and hands in what its controls
// say through an OptionsSource.
class ModuleSession : public QObject, private terminal::ReceiveHooks
{
    Q_OBJECT
public:
    explicit ModuleSession(QObject *parent = nullptr);
    ~ModuleSession() override;

    // Without a source the session runs on the options set here.
    void setOptionsSource(const OptionsSource *source) { m_source = source; }
    void setOptions(const SessionOptions &options) { m_options = options; }
    void setLogFilePath(const QString &path) { m_logPath = path; }
    SessionOptions options() const { return m_source ? m_source->options() : m_options; }

    // --- the receive timer: its events read the link, its pace is the pacer's
    void start();
    void stop();
    QTimer *receiveTimer() const { return m_receiveTimer; }
    // One receive tick: the link check when due, else a read, then the tick's lines.
    void Timer1Timer();
    // The idle link check: counts down to a quiet reopening of a lost port.
    int CheckLink();

    // --- the lines
    terminal::LineStore &lines() { return m_lines; }
    const terminal::LineStore &lines() const { return m_lines; }
    void ShowRxChar(int &byte, QByteArray &pending);
    void HandleEscape(QByteArray &pending);
    // Adds text to the list as a received line would be (without showing it yet).
    void addToList(int newLine, QStringView text);
    // AddtoList: addToList, then the lines are shown.
    void AddtoList(int newLine, QStringView text);
    // A typed key's echo: successive keys build up one line of codes.
    void echoKey(const QString &echo);
    // Empties the list (File > Clear, or the module's ESC [ 2 J).
    void clearList() override;
    // Tells the view of the lines added since it last heard, if any.
    void showNewLines();
    bool hasUnshownLines() const;

    // --- BGAPI and addresses
    void bgapi_decode(quint8 byte);
    void CaptureInquiry(QByteArrayView line);
    AddressList &addresses() { return m_addresses; }

    // --- sending
    void c_puts(const QString &text);
    void c_write(const QString &text);
    void tx_echo(const QString &text);
    void mc_puts(const QString &text);
    void mc_puts_cmd(const QString &text);
    // Frames a text to a link, echoing each frame when Echo is on.
    void writeFrames(int link, QStringView text);
    // A BGIO packet: framed to the current link in the multiplexing mode, no echo, no CR.
    void writeBgio(const QByteArray &packet);
    // "HexMode Write": each character as its hexadecimal text, in one write.
    void hexWrite(const QString &text);
    // The iWRAP escape "+++" inside its guard times of silence.
    void sendEscapeSequence();
    // The multiplexing mode: entering it, leaving it, and the link frames go to.
    void enterMux();
    void leaveMux();
    void selectLink(const QString &link);

    // --- exact sending: a chosen line end, or bytes
    // The bytes of the line end chosen for the port; CR for "Module".
    QByteArray lineEndBytes() const;
    // Whether a send goes out as multiplexing frames: in the mode, or with link 255 chosen.
    bool framesSends() const;
    // The text, one byte a character, followed by `end` and nothing before it; framed to the
    // selected link when sends are framed. "Module" is the command line of mc_puts. The text
    // becomes the newest history entry.
    void sendText(const QString &text, terminal::LineEnd end);
    // The bytes as they are, framed to the selected link when sends are framed; the echo
    // shows them as the list shows received bytes.
    void sendBytes(QByteArrayView bytes);
    // A text of hexadecimal pairs and quoted text read as bytes and sent; the text becomes the
    // newest history entry. A text that cannot be read sends nothing and says why.
    std::optional<terminal::ByteTextError> sendByteText(const QString &text);
    // Enter typed in the terminal: the chosen line end, byte by byte as typed keys go.
    void sendTypedLineEnd();

    // --- the hex dump
    // The clock the hex dump's blocks are timed by; a test hands in one it moves.
    void setClock(std::unique_ptr<Clock> clock);
    // Called when "Hex dump" changes: switched off, the block ends and text follows the rows.
    void hexDumpSwitched();
    // A row held back by a block that has been quiet long enough is shown now.
    void closeQuietDumpBlock();
    // A row of the hex dump waits for its block to end.
    bool dumpHoldsBytes() const { return m_lineAssembly.dumpHoldsBytes(); }

    // --- the session log
    // The name for a log started now, from the log's clock.
    QString newLogFileName() const;
    terminal::SessionLog::Failure startLog(const QString &path);
    void LogLine(QByteArray &line);
    void AppendToLog(const QByteArray &line);
    void flushLog();

    serial::SerialIo serial;
    ReceivePacer pacer;
    bgapi::BgapiState bgapi;
    terminal::SessionLog sessionLog;
    // The multiplexing link that framed commands go to; 255 is the module itself.
    int mux_link = 0;

signals:
    // New lines are ready for the view.
    void linesReady();
    void listClearing();
    void listCleared();
    // An address for the address label: a scan response's or an inquiry result's.
    void addressFound(const QString &address);
    // The address list's entry to select: the one just found.
    void addressSelected(int row);
    void bgapiMessage(const zorvane::bgapi::Message &message);
    // Texts that went out and belong in the send history, oldest first.
    void historyPushed(const QStringList &texts);
    void logWriteFailed();
    // The link check wants the lost port reopened quietly.
    void reopenDue();
    // The countdown to the next reopening, in seconds.
    void countdownSecond(double seconds);

private:
    void captureInquiry(QByteArrayView line) override { CaptureInquiry(line); }
    void bgapiDecode(quint8 byte) override { bgapi_decode(byte); }
    bool takeBgapiPacketDone() override { return bgapi.rx.takePacketDone(); }
    void logLine(QByteArray &text) override { LogLine(text); }

    void onReceiveTimer();
    // One echo line of a sent text, when Echo is on.
    void echo(const QString &line);
    // Shows a held row once its block has been quiet for the gap, even if no bytes come.
    void watchDumpGap();
    void sleepUntilBytes();
    void wakeReceiveTimer(int afterMs);
    void checkLinkWhileAsleep();
    bool asleep() const;

    const OptionsSource *m_source = nullptr;
    SessionOptions m_options;
    QString m_logPath;
    terminal::LineStore m_lines;
    terminal::LineAssembly m_lineAssembly;
    AddressList m_addresses;
    QTimer *m_receiveTimer = nullptr;
    // While the receive timer sleeps, until the device has bytes, the link is checked by
    // this coarse timer instead: it runs exactly while the receive timer sleeps.
    QTimer *m_sleepingLinkCheck = nullptr;
    // Shows lines that came just before the timer stopped once their refresh is due.
    QTimer *m_pendingRefresh = nullptr;
    // What the view was last told: rows, and the last row's length then.
    qsizetype m_shownRows = 0;
    qsizetype m_shownLastLength = 0;
    // Set while a receive event runs its ticks: logged lines wait for its end to be written.
    bool m_logBatching = false;
    // The switches as the receive event read them at its start: nothing can change a switch
    // while the event runs, and asking the window again for every tick costs a flood.
    std::optional<terminal::ReceiveOptions> m_eventOptions;
    terminal::ReceiveOptions tickOptions() const;
    std::unique_ptr<Clock> m_clock;
    QTimer *m_dumpGap = nullptr;
};

} // namespace zorvane::session
