#pragma once

#include "bgapi/BgapiState.h"
#include "serial/Serial_io.h"
#include "session/AddressList.h"
#include "session/Clock.h"
#include "session/Connection.h"
#include "session/ReceivePacer.h"
#include "session/SessionOptions.h"
#include "terminal/ByteText.h"
#include "terminal/CommandTables.h"
#include "terminal/LineAssembly.h"
#include "terminal/LineStore.h"
#include "terminal/SessionLog.h"

#include <QObject>
#include <QStringList>

#include <functional>
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

    // --- the connection: which port is open, with which line settings
    Connection &connection() { return m_connection; }
    const Connection &connection() const { return m_connection; }

    // --- the receive timer: its events read the link, its pace is the pacer's
    void start();
    void stop();
    QTimer *receiveTimer() const { return m_receiveTimer; }
    // One receive tick: the link check when due, else a read, then the tick's lines.
    void Timer1Timer();
    // The idle link check: counts down to a quiet reopening of a lost port.
    int CheckLink();

    // --- the lines
    // Where lines and the serial unit read the time of day (ms since the epoch) for arrival
    // times; tests hand in a clock they move.
    void setArrivalClock(terminal::LineStore::Clock clock)
    {
        m_lines.setClock(clock);
        m_serial.setWallClock(clock);
    }
    terminal::LineStore &lines() { return m_lines; }
    const terminal::LineStore &lines() const { return m_lines; }
    void ShowRxChar(int &byte, QByteArray &pending);
    void HandleEscape(QByteArray &pending);
    // Adds text to the list as a received line would be (without showing it yet).
    void appendToList(int newLine, QStringView text);
    // AddtoList: appendToList, then the lines are shown.
    void AddtoList(int newLine, QStringView text);
    // A typed key's echo: successive keys build up one line of codes.
    void echoKey(const QString &echo);
    // Empties the list (File > Clear, or the module's ESC [ 2 J).
    void clearList() override;
    // Tells the view of the lines added since it last heard, if any.
    void showNewLines();
    bool hasUnshownLines() const;
    // Shows lines added outside a receive event (the echo of what was sent) at the next turn
    // of the event loop; several added in one turn are shown together.
    void showSoon();

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
    // A Commands menu baud item: the module is told its new rate first, then the port
    // follows and the module is asked whether both sides agree.
    void changeBaudRate(const QString &command, int rate, int parity);

    // --- what each control sends, one call per action
    // A typed key's byte goes out at once, echoed when Echo is on; a CR puts the keys typed
    // since the history last moved into the send history.
    void typeByte(char16_t code);
    // A history key (up or down) sends the send box's text as a command line, echoing the
    // key's code.
    void typeHistoryKey(const QString &boxText, char16_t code);
    // The keys typed since the history last moved.
    QString keyLine() const { return m_keyLine; }
    // The send box's text: one module command (closed by CR in the multiplexing mode), or in
    // "HexMode Write" each character as its hexadecimal text, of which the newest
    // `historySlots` go into the history.
    void sendBoxText(const QString &boxText, int historySlots);
    // One command of the Commands menu or a toolbar, as its table entry says. The escape is
    // sendEscapeSequence, which the window may refuse in the multiplexing mode first.
    void sendCommand(const terminal::ModuleCommand &command,
                     const terminal::CommandContext &context);
    // A PIO icon button: its iWRAP command, and once a BGIO connection was called its packet.
    void sendPio(const terminal::PioButton &button);
    // The BGIO set-PIO packet, and the direction packet for all pins.
    void setBgioPins(int value);
    void setBgioDirections();
    // Set by Call BGIO: the PIO icon buttons then also send BGIO packets.
    bool bgioCalled() const { return m_bgioCalled; }
    void setBgioCalled(bool called) { m_bgioCalled = called; }
    // The value last given to setBgioPins; only its low 8 bits ever go on the wire.
    int pioValue() const { return m_pioValue; }
    // Texts for the send history, oldest first; the typed keys start a new line after them.
    void pushHistory(const QStringList &texts);
    // A BGAPI command packet as a command line (echo included; no CR follows it while the
    // BGAPI window decodes).
    void sendBgapiPacket(const QByteArray &packet);
    // BGAPI packets in order with a pause between them that holds everything, the receive
    // loop included, so the module gets them spaced out and its answers are decoded once
    // the whole sequence is out.
    void sendBgapiSequence(const QList<QByteArray> &packets);
    // The multiplexing mode: entering it, leaving it, and the link frames go to.
    void enterMux();
    void leaveMux();
    void selectLink(const QString &link);

    // --- a file transfer's protocol
    // While set, every received byte goes here instead of to the list, the log, the BGAPI
    // decoder and the multiplexing parser, and arriving bytes are read at once; empty ends it.
    using ReceiveDiversion = std::function<void(QByteArrayView)>;
    void setReceiveDiversion(ReceiveDiversion diversion) { m_diversion = std::move(diversion); }
    bool diverting() const { return bool(m_diversion); }
    // A line of the session's own in the list (a transfer's start and end), shown at once.
    void addNote(const QString &text);
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
    // The program ends: the open line goes to the log as it stands, while logging.
    void logOpenLine();

    // --- its parts
    serial::SerialIo &serial() { return m_serial; }
    const serial::SerialIo &serial() const { return m_serial; }
    ReceivePacer &pacer() { return m_pacer; }
    bgapi::BgapiState &bgapi() { return m_bgapi; }
    terminal::SessionLog &sessionLog() { return m_sessionLog; }
    // The multiplexing link that framed commands go to; 255 is the module itself.
    int muxLink() const { return m_muxLink; }
    void setMuxLink(int link) { m_muxLink = link; }

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
    // Each batch of bytes read from the device, as read, for a reader that keeps its own copy
    // (a script's expect); the lines, the log and the decoder get them as before.
    void bytesReceived(const QByteArray &bytes);

private:
    void inquiryLineDone(QByteArrayView line) override { CaptureInquiry(line); }
    void feedBgapiDecoder(quint8 byte) override { bgapi_decode(byte); }
    bool takeBgapiPacketDone() override { return m_bgapi.rx.takePacketDone(); }
    void writeLogLine(QByteArray &text) override { LogLine(text); }

    void onReceiveTimer();
    void divert(int first);
    // One echo line of a sent text, when Echo is on.
    void echo(const QString &line);
    // Shows a held row once its block has been quiet for the gap, even if no bytes come.
    void watchDumpGap();
    void sleepUntilBytes();
    void wakeReceiveTimer(int afterMs);
    void checkLinkWhileAsleep();
    bool asleep() const;
    void echoTypedKey(char16_t code);

    serial::SerialIo m_serial;
    ReceivePacer m_pacer;
    bgapi::BgapiState m_bgapi;
    terminal::SessionLog m_sessionLog;
    int m_muxLink = 0;
    Connection m_connection{m_serial};
    QString m_keyLine;
    bool m_bgioCalled = false;
    int m_pioValue = 0;
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
    bool m_showSoonPosted = false;
    // What the view was last told: rows, and the last row's length then.
    qsizetype m_shownRows = 0;
    qsizetype m_shownLastLength = 0;
    // Set while a receive event runs its ticks: logged lines wait for its end to be written.
    bool m_logBatching = false;
    // The switches as the receive event read them at its start: nothing can change a switch
    // while the event runs, and asking the window again for every tick costs a flood.
    std::optional<terminal::ReceiveOptions> m_eventOptions;
    terminal::ReceiveOptions tickOptions() const;
    ReceiveDiversion m_diversion;
    std::unique_ptr<Clock> m_clock;
    QTimer *m_dumpGap = nullptr;
};

} // namespace zorvane::session
