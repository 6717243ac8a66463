#include "TextModule.h"

#include "BgapiModule.h"
#include "SimDevices.h"
#include "terminal/MuxFrame.h"

#include <QRegularExpression>

#include <algorithm>

namespace zorvane::sim {

namespace {

using terminal::MuxFrame;

constexpr qsizetype kMaxLine = 256;
// A frame or packet left unfinished this long is dropped, so a cut one cannot swallow the next.
constexpr qint64 kStaleMs = 300;
constexpr qint64 kEscapeGuardMs = 900;
constexpr qint64 kBootMs = 300;
constexpr qint64 kInquiryMs = 1200;
constexpr qint64 kNameMs = 1600;
constexpr qint64 kConnectMs = 500;
constexpr int kMaxLinks = 7;
constexpr int kBgioSize = 7;

const QByteArray kSyntaxError = "SYNTAX ERROR";

// Whole-line answers that need no state; adding one is a line here.
struct FixedAnswer
{
    const char *command; // upper case
    const char *answer;  // lines separated by \n
};
constexpr FixedAnswer kFixedAnswers[] = {
    {"AT", "OK"},
    {"AT+VER=?", "ZV-WIFI-SIM 2.4.1\nOK"},
    {"AT+VER=??", "ZV-WIFI-SIM 2.4.1\nRADIO 1.8.0\nBOOT 1.0.3\nOK"},
    {"BOOT 0", "READY."},
    {"IC", "INQUIRY 0"},
};

struct CommandEntry
{
    const char *word; // first word, upper case
    void (TextModule::*handler)(const TextModule::Args &, qint64);
};
constexpr CommandEntry kCommands[] = {
    {"RESET", &TextModule::reset},     {"SET", &TextModule::settings},
    {"INQUIRY", &TextModule::inquiry}, {"CALL", &TextModule::call},
    {"LIST", &TextModule::list},       {"SELECT", &TextModule::select},
    {"CLOSE", &TextModule::close},     {"PIO", &TextModule::pio},
    {"INFO", &TextModule::info},
};

const QList<QByteArray> kDefaultSettings = {
    "SET BT BDADDR 02:5A:10:00:00:01",
    "SET BT NAME ZV Sim Module",
    "SET BT CLASS 001F00",
    "SET BT AUTH * 0000",
    "SET BT PAGEMODE 3 2000 1",
    "SET CONTROL BAUD 115200,8N1",
    "SET CONTROL ECHO 7",
    "SET PROFILE SPP Bluetooth Serial Port",
};

QList<QByteArray> lines(const char *text)
{
    return QByteArray(text).split('\n');
}

std::optional<int> number(const QByteArray &text, int base = 10)
{
    bool ok = false;
    const int value = text.toInt(&ok, base);
    return ok ? std::optional<int>(value) : std::nullopt;
}

bool isAddress(const QByteArray &text)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9A-Fa-f]{2}:){5}[0-9A-Fa-f]{2}$"));
    return pattern.match(QString::fromLatin1(text)).hasMatch();
}

QByteArray hex2(int value)
{
    return QByteArray::number(value & 0xFF, 16).toUpper().rightJustified(2, '0');
}

} // namespace

TextModule::TextModule() : m_settings(kDefaultSettings) {}

TextModule::Result TextModule::receive(QByteArrayView bytes, qint64 nowMs)
{
    Result result;
    checkEscape(nowMs);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        take(quint8(bytes[i]), nowMs, result);
        if (!result.bgapi.isEmpty()) {
            result.consumed = i + 1;
            result.out = std::exchange(m_out, {});
            return result;
        }
    }
    result.consumed = bytes.size();
    result.out = std::exchange(m_out, {});
    return result;
}

void TextModule::take(quint8 byte, qint64 now, Result &result)
{
    const bool stale = m_lastByteMs >= 0 && now - m_lastByteMs > kStaleMs;
    if (stale) {
        m_binary.clear();
        m_frame.clear();
    }
    // "+++" after a silence: the escape completes if the silence goes on after it.
    const bool silentBefore = m_lastByteMs < 0 || now - m_lastByteMs >= kEscapeGuardMs;
    m_escapeAt = -1;
    if (byte == '+' && !m_mux && (m_plusCount > 0 || silentBefore)) {
        if (++m_plusCount == 3)
            m_escapeAt = now + kEscapeGuardMs;
    } else {
        m_plusCount = 0;
    }
    m_lastByteMs = now;

    if (m_mux)
        takeMuxByte(byte, now);
    else if (m_dataLink >= 0)
        m_out.append(char(byte)); // the far device echoes what it gets
    else
        takeCommandByte(byte, now, result);
}

void TextModule::checkEscape(qint64 now)
{
    if (m_escapeAt < 0 || now < m_escapeAt)
        return;
    m_escapeAt = -1;
    m_plusCount = 0;
    if (m_dataLink >= 0) {
        m_dataLink = -1;
        m_line.clear();
        answer({"READY."});
    } else {
        if (m_line.endsWith("+++"))
            m_line.chop(3);
        if (!m_links.empty())
            m_dataLink = m_links.rbegin()->first;
    }
}

void TextModule::takeCommandByte(quint8 byte, qint64 now, Result &result)
{
    if (!m_binary.isEmpty() || (byte == 0x00 && m_line.isEmpty())) {
        takeBinaryByte(byte, result);
        return;
    }
    if (byte == '\r' || byte == '\n') {
        if (!m_lineTooLong)
            command(m_line, now);
        m_line.clear();
        m_lineTooLong = false;
        return;
    }
    if (m_line.size() >= kMaxLine) {
        m_lineTooLong = true;
        m_line.clear();
    }
    if (!m_lineTooLong)
        m_line.append(char(byte));
}

// Between lines a 0x00 byte starts a binary packet: a BGIO packet (7 bytes, set pins or
// directions) or a BGAPI command, which is handed to the BGAPI side.
void TextModule::takeBinaryByte(quint8 byte, Result &result)
{
    m_binary.append(char(byte));
    if (m_binary.size() < bgapi::kHeaderSize)
        return;
    const int length = quint8(m_binary[1]);
    const bool isBgio =
        length == 5 && ((quint8(m_binary[2]) == 0x04 && quint8(m_binary[3]) == 0xFC) ||
                        quint8(m_binary[2]) == 0x07);
    const qsizetype total = isBgio ? kBgioSize : length + bgapi::kHeaderSize;
    if (m_binary.size() < total)
        return;
    if (isBgio)
        bgio(m_binary);
    else if (BgapiModule::isCommand(m_binary))
        result.bgapi = m_binary;
    m_binary.clear();
}

void TextModule::takeMuxByte(quint8 byte, qint64 now)
{
    if (m_frame.isEmpty() && byte != MuxFrame::kStart)
        return; // nothing outside frames is read
    m_frame.append(char(byte));
    if (m_frame.size() < 4 || m_frame.size() < 5 + quint8(m_frame[3]))
        return;
    const int link = quint8(m_frame[1]);
    const bool sound = m_frame[2] == 0 && quint8(m_frame.back()) == (link ^ 0xFF);
    if (!sound) {
        // Look for the next start byte inside what was taken for a frame.
        const QByteArray rest = m_frame.mid(1);
        m_frame.clear();
        for (const char c : rest)
            takeMuxByte(quint8(c), now);
        return;
    }
    const QByteArray data = m_frame.mid(4, quint8(m_frame[3]));
    m_frame.clear();
    frameDone(link, data, now);
}

void TextModule::frameDone(int link, const QByteArray &data, qint64 now)
{
    if (link == MuxFrame::kControlLink) {
        for (const QByteArray &line : data.split('\r'))
            command(line.trimmed(), now);
        return;
    }
    if (!m_links.contains(link))
        return;
    if (data.size() == kBgioSize && data[0] == 0 && bgio(data))
        return;
    m_out += MuxFrame::frames(link, data); // the far device echoes
}

bool TextModule::bgio(QByteArrayView packet)
{
    if (packet.size() != kBgioSize || packet[1] != 5)
        return false;
    if (quint8(packet[2]) == 0x04) {
        const quint8 mask = quint8(packet[3]);
        m_pins = quint8((m_pins & ~mask) | (quint8(packet[5]) & mask));
        return true;
    }
    if (quint8(packet[2]) == 0x07) {
        m_directions = quint8(packet[3]);
        return true;
    }
    return false;
}

void TextModule::command(const QByteArray &rawLine, qint64 now)
{
    const QByteArray line = rawLine.trimmed();
    // Empty lines, and the escape-delimited data of the Wi-Fi module, draw no answer.
    if (line.isEmpty() || line.startsWith('\x1b'))
        return;
    const QByteArray upper = line.toUpper();
    for (const FixedAnswer &fixed : kFixedAnswers) {
        if (upper == fixed.command) {
            answer(lines(fixed.answer));
            return;
        }
    }
    const Args args = line.simplified().split(' ');
    const QByteArray word = args.first().toUpper();
    for (const CommandEntry &entry : kCommands) {
        if (word == entry.word) {
            (this->*entry.handler)(args.mid(1), now);
            return;
        }
    }
    if (word.startsWith("AT")) {
        answer({"OK"});
        return;
    }
    answer({kSyntaxError});
}

void TextModule::reset(const Args &, qint64 now)
{
    m_mux = false;
    m_dataLink = -1;
    m_links.clear();
    m_pending.clear();
    m_frame.clear();
    later(now + kBootMs, {"ZV-SIM Bluetooth module simulator 0.9 build 16",
                          "Simulated in software, no radio inside", "READY."});
}

void TextModule::settings(const Args &args, qint64)
{
    if (args.isEmpty()) {
        answer(m_settings);
        return;
    }
    const QByteArray joined = args.join(' ').toUpper();
    if (joined == "CONTROL MUX 1" || joined == "CONTROL MUX 0") {
        m_mux = joined.endsWith('1');
        m_frame.clear();
        m_dataLink = -1;
        return;
    }
    if (args.size() < 2) {
        answer({kSyntaxError});
        return;
    }
    // A setting replaces the one with the same first two words.
    const QByteArray key = "SET " + args[0].toUpper() + ' ' + args[1].toUpper();
    const QByteArray entry = "SET " + args.join(' ');
    const auto same = [&key](const QByteArray &s) { return s.toUpper().startsWith(key); };
    const auto found = std::find_if(m_settings.begin(), m_settings.end(), same);
    if (found != m_settings.end())
        *found = entry;
    else
        m_settings.append(entry);
}

void TextModule::inquiry(const Args &args, qint64 now)
{
    const auto seconds = args.isEmpty() ? std::nullopt : number(args[0]);
    if (!seconds || *seconds < 1 || *seconds > 48) {
        answer({kSyntaxError});
        return;
    }
    QList<QByteArray> found{"INQUIRY " + QByteArray::number(int(kClassicDevices.size()))};
    QList<QByteArray> names;
    for (const ClassicDevice &device : kClassicDevices) {
        found.append(QByteArray("INQUIRY ") + device.address + ' ' + device.deviceClass);
        names.append(QByteArray("NAME ") + device.address + " \"" + device.name + '"');
    }
    later(now + kInquiryMs, found);
    if (args.size() > 1 && args[1].toUpper() == "NAME")
        later(now + kNameMs, names);
}

void TextModule::call(const Args &args, qint64 now)
{
    if (args.isEmpty() || !isAddress(args[0])) {
        answer({kSyntaxError});
        return;
    }
    int link = 0;
    while (link < kMaxLinks && m_links.contains(link))
        ++link;
    if (link == kMaxLinks) {
        answer({"NO CARRIER " + QByteArray::number(kMaxLinks) + " ERROR 1 NO_FREE_LINK"});
        return;
    }
    const QByteArray address = args[0].toUpper();
    const QByteArray n = QByteArray::number(link);
    m_links[link] = address;
    answer({"CALL " + n});
    const bool known =
        std::any_of(kClassicDevices.begin(), kClassicDevices.end(),
                    [&address](const ClassicDevice &d) { return address == d.address; });
    if (!known) {
        later(now + kConnectMs, {"NO CARRIER " + n + " ERROR 2 NOT_FOUND"},
              [this, link] { m_links.erase(link); });
        return;
    }
    later(now + kConnectMs, {"CONNECT " + n + " RFCOMM 1"}, [this, link] {
        // Without the multiplexing mode a new connection takes the line as data.
        if (!m_mux && m_links.contains(link))
            m_dataLink = link;
    });
}

void TextModule::list(const Args &, qint64)
{
    QList<QByteArray> out{"LIST " + QByteArray::number(int(m_links.size()))};
    for (const auto &[link, address] : m_links)
        out.append("LIST " + QByteArray::number(link) + " CONNECTED RFCOMM " + address +
                   " OUTGOING");
    answer(out);
}

void TextModule::select(const Args &args, qint64)
{
    const auto link = args.isEmpty() ? std::nullopt : number(args[0]);
    if (!link || !m_links.contains(*link)) {
        answer({"NO SUCH LINK " + (args.isEmpty() ? QByteArray() : args[0])});
        return;
    }
    if (!m_mux)
        m_dataLink = *link;
}

void TextModule::close(const Args &args, qint64)
{
    const auto link = args.isEmpty() ? std::nullopt : number(args[0]);
    if (!link || !m_links.contains(*link)) {
        answer({"NO SUCH LINK " + (args.isEmpty() ? QByteArray() : args[0])});
        return;
    }
    m_links.erase(*link);
    answer({"NO CARRIER " + QByteArray::number(*link) + " ERROR 0 CLOSED"});
}

void TextModule::pio(const Args &args, qint64)
{
    const QByteArray what = args.value(0).toUpper();
    if (what == "GET" && args.size() == 1) {
        answer({"PIO GET " + hex2(m_pins)});
    } else if (what == "GETDIR" && args.size() == 1) {
        answer({"PIO GETDIR " + hex2(m_directions)});
    } else if ((what == "SET" || what == "SETDIR") && args.size() == 3) {
        const auto mask = number(args[1], 16);
        const auto value = number(args[2], 16);
        if (!mask || !value) {
            answer({kSyntaxError});
            return;
        }
        quint8 &target = what == "SET" ? m_pins : m_directions;
        target = quint8((target & ~*mask) | (*value & *mask));
    } else {
        answer({kSyntaxError});
    }
}

void TextModule::info(const Args &, qint64)
{
    answer({"ZV-SIM Bluetooth module simulator 0.9 build 16", "Simulated in software",
            "Profiles: SPP HID BGIO", "READY."});
}

void TextModule::answer(const QList<QByteArray> &lines)
{
    m_out += wrap(lines);
}

void TextModule::later(qint64 at, QList<QByteArray> lines, std::function<void()> then)
{
    const auto after = std::upper_bound(m_pending.begin(), m_pending.end(), at,
                                        [](qint64 t, const Pending &p) { return t < p.at; });
    m_pending.insert(after, Pending{at, std::move(lines), std::move(then)});
}

// Answers go out in frames to the control link while the multiplexing mode is on.
QByteArray TextModule::wrap(const QList<QByteArray> &lines) const
{
    QByteArray out;
    for (const QByteArray &line : lines) {
        const QByteArray text = line + "\r\n";
        out += m_mux ? MuxFrame::frames(MuxFrame::kControlLink, text) : text;
    }
    return out;
}

QByteArray TextModule::due(qint64 nowMs)
{
    checkEscape(nowMs);
    while (!m_pending.isEmpty() && m_pending.first().at <= nowMs) {
        const Pending pending = m_pending.takeFirst();
        answer(pending.lines);
        if (pending.then)
            pending.then();
    }
    return std::exchange(m_out, {});
}

qint64 TextModule::nextDueMs() const
{
    qint64 next = m_pending.isEmpty() ? -1 : m_pending.first().at;
    if (m_escapeAt >= 0 && (next < 0 || m_escapeAt < next))
        next = m_escapeAt;
    return next;
}

} // namespace zorvane::sim
