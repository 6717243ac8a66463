// The module simulator on byte streams: text answers, frames per link, BGAPI answers read back
// with the program's own decoder, and bytes it must survive.
#include "ModuleSim.h"

#include "bgapi/Commands.h"
#include "bgapi/LoggerReading.h"
#include "bgapi/Messages.h"
#include "bgapi/PacketAssembly.h"
#include "terminal/MuxFrame.h"

#include <QRandomGenerator>
#include <QTest>

using namespace zorvane;
using sim::ModuleSim;
using terminal::MuxFrame;

namespace {

// Everything the module says to `input`, given at `at`, up to `until`.
QByteArray exchange(ModuleSim &module, const QByteArray &input, qint64 at, qint64 until)
{
    QByteArray out = module.receive(input, at);
    for (qint64 t = at; t <= until; t += 10)
        out += module.due(t);
    return out;
}

QList<bgapi::Message> decode(const QByteArray &bytes)
{
    bgapi::PacketAssembly assembly;
    QList<bgapi::Message> messages;
    for (const char byte : bytes) {
        if (!assembly.add(quint8(byte)))
            continue;
        const auto message = bgapi::interpret(assembly.packet());
        if (message)
            messages.append(*message);
    }
    return messages;
}

template <typename T> QList<T> only(const QList<bgapi::Message> &messages)
{
    QList<T> out;
    for (const auto &message : messages) {
        if (const T *m = std::get_if<T>(&message))
            out.append(*m);
    }
    return out;
}

QByteArray bytes(std::initializer_list<quint8> values)
{
    QByteArray out;
    for (const quint8 v : values)
        out.append(char(v));
    return out;
}

const bgapi::RawAddress kLogger{0x01, 0x00, 0x7E, 0xA1, 0x3C, 0x06};

} // namespace

class tst_ModuleSim : public QObject
{
    Q_OBJECT

private slots:
    void textAnswers_data();
    void textAnswers();
    void callDataModeAndEscape();
    void framesPerLink();
    void bgapiSession();
    void loggerReadingsDriftSlowly();
    void modeFollowsTheProgram();
    void survivesBadInput_data();
    void survivesBadInput();
};

void tst_ModuleSim::textAnswers_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("reset banner after a moment")
        << QByteArray("\rRESET\r\n\r")
        << QByteArray("ZV-SIM Bluetooth module simulator 0.9 build 16\r\n"
                      "Simulated in software, no radio inside\r\nREADY.\r\n");
    QTest::newRow("inquiry with names")
        << QByteArray("\rINQUIRY 5 NAME\r\n\r")
        << QByteArray("INQUIRY 3\r\nINQUIRY 02:5A:10:4C:00:21 240404\r\n"
                      "INQUIRY 02:5A:10:4C:00:37 040680\r\nINQUIRY 02:5A:10:4C:00:5E 001F00\r\n"
                      "NAME 02:5A:10:4C:00:21 \"Bench Headset\"\r\n"
                      "NAME 02:5A:10:4C:00:37 \"Lab Printer 3\"\r\n"
                      "NAME 02:5A:10:4C:00:5E \"Field Sensor 7\"\r\n");
    QTest::newRow("inquiry without a time")
        << QByteArray("INQUIRY\r") << QByteArray("SYNTAX ERROR\r\n");
    QTest::newRow("a setting shows in SET")
        << QByteArray("SET BT NAME Desk\rSET\r")
        << QByteArray("SET BT BDADDR 02:5A:10:00:00:01\r\nSET BT NAME Desk\r\n"
                      "SET BT CLASS 001F00\r\nSET BT AUTH * 0000\r\nSET BT PAGEMODE 3 2000 1\r\n"
                      "SET CONTROL BAUD 115200,8N1\r\nSET CONTROL ECHO 7\r\n"
                      "SET PROFILE SPP Bluetooth Serial Port\r\n");
    QTest::newRow("list without links") << QByteArray("LIST\r") << QByteArray("LIST 0\r\n");
    QTest::newRow("select a missing link")
        << QByteArray("SELECT 3\r") << QByteArray("NO SUCH LINK 3\r\n");
    QTest::newRow("close a missing link")
        << QByteArray("CLOSE 0\r") << QByteArray("NO SUCH LINK 0\r\n");
    QTest::newRow("pins set by command")
        << QByteArray("PIO SET FC AA\rPIO SETDIR FC FC\rPIO GET\rPIO GETDIR\r")
        << QByteArray("PIO GET A8\r\nPIO GETDIR FC\r\n");
    QTest::newRow("pins set by BGIO packets") << bytes({0x00, 0x05, 0x07, 0xFC, 0xFC, 0xFC, 0xFC,
                                                        0x00, 0x05, 0x04, 0xFC, 0xFC, 0x55, 0x55}) +
                                                     "PIO GET\rPIO GETDIR\r"
                                              << QByteArray("PIO GET 54\r\nPIO GETDIR FC\r\n");
    QTest::newRow("wi-fi version")
        << QByteArray("\rAT+VER=?\r") << QByteArray("ZV-WIFI-SIM 2.4.1\r\nOK\r\n");
    QTest::newRow("other AT commands")
        << QByteArray("\rat+wd\r\rAT\r") << QByteArray("OK\r\nOK\r\n");
    QTest::newRow("escape-delimited data draws nothing") << QByteArray("\r\x1bS255Hello\x1b"
                                                                       "E\r")
                                                         << QByteArray();
    QTest::newRow("unknown command") << QByteArray("FLY AWAY\r") << QByteArray("SYNTAX ERROR\r\n");
}

void tst_ModuleSim::textAnswers()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    {
        ModuleSim module;
        QCOMPARE(exchange(module, input, 0, 3000), expected);
    }
    // Any split of the input gives the same answers: here one byte at a time.
    ModuleSim module;
    QByteArray out;
    for (const char byte : input)
        out += module.receive(QByteArray(1, byte), 0);
    for (qint64 t = 0; t <= 3000; t += 100)
        out += module.due(t);
    QCOMPARE(out, expected);
}

void tst_ModuleSim::callDataModeAndEscape()
{
    ModuleSim module;
    QCOMPARE(module.receive("CALL 02:5A:10:4C:00:37 1101 RFCOMM\r", 0), QByteArray("CALL 0\r\n"));
    QCOMPARE(exchange(module, {}, 10, 1000), QByteArray("CONNECT 0 RFCOMM 1\r\n"));
    QCOMPARE(module.text().dataLink(), 0);
    // Data goes to the far device, which echoes it; "LIST" is data now.
    QCOMPARE(module.receive("LIST\r", 2000), QByteArray("LIST\r"));
    // "+++" only counts with silence on both sides.
    module.receive("+++", 2100);
    QCOMPARE(module.due(3500), QByteArray());
    QCOMPARE(module.text().dataLink(), 0);
    module.receive("+++", 5000);
    QCOMPARE(module.due(5500), QByteArray());
    QCOMPARE(module.due(6000), QByteArray("READY.\r\n"));
    QCOMPARE(module.text().dataLink(), -1);
    QCOMPARE(module.receive("LIST\r", 6100),
             QByteArray("LIST 1\r\nLIST 0 CONNECTED RFCOMM 02:5A:10:4C:00:37 OUTGOING\r\n"));
    // A call to an address no device has fails after the moment and frees its link.
    module.receive("CALL 02:00:00:00:00:99 1101 RFCOMM\r", 7000);
    QCOMPARE(module.due(8000), QByteArray("NO CARRIER 1 ERROR 2 NOT_FOUND\r\n"));
    QCOMPARE(module.receive("CLOSE 0\r", 8100), QByteArray("NO CARRIER 0 ERROR 0 CLOSED\r\n"));
    QCOMPARE(module.receive("LIST\r", 8200), QByteArray("LIST 0\r\n"));
}

void tst_ModuleSim::framesPerLink()
{
    ModuleSim module;
    QCOMPARE(module.receive("SET CONTROL MUX 1\r", 0), QByteArray());
    QVERIFY(module.text().muxMode());
    // Lines outside frames are not read in this mode.
    QCOMPARE(module.receive("LIST\r", 10), QByteArray());

    QCOMPARE(module.receive(MuxFrame::frame(255, "LIST"), 20), MuxFrame::frame(255, "LIST 0\r\n"));
    QCOMPARE(
        exchange(module, MuxFrame::frame(255, "CALL 02:5A:10:4C:00:21 1101 RFCOMM"), 100, 1000),
        MuxFrame::frame(255, "CALL 0\r\n") + MuxFrame::frame(255, "CONNECT 0 RFCOMM 1\r\n"));
    // Data to a link comes back on that link; a link with no connection is not answered.
    QCOMPARE(module.receive(MuxFrame::frame(0, "ping\r"), 1100), MuxFrame::frame(0, "ping\r"));
    QCOMPARE(module.receive(MuxFrame::frame(4, "ping\r"), 1200), QByteArray());
    // A BGIO packet inside a frame sets the pins rather than being echoed.
    QCOMPARE(
        module.receive(MuxFrame::frame(0, bytes({0x00, 0x05, 0x04, 0xFC, 0xFC, 0xFC, 0xFC})), 1300),
        QByteArray());
    QCOMPARE(module.text().pins(), quint8(0xFC));
    // A frame with a wrong check byte is dropped; the frame right behind it is read.
    QByteArray broken = MuxFrame::frame(255, "LIST");
    broken.back() = 0x01;
    QCOMPARE(module.receive(broken + MuxFrame::frame(255, "PIO GET"), 1400),
             MuxFrame::frame(255, "PIO GET FC\r\n"));
    // Half a frame, then a quiet line: the next whole frame is read on its own.
    module.receive(MuxFrame::frame(255, "LIST").left(5), 1500);
    QCOMPARE(module.receive(MuxFrame::frame(255, "PIO GET"), 2500),
             MuxFrame::frame(255, "PIO GET FC\r\n"));

    QCOMPARE(module.receive(MuxFrame::frame(255, "SET CONTROL MUX 0"), 3000), QByteArray());
    QVERIFY(!module.text().muxMode());
    QCOMPARE(module.receive("\rLIST\r", 3100),
             QByteArray("LIST 1\r\nLIST 0 CONNECTED RFCOMM 02:5A:10:4C:00:21 OUTGOING\r\n"));
}

void tst_ModuleSim::bgapiSession()
{
    namespace cmd = bgapi::commands;
    ModuleSim module(ModuleSim::Start::Bgapi);

    const auto info = only<bgapi::SystemInfo>(decode(module.receive(cmd::system_get_info(), 0)));
    QCOMPARE(info.size(), 1);
    QCOMPARE(info.first().text, QStringLiteral("ver 1.3.2.122.4.1.1"));

    for (const QByteArray &command : {cmd::gap_set_mode(), cmd::gap_set_scan_parameters()}) {
        const auto results = only<bgapi::ResultCode>(decode(module.receive(command, 10)));
        QCOMPARE(results.size(), 1);
        QCOMPARE(results.first().code, quint16(0));
    }

    // A discovery streams scan responses from three devices until it is ended.
    QCOMPARE(only<bgapi::ResultCode>(decode(module.receive(cmd::gap_discover(), 100))).size(), 1);
    const auto scans = only<bgapi::ScanResponse>(decode(exchange(module, {}, 110, 1100)));
    QVERIFY2(scans.size() >= 6, qPrintable(QString::number(scans.size())));
    QSet<QByteArray> senders;
    for (const auto &scan : scans)
        senders.insert(QByteArray(reinterpret_cast<const char *>(scan.address.data()), 6));
    QCOMPARE(senders.size(), 3);
    QCOMPARE(only<bgapi::ResultCode>(decode(module.receive(cmd::gap_end_procedure(), 1200))).size(),
             1);
    QCOMPARE(exchange(module, {}, 1210, 3000), QByteArray());

    // Connect, then the services and the descriptors of the logger.
    const auto connectOut = decode(exchange(module, cmd::gap_connect_direct(kLogger), 3000, 3500));
    const auto connected = only<bgapi::ConnectDirect>(connectOut);
    QCOMPARE(connected.size(), 1);
    QCOMPARE(connected.first().result, quint16(0));
    QCOMPARE(connected.first().connection, quint8(0));
    QCOMPARE(only<bgapi::ConnectionStatus>(connectOut).size(), 1);

    const auto groupsOut =
        decode(exchange(module, cmd::attclient_read_by_group_type(0), 4000, 4500));
    const auto groups = only<bgapi::GroupFound>(groupsOut);
    QCOMPARE(groups.size(), 3);
    QCOMPARE(groups[1].first, quint16(0x0006));
    QCOMPARE(groups[1].last, quint16(0x000C));
    QCOMPARE(only<bgapi::ProcedureCompleted>(groupsOut).size(), 1);

    const auto found = only<bgapi::InformationFound>(
        decode(exchange(module, cmd::attclient_find_information(0), 5000, 5600)));
    QVERIFY(std::any_of(found.begin(), found.end(),
                        [](const bgapi::InformationFound &f) { return f.handle == 0x0008; }));

    // The logger's temperature, read back through the program's reading step.
    bgapi::LoggerReading reading;
    reading.commandGiven(cmd::LoggerCommand::TemperatureMeasure);
    const qint64 at = 6000;
    const auto values = only<bgapi::AttributeValue>(decode(exchange(
        module, cmd::loggerCommand(cmd::LoggerCommand::TemperatureMeasure, 0), at, at + 500)));
    QCOMPARE(values.size(), 1);
    const auto shown = reading.step(values.first().value);
    QVERIFY(shown.temperature);
    const double celsius = QLocale().toDouble(shown.temperature->chopped(1).trimmed());
    QVERIFY2(qAbs(celsius - sim::BgapiModule::temperatureAt(at)) < 0.05,
             qPrintable(*shown.temperature));

    // The button that writes an empty attribute array is refused with an error, not read past.
    QCOMPARE(module.receive(cmd::attclient_attribute_write(0), 7000),
             bytes({0x00, 0x03, 0x04, 0x05, 0x00, 0x80, 0x01}));
}

void tst_ModuleSim::loggerReadingsDriftSlowly()
{
    using sim::BgapiModule;
    for (qint64 t = 0; t < 3600000; t += 60000) {
        const double t0 = BgapiModule::temperatureAt(t), t1 = BgapiModule::temperatureAt(t + 60000);
        const double h0 = BgapiModule::humidityAt(t), h1 = BgapiModule::humidityAt(t + 60000);
        QVERIFY(qAbs(t1 - t0) < 1.0 && qAbs(h1 - h0) < 3.0);
        QVERIFY(t0 > 15 && t0 < 30 && h0 > 30 && h0 < 60);
    }
    QVERIFY(BgapiModule::temperatureAt(0) != BgapiModule::temperatureAt(60000));
}

void tst_ModuleSim::modeFollowsTheProgram()
{
    ModuleSim module;
    // The reset the program sends on connecting, then the BGAPI window's first command.
    exchange(module, "\rRESET\r\n\r", 0, 1000);
    const auto info =
        only<bgapi::SystemInfo>(decode(module.receive(bgapi::commands::system_get_info(), 1100)));
    QCOMPARE(info.size(), 1);
    QVERIFY(module.bgapiMode());
    // A discovery's stream stops when the program goes back to text commands.
    module.receive(bgapi::commands::gap_discover(), 1200);
    QVERIFY(exchange(module, "\rLIST\r", 1300, 2000).startsWith("LIST 0\r\n"));
    QVERIFY(!module.bgapiMode());
    QCOMPARE(exchange(module, {}, 2000, 3000), QByteArray());

    // Asked to be a dongle, it stays one.
    ModuleSim dongle(ModuleSim::Start::Bgapi);
    QCOMPARE(exchange(dongle, "\rRESET\r", 0, 1000), QByteArray());
    QVERIFY(dongle.bgapiMode());
}

void tst_ModuleSim::survivesBadInput_data()
{
    QTest::addColumn<bool>("bgapiStart");
    QTest::addColumn<QByteArray>("garbage");

    QByteArray noise(4096, '\0');
    QRandomGenerator random(15);
    for (char &c : noise)
        c = char(random.bounded(256));
    QTest::newRow("random bytes, text") << false << noise;
    QTest::newRow("random bytes, BGAPI") << true << noise;
    QTest::newRow("cut BGAPI packets") << true
                                       << bgapi::commands::gap_connect_direct(kLogger).left(7) +
                                              bgapi::commands::system_get_info().left(3);
    QTest::newRow("BGAPI command claiming a long payload")
        << true << bytes({0x00, 0xFF, 0x04, 0x05, 0x00, 0x08});
    QTest::newRow("half frames") << false
                                 << QByteArray("SET CONTROL MUX 1\r") +
                                        MuxFrame::frame(255, "LIST").left(6) + bytes({0xBF, 0xFF});
    QTest::newRow("overlong line") << false << QByteArray(5000, 'A');
}

void tst_ModuleSim::survivesBadInput()
{
    QFETCH(bool, bgapiStart);
    QFETCH(QByteArray, garbage);
    ModuleSim module(bgapiStart ? ModuleSim::Start::Bgapi : ModuleSim::Start::Auto);
    exchange(module, garbage, 0, 2000);
    // After a quiet moment it answers as before.
    if (module.bgapiMode()) {
        QCOMPARE(only<bgapi::SystemInfo>(
                     decode(module.receive(bgapi::commands::system_get_info(), 5000)))
                     .size(),
                 1);
    } else if (module.text().muxMode()) {
        QCOMPARE(module.receive(MuxFrame::frame(255, "LIST"), 5000),
                 MuxFrame::frame(255, "LIST 0\r\n"));
    } else {
        QVERIFY(module.receive("\r\rLIST\r", 5000).endsWith("LIST 0\r\n"));
    }
}

QTEST_APPLESS_MAIN(tst_ModuleSim)
#include "tst_module_sim.moc"
