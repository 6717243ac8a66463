// The command packets of the BGAPI window and its logger panel, byte for byte, and how the
// connection handle goes into them.
#include "bgapi/Commands.h"

#include <QTest>

using namespace zorvane::bgapi;
using namespace zorvane::bgapi::commands;

class TestBgapiCommands : public QObject
{
    Q_OBJECT

private slots:
    void buildsTheButtonsBytes_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<QByteArray>("bytes");

        const RawAddress address{0x3C, 0x2B, 0x1A, 0x80, 0x07, 0x00};
        QTest::newRow("connection_disconnect 1")
            << connection_disconnect(1) << QByteArray("00 01 03 00 01");
        QTest::newRow("gap_set_mode") << gap_set_mode() << QByteArray("00 02 06 01 00 00");
        QTest::newRow("gap_end_procedure") << gap_end_procedure() << QByteArray("00 00 06 04");
        QTest::newRow("gap_set_scan_parameters")
            << gap_set_scan_parameters() << QByteArray("00 05 06 07 C8 00 C8 00 00");
        QTest::newRow("gap_discover") << gap_discover() << QByteArray("00 01 06 02 02");
        QTest::newRow("reset") << system_reset() << QByteArray("00 01 00 00 00");
        QTest::newRow("system info") << system_get_info() << QByteArray("00 00 00 08");
        QTest::newRow("connect to 00:07:80:1A:2B:3C")
            << gap_connect_direct(address)
            << QByteArray("00 0F 06 03 3C 2B 1A 80 07 00 00 06 00 10 00 00 01 00 00");
        QTest::newRow("read by group, connection 300 sends 0x2C")
            << attclient_read_by_group_type(300)
            << QByteArray("00 08 04 01 2C 01 00 FF FF 02 00 28");
        QTest::newRow("find information")
            << attclient_find_information(5) << QByteArray("00 05 04 03 05 06 00 FF FF");
        QTest::newRow("attribute write, eight bytes")
            << attclient_attribute_write(0x1234) << QByteArray("00 04 04 05 34 0A 00 02");

        const QByteArray zeros9 = QByteArray(9, '0').replace("0", "00 ");
        const QByteArray zeros16 = QByteArray(16, '0').replace("0", "00 ");
        const QByteArray head = "00 15 04 05 07 08 00 11 ";
        QTest::newRow("d. revision register")
            << loggerCommand(LoggerCommand::RevisionRegister, 7) << head + "60 " + zeros16;
        QTest::newRow("j. SHT temp meas") << loggerCommand(LoggerCommand::TemperatureMeasure, 7)
                                          << head + "40 01 00 00 00 00 01 AA " + zeros9;
        QTest::newRow("k. humidity meas") << loggerCommand(LoggerCommand::HumidityMeasure, 7)
                                          << head + "40 02 00 00 00 00 01 AA " + zeros9;
        QTest::newRow("l. SHT reading") << loggerCommand(LoggerCommand::Reading, 7)
                                        << head + "40 03 00 00 00 00 01 AA " + zeros9;
        QTest::newRow("u. flash burst")
            << loggerCommand(LoggerCommand::FlashBurst, 7) << head + "28 " + zeros16;
        QTest::newRow("logger command, connection 300")
            << loggerCommand(LoggerCommand::FlashBurst, 300)
            << "00 15 04 05 2C 08 00 11 28 " + zeros16;
    }

    void buildsTheButtonsBytes()
    {
        QFETCH(QByteArray, packet);
        QFETCH(QByteArray, bytes);
        QCOMPARE(packet.toHex(' ').toUpper(), bytes.trimmed());
    }
};

QTEST_APPLESS_MAIN(TestBgapiCommands)
#include "tst_bgapi_commands.moc"
