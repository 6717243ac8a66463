// The widget-free side of the module commands: BGIO packets and their history texts, the
// placeholders of command texts, the command list's lines, and the tables themselves.
#include "terminal/BgioPacket.h"
#include "terminal/CommandTables.h"

#include <QSet>
#include <QTest>

using namespace zorvane::terminal;

class TestCommandTables : public QObject
{
    Q_OBJECT

private slots:
    void setPins_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("FC") << 0xFC << QByteArray::fromHex("000504FCFCFCFC")
                            << "<00><05><04><FC><FC><FC><FC>";
        QTest::newRow("zero") << 0 << QByteArray::fromHex("000504FCFC0000")
                              << "<00><05><04><FC><FC><0><0>";
        QTest::newRow("four") << 4 << QByteArray::fromHex("000504FCFC0404")
                              << "<00><05><04><FC><FC><4><4>";
        QTest::newRow("55") << 0x55 << QByteArray::fromHex("000504FCFC5555")
                            << "<00><05><04><FC><FC><55><55>";
        // Past a byte only the low 8 bits go out; the text keeps the whole value.
        QTest::newRow("256") << 0x100 << QByteArray::fromHex("000504FCFC0000")
                             << "<00><05><04><FC><FC><100><100>";
        QTest::newRow("0x1FE") << 0x1FE << QByteArray::fromHex("000504FCFCFEFE")
                               << "<00><05><04><FC><FC><1FE><1FE>";
        QTest::newRow("negative") << -4 << QByteArray::fromHex("000504FCFCFCFC")
                                  << "<00><05><04><FC><FC><FFFFFFFC><FFFFFFFC>";
    }

    void setPins()
    {
        QFETCH(int, value);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(bgio::setPinsPacket(value).toHex(' '), bytes.toHex(' '));
        QCOMPARE(bgio::setPinsText(value), text);
    }

    void directionAndFraming()
    {
        const QByteArray fc = bgio::directionPacket(0xFC);
        const QByteArray ff = bgio::directionPacket(0xFF);
        QCOMPARE(fc, QByteArray::fromHex("000507FCFCFCFC"));
        QCOMPARE(bgio::escapedText(fc), "<00><05><07><FC><FC><FC><FC>");
        QCOMPARE(bgio::hexText(ff), "HEX: 00 05 07 FF FF FF FF");

        const QByteArray pins = bgio::setPinsPacket(0xFC);
        QCOMPARE(bgio::onWire(pins, false, 255), pins);
        QCOMPARE(bgio::onWire(pins, true, 0).toHex(' '),
                 QByteArray::fromHex("BF000007000504FCFCFCFCFF").toHex(' '));
        QCOMPARE(bgio::onWire(pins, true, 3).toHex(' '),
                 QByteArray::fromHex("BF030007000504FCFCFCFCFC").toHex(' '));
    }

    void expandCommand_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expanded");
        QTest::newRow("address") << "CALL {address} 1101 RFCOMM"
                                 << "CALL 00:07:80:12:34:56 1101 RFCOMM";
        QTest::newRow("label and address") << "{label}/{address}"
                                           << "00:07:80:AA:BB:CC/00:07:80:12:34:56";
        QTest::newRow("hello") << "{esc}S{channel}Hello{esc}E"
                               << "\x1bS255Hello\x1b"
                                  "E";
        QTest::newRow("login") << "AT+WEBPROV={user},{password}"
                               << "AT+WEBPROV=z,v";
        QTest::newRow("unknown brace kept") << "{n}. {x"
                                            << "{n}. {x";
        // A value that looks like a placeholder is sent as it is.
        QTest::newRow("not scanned twice") << "{channel}{esc}"
                                           << "{esc}\x1b";
    }

    void expandCommand()
    {
        QFETCH(QString, text);
        QFETCH(QString, expanded);
        const bool twice = QByteArray(QTest::currentDataTag()) == "not scanned twice";
        const CommandContext context{"00:07:80:12:34:56", "00:07:80:AA:BB:CC",
                                     twice ? "{esc}" : "255"};
        QCOMPARE(zorvane::terminal::expandCommand(text, context), expanded);
    }

    void listLineCommand_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("command");
        QTest::newRow("comment cut") << "NAME [MAC] // reveal BT name"
                                     << "NAME [MAC]";
        QTest::newRow("comment only") << "// IWRAP COMMANDS"
                                      << "";
        QTest::newRow("triple slash") << "+++ /// command/data interface toggle"
                                      << "+++";
        QTest::newRow("trailing space") << "ECHO 0 DATA "
                                        << "ECHO 0 DATA";
        QTest::newRow("control characters") << "\t\x01SET\r\n"
                                            << "SET";
        QTest::newRow("no comment") << "SET BT NAME Testing"
                                    << "SET BT NAME Testing";
        QTest::newRow("empty") << ""
                               << "";
    }

    void listLineCommand()
    {
        QFETCH(QString, line);
        QFETCH(QString, command);
        QCOMPARE(zorvane::terminal::listLineCommand(line), command);
    }

    void tables()
    {
        const QStringList &list = iwrapCommandList();
        QCOMPARE(list.size(), 53);
        QCOMPARE(list.first(), "// IWRAP COMMANDS");
        QCOMPARE(list.last(), "SET BT NAME");

        // Every control name is one control's; texts exist where the control sends text.
        QSet<QString> names;
        QList<ModuleCommand> all = commandsMenu() + sppToolbar() + bgioToolbar() + hidToolbar();
        for (const QList<ModuleCommand> &row : gainSpanRows())
            all += row;
        QCOMPARE(all.size(), 15 + 7 + 8 + 4 + 29);
        for (const ModuleCommand &command : all) {
            QVERIFY2(!names.contains(command.name), qPrintable(command.name));
            names.insert(command.name);
            const bool packetOrEscape = command.send == CommandSend::Escape ||
                                        command.send == CommandSend::BgioPins ||
                                        command.send == CommandSend::BgioNextPins ||
                                        command.send == CommandSend::BgioDirection;
            QVERIFY2(packetOrEscape != !command.texts.isEmpty(), qPrintable(command.name));
        }
        for (const PioButton &button : pioButtons())
            QVERIFY(!button.description.isEmpty() && !button.command.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestCommandTables)
#include "tst_command_tables.moc"
