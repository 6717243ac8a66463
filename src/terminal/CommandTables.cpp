#include "terminal/CommandTables.h"

#include <array>
#include <utility>

namespace zorvane::terminal {

namespace {

using S = CommandSend;

ModuleCommand command(const char *name, const char *caption, const char *text)
{
    return {QLatin1String(name), QLatin1String(caption), S::Command, {QLatin1String(text)}};
}

ModuleCommand sent(const char *name, const char *caption, S how, QStringList texts = {},
                   int value = 0, int parity = 0)
{
    return {QLatin1String(name), QLatin1String(caption), how, std::move(texts), value, parity};
}

ModuleCommand gainSpan(const char *name, const char *caption, QStringList texts)
{
    return {QLatin1String(name), QLatin1String(caption), S::GainSpan, std::move(texts)};
}

// The 128-bit service identifier of the BGIO profile.
#define BGIO_UUID "af5c7d47-350b-45f6-bdf6-b403441edb77"

} // namespace

const QList<ModuleCommand> &commandsMenu()
{
    static const QList<ModuleCommand> items = {
        sent("set9600", "9600", S::BaudChange, {"SET CONTROL BAUD 9600,8n1"}, 9600, 0),
        sent("set19200", "19200", S::BaudChange, {"SET CONTROL BAUD 19200,8n1"}, 19200, 0),
        sent("set38400", "38400", S::BaudChange, {"SET CONTROL BAUD 38400,8n1"}, 38400, 0),
        sent("set38400e", "38400 8E1", S::BaudChange, {"SET CONTROL BAUD 38400,8e1"}, 38400, 2),
        sent("set57600", "57600", S::BaudChange, {"SET CONTROL BAUD 57600,8n1"}, 57600, 0),
        sent("set115200", "115200", S::BaudChange, {"SET CONTROL BAUD 115200,8n1"}, 115200, 0),
        command("SetUARTLATENCY", "UART LATENCY", "SET CONTROL CONFIG 4000"),
        command("SetCONTROLCONFIG", "CONTROL CONFIG", "SET CONTROL CONFIG LIST"),
        command("setBTSNIFF", "SET BT SNIFF", "SET BT SNIFF 4 2"),
        command("setBTPAIR", "SET BT PAIR *", "SET BT PAIR *"),
        command("AUTOCALLOFF", "AUTOCALL OFF", "SET CONTROL AUTOCALL"),
        sent("setHIDTest", "HID Test", S::Numbered, {"{n}. 123,456,789"}, 50),
        command("setBTAUTH", "SET BT AUTH *", "SET BT AUTH *"),
        command("setBTAUTH9357", "SET BT AUTH 9357", "SET BT AUTH * 9357"),
        command("CommandS", "S<LF>", "S\r\n"),
    };
    return items;
}

const QList<ModuleCommand> &sppToolbar()
{
    static const QList<ModuleCommand> items = {
        command("BCall", "Call SPP", "CALL {address} 1101 RFCOMM"),
        sent("Button1", "SPP AutoCall", S::Line, {"SET CONTROL AUTOCALL 1101 5000 RFCOMM"}),
        command("Button2", "SPP On", "SET PROFILE SPP ON"),
        command("Button3", "SPP Off", "SET PROFILE SPP"),
        command("BSSP", "SSP 3 0 ", "SET BT SSP 3 0"),
        command("BPageMode", "PageMode", "SET BT PAGEMODE 4 2000 1"),
        sent("BCMD", "Cmd / Data", S::Escape),
    };
    return items;
}

const QList<ModuleCommand> &bgioToolbar()
{
    static const QList<ModuleCommand> items = {
        sent("CallBGIO", "Call BGIO", S::CallBgio, {"CALL {label} " BGIO_UUID " RFCOMM"}),
        sent("BGIOAutocall", "BGIO AutoCall", S::Line,
             {"SET CONTROL AUTOCALL " BGIO_UUID " 5000 RFCOMM"}),
        command("BGIOON", "BGIO ON", "SET PROFILE BGIO ON"),
        command("BGIOOFF", "BGIO OFF", "SET PROFILE BGIO"),
        sent("BSetDir", "SET DIR", S::BgioDirection, {}, 0xFF),
        sent("BSetPIO", "SET PIO", S::BgioPins, {}, 0xFC),
        sent("BCLRPIO", "CLR PIO", S::BgioPins, {}, 0),
        sent("INCPIO", "INC PIO", S::BgioNextPins, {}, 4),
    };
    return items;
}

const QList<ModuleCommand> &hidToolbar()
{
    static const QList<ModuleCommand> items = {
        command("BCallHID", "Call HID", "CALL {address} 11 HID"),
        command("BPAIR", "PAIR", "PAIR {address}"),
        command("BHIDON", "HID ON", "SET PROFILE HID ON"),
        command("BHIDOFF", "HID OFF", "SET PROFILE HID"),
    };
    return items;
}

const QList<QList<ModuleCommand>> &gainSpanRows()
{
    static const QList<QList<ModuleCommand>> rows = {
        {
            gainSpan("GsVersion", "Version", {"AT+VER=?"}),
            gainSpan("GsStatus", "Status", {"AT+NSTAT=?"}),
            gainSpan("GsDHCP", "DCHP Enable", {"AT+NDHCP=1"}),
            gainSpan("GsScanTime", "Scan Time", {"ATS5=999"}),
            gainSpan("GsScan", "Scan", {"AT+WS"}),
            gainSpan("GsNSet", "NSET", {"AT+NSET=192.168.1.1,255.255.255.0,192.168.1.1"}),
            gainSpan("GsWA", "WA", {"AT+WA=Wrenfield,,6"}),
            gainSpan("GsWEBPROV", "PROV", {"AT+WEBPROV={user},{password}"}),
            gainSpan("GsWebS", "WebS", {"AT+WEBSERVER=1,{user},{password},0,5,120"}),
            gainSpan("GsNSTCP", "NSTCP", {"AT+NSTCP=9003"}),
            gainSpan("GsHello", "Hello", {"{esc}S{channel}Hello{esc}E"}),
        },
        {
            gainSpan("GsVerr", "Ver+", {"AT+VER=??"}),
            gainSpan("MDStop", "MDStop", {"AT+MDNSSTOP"}),
            gainSpan("GsDHCPSOff", "DHCP Off", {"AT+DHCPSRVR=0"}),
            gainSpan("GsPROVOff", " PROV Off", {"AT+WEBPROVSTOP"}),
        },
        {
            gainSpan("GsCID", "CID", {"AT+CID=?"}),
            gainSpan("GsDHCPOff", "DCHP Off", {"AT+NDHCP=0"}),
            gainSpan("GsNSETA", "168.8.1", {"AT+NSET=192.168.8.1,255.255.255.0,192.168.8.1"}),
            gainSpan("GsWM2", "WM", {"AT+WM=2"}),
            gainSpan("GsWAEx", "WA", {"AT+WA=example_gslink,,11"}),
            gainSpan("DHCPServe", "DHCP", {"AT+DHCPSRVR=1"}),
            gainSpan("GsWebsA", "WebS", {"AT+WEBSERVER=1,{user},{password}"}),
            gainSpan("GsURI", "URI", {"at+urirecv=/example"}),
            gainSpan("GsXML", "XML", {"AT+XMLPARSE=1"}),
            gainSpan("GsMDNS", "MDStart", {"AT+MDNSSTART"}),
            gainSpan("GsHnreg", "MDHnreg", {"AT+MDNSHNREG=example_gslink,local"}),
            gainSpan("GsServer", "MdServer",
                     {"at+mdnssrvreg=example,,_http,_tcp,local,80,0,"
                      "api=gs_profile_example:0.7.0:/example,path=/example"}),
            gainSpan("GsAnnounce", "MdAnn", {"at+mdnsannounce"}),
            gainSpan("GsFile", "File",
                     {"at+xmlsend=0,6,100,/example,example,4", "{esc}G00007temp:22",
                      "{esc}G00009light:31", "{esc}G00015acc:924,803,228", "{esc}G00006leds:1"}),
        },
    };
    return rows;
}

const QList<PioButton> &pioButtons()
{
    static const QList<PioButton> buttons = {
        {"SetOutput", ":/pio/set_output.svg", "Set PIO direction", "PIO SETDIR FC FC", true, 0},
        {"Set_ON", ":/pio/pio_on.svg", "PIO on", "PIO SET FC FC", false, 0xFC},
        {"Set_Off", ":/pio/pio_off.svg", "PIO off", "PIO SET FC 00", false, 0},
        {"Set55", ":/pio/pio_55.svg", "PIO pattern 55", "PIO SET FC 55", false, 0x55},
        {"SetAA", ":/pio/pio_aa.svg", "PIO pattern AA", "PIO SET FC AA", false, 0xAA},
    };
    return buttons;
}

const QStringList &iwrapCommandList()
{
    static const QStringList lines = {
        "// IWRAP COMMANDS",
        "+++ /// command/data interface toggle",
        "AIO 4 // Analog Input output reference",
        "AT // Attention - replies OK",
        "AUTH [MAC] PIN",
        "BER 0 // bit error rate on CH0",
        "BLINK 80 100 100 // blink PIO7 at 256ms on/off",
        "BOOT 0",
        "CALL [MAC] 1101 RFCOMM",
        "CLOCK 0",
        "CLOSE 0",
        "CONNAUTH [MAC] 3 0",
        "CONNECT 0 1",
        "ECHO 0 DATA ",
        "DEFRAG // defragment and reset",
        "DELAY 0 60000 SET BT PAGEMODE 0",
        "HID GET",
        "HID SET",
        "INQUIRY 1 NAME LAP 9E8B00",
        "INQUIRY 5 NAME",
        "IC // INQUIRY CANCEL",
        "IDENT [MAC] // Identify",
        "INFO",
        "KILL [MAC]",
        "L2CAP 37",
        "LIST // list active connections",
        "NAME [MAC] // reveal BT name",
        "PAIR [MAC] // Pair with BT name",
        "PIO GET // Digital IO get states",
        "PIO GETDIR // Digital IO get direction",
        "PIO GETBIAS",
        "PLAY OK",
        "RFCOMM CREATE",
        "RESET",
        "RSSI 0 // Receiver Signal Strength of CH0",
        "SCO ENABLE",
        "SCO OPEN 0",
        "SDP [MAC] 1002",
        "SDP ADD 1103 Dial-up Networking",
        "SELECT 0",
        "SELECT 1",
        "SELECT 2",
        "SET",
        "SET BT AUTH * 9357",
        "SET BT AUTH *",
        "SET BT BDADDR",
        "SET BT CLASS AUTO",
        "SET BT FILTER 0500 1F00",
        "SET BT FILTER 0 0 -65",
        "SET BT FILTER",
        "SET BT IDENT BT:47 f000 5.0.0 My Description String",
        "SET BT NAME Testing",
        "SET BT NAME",
    };
    return lines;
}

QString expandCommand(QStringView text, const CommandContext &context)
{
    const std::array<std::pair<QLatin1String, QString>, 6> fills = {{
        {QLatin1String("{address}"), context.address},
        {QLatin1String("{label}"), context.label},
        {QLatin1String("{channel}"), context.channel},
        {QLatin1String("{user}"), QLatin1String(kGainSpanWebUser)},
        {QLatin1String("{password}"), QLatin1String(kGainSpanWebPassword)},
        {QLatin1String("{esc}"), QString(QChar(27))},
    }};
    QString out;
    out.reserve(text.size());
    qsizetype at = 0;
    while (at < text.size()) {
        bool filled = false;
        if (text[at] == u'{') {
            for (const auto &[token, value] : fills) {
                if (text.mid(at).startsWith(token)) {
                    out += value;
                    at += token.size();
                    filled = true;
                    break;
                }
            }
        }
        if (!filled)
            out += text[at++];
    }
    return out;
}

QString listLineCommand(QStringView line)
{
    const qsizetype comment = line.indexOf(QLatin1String("//"));
    QStringView command = comment < 0 ? line : line.first(comment);
    // Spaces and control characters count as blank at either end.
    auto blank = [](QChar c) { return c.unicode() <= 32; };
    while (!command.isEmpty() && blank(command.front()))
        command = command.sliced(1);
    while (!command.isEmpty() && blank(command.back()))
        command.chop(1);
    return command.toString();
}

std::optional<ModuleCommand> findCommand(const QString &name)
{
    QList<const QList<ModuleCommand> *> tables = {&commandsMenu(), &sppToolbar(), &bgioToolbar(),
                                                  &hidToolbar()};
    for (const QList<ModuleCommand> &row : gainSpanRows())
        tables << &row;
    for (const QList<ModuleCommand> *table : tables) {
        for (const ModuleCommand &command : *table) {
            if (command.caption == name || command.name == name)
                return command;
        }
    }
    return std::nullopt;
}

} // namespace zorvane::terminal
