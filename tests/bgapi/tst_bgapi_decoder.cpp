// The BGAPI decoder on received byte streams: packet assembly (junk, restarts, short and long
// packets), what each recognised response and event carries, its effect on the shared state
// and the address list, and the same outcome however the stream is split.
#include "bgapi/BgapiState.h"
#include "bgapi/Formats.h"
#include "bgapi/Overloaded.h"

#include <QTest>

using namespace zorvane::bgapi;

namespace {

// Plays the receive loop and the window: feeds bytes, takes the completion flag after each
// one, applies scan responses to an address list that starts with the placeholder, and
// writes down every completed packet with the count of bytes received when it completed.
class Receiver
{
public:
    void feed(QByteArrayView bytes)
    {
        for (const char byte : bytes) {
            ++m_received;
            const std::optional<Message> message = state.bgapi_decode(quint8(byte));
            if (state.rx.takePacketDone())
                trace << QStringLiteral("@%1 %2").arg(m_received).arg(describe(message));
            else if (message)
                trace << QStringLiteral("@%1 message without the done flag").arg(m_received);
        }
    }

    QString describe(const std::optional<Message> &message)
    {
        if (!message)
            return QStringLiteral("dropped");
        const auto num = [](auto value) { return QString::number(value); };
        return std::visit(
            Overloaded{
                [](const SystemInfo &m) { return QStringLiteral("info ") + m.text; },
                [](const ResultCode &m) { return QStringLiteral("result ") + resultText(m.code); },
                [&](const ConnectDirect &m) {
                    return QStringLiteral("connect %1 %2")
                        .arg(num(m.connection), resultText(m.result));
                },
                [](const ConnectionStatus &) { return QStringLiteral("status"); },
                [](const Disconnected &m) {
                    return QStringLiteral("disconnected ") + resultText(m.reason);
                },
                [&](const ProcedureCompleted &m) {
                    return QStringLiteral("completed %1 %2").arg(num(m.result), num(m.handleLow));
                },
                [&](const GroupFound &m) {
                    return QStringLiteral("group %1 %2 %3").arg(num(m.first), num(m.last), m.uuid);
                },
                [&](const InformationFound &m) {
                    return QStringLiteral("information %1 %2 %3")
                        .arg(num(m.connection), num(m.handle), m.uuid);
                },
                [&](const AttributeValue &m) {
                    QString text = QStringLiteral("value %1 '%2'").arg(num(m.handle), m.pieces);
                    if (m.reading.sample)
                        text += QStringLiteral(" num=") + num(*m.reading.sample);
                    if (m.reading.temperature)
                        text += QStringLiteral(" temp='%1'").arg(*m.reading.temperature);
                    if (m.reading.humidity)
                        text += QStringLiteral(" hum='%1'").arg(*m.reading.humidity);
                    return text;
                },
                [&](const ScanResponse &m) {
                    const ScanAddressList::Update update =
                        state.addresses.scanResponse(m.address, entries);
                    if (update.clearEntries)
                        entries.clear();
                    if (update.addEntry)
                        entries << update.text;
                    return QStringLiteral("scan %1%2")
                        .arg(update.text, update.addEntry ? " added" : " listed");
                },
            },
            *message);
    }

    // The shared state as the window would show it.
    QString stateText() const
    {
        return QStringLiteral("%1|%2|%3|%4")
            .arg(resultText(state.bgapi_result))
            .arg(state.bgapi_connection)
            .arg(entries.join(QLatin1Char(',')))
            .arg(QString::fromLatin1(state.rx.bgapi_rx_buffer().toByteArray().toHex(' ')));
    }

    BgapiState state;
    QStringList entries{QStringLiteral("Unknown MAC")};
    QStringList trace;

private:
    int m_received = 0;
};

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

const char kScanResponse[] = "80 0B 06 00 C4 00 3C 2B 1A 80 07 00 00 FF 00";

// 60 bytes that declare a 60-byte packet; the 52nd is 0x00 and, with the six bytes after
// it, forms a connect response. Two junk bytes end it.
QByteArray longPacketRestarting()
{
    QByteArray bytes = hex("80 38 04 05") + QByteArray(47, '\x11');
    bytes += hex("00 03 06 03 00 00 07") + hex("11 11");
    Q_ASSERT(bytes.size() == 60 && bytes[51] == '\0');
    return bytes;
}

struct Stream
{
    const char *name;
    QByteArray bytes;
    QStringList trace; // each completed packet: bytes received so far, what it carried
    QString state;     // result text|connection|address list|receive buffer
};

QList<Stream> streams()
{
    QList<Stream> rows;
    rows.append({"stray byte, then a packet complete at its 9th byte",
                 hex("41 80 05 04 01 00 85 01 0C 00"), QStringList{"@10 completed 389 12"},
                 "Timeout|0|Unknown MAC|"});
    rows.append({"attribute value with three value bytes",
                 hex("80 08 04 05 00 0C 00 01 03 05 AA 17"),
                 QStringList{"@12 value 12 ' 05 170 23'"}, "No Error|0|Unknown MAC|"});
    rows.append({"get_info response", hex("00 0C 00 08 01 00 03 00 02 00 7A 00 02 00 01 01"),
                 QStringList{"@16 info ver 1.3.2.122.2.1.1"}, "No Error|0|Unknown MAC|"});
    rows.append({"connect response", hex("00 03 06 03 00 00 05"),
                 QStringList{"@7 connect 5 No Error"}, "No Error|5|Unknown MAC|"});
    rows.append({"disconnected by the local host", hex("80 03 03 04 00 16 02"),
                 QStringList{"@7 disconnected Term. by local host"},
                 "Term. by local host|0|Unknown MAC|"});
    rows.append({"protocol error with an unnamed code", hex("80 02 00 06 82 01"),
                 QStringList{"@6 result 0182"}, "0182|0|Unknown MAC|"});
    rows.append({"results of the gap and disconnect responses",
                 hex("00 02 06 02 81 01  00 02 06 07 12 02  00 03 03 00 00 86 01"
                     "00 03 04 01 00 0D 04  00 02 06 04 3E 02  00 02 06 01 00 00"),
                 QStringList{"@6 result in Wrong State", "@12 result Invalid cmd parameters",
                             "@19 result Not connected", "@26 result Wrong length",
                             "@32 result Connection Failed", "@38 result No Error"},
                 "No Error|0|Unknown MAC|"});
    rows.append({"find information shows the UUID last byte first",
                 hex("80 06 04 04 00 10 00 02 00 28"), QStringList{"@10 information 0 16 2800"},
                 "No Error|0|Unknown MAC|"});
    rows.append({"group found shows the UUID in received order",
                 hex("80 08 04 02 00 01 00 05 00 02 00 28"), QStringList{"@12 group 1 5 0028"},
                 "No Error|0|Unknown MAC|"});
    rows.append(
        {"two scan responses from one device add one entry",
         hex(kScanResponse) + "junk\r\n" + hex(kScanResponse),
         QStringList{"@15 scan 00:07:80:1A:2B:3C added", "@36 scan 00:07:80:1A:2B:3C listed"},
         "No Error|0|00:07:80:1A:2B:3C|"});
    rows.append({"long packet restarts at a 0x00 after its 50th byte", longPacketRestarting(),
                 QStringList{"@58 connect 7 No Error"}, "No Error|7|Unknown MAC|11"});
    rows.append(
        {"long packet without a sync byte after its 50th byte completes",
         hex("80 3C 04 05 00 2A 00 01 37") + QByteArray(55, '\x22'),
         QStringList{"@64 value 42 '" + QString(" 34").repeated(55) + "' num=8738 hum=' 10.67rH'"},
         "No Error|0|Unknown MAC|"});
    rows.append({"responses to writes and unknown events complete and change nothing",
                 hex("00 02 04 05 00 00  80 01 05 09 FF"), QStringList{"@6 dropped", "@11 dropped"},
                 "No Error|0|Unknown MAC|"});
    rows.append({"packet shorter than its fields completes and is dropped",
                 hex("00 00 00 08  00 02 06 03 16 02  80 02 03 04 00 00  80 01 06 00 C4"),
                 QStringList{"@4 dropped", "@10 dropped", "@16 dropped", "@21 dropped"},
                 "No Error|0|Unknown MAC|"});
    rows.append({"array length past the packet completes and is dropped",
                 hex("80 07 04 05 00 0C 00 01 09 01 02  80 06 04 04 00 10 00 05 00 28"
                     "80 08 04 02 00 01 00 05 00 03 00 28"),
                 QStringList{"@11 dropped", "@21 dropped", "@33 dropped"},
                 "No Error|0|Unknown MAC|"});
    rows.append({"packet that ends short waits for its last bytes", hex("00 03 06 03 00 00"),
                 QStringList{}, "No Error|0|Unknown MAC|00 03 06 03 00 00"});
    rows.append({"connection status empties the buffer", hex("80 00 03 00 41"),
                 QStringList{"@4 status"}, "No Error|0|Unknown MAC|41"});
    rows.append({"only 0x00 and 0x80 start a packet", hex("81 02 06 02 81 01  01 02 06 02 81 01"),
                 QStringList{}, "No Error|0|Unknown MAC|01"});
    return rows;
}

// Feeds a stream one byte per read.
Receiver byteByByte(const QByteArray &stream)
{
    Receiver receiver;
    for (qsizetype i = 0; i < stream.size(); ++i)
        receiver.feed(stream.sliced(i, 1));
    return receiver;
}

} // namespace

class TestBgapiDecoder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void decodes_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QStringList>("trace");
        QTest::addColumn<QString>("state");
        for (const Stream &row : streams())
            QTest::newRow(row.name) << row.bytes << row.trace << row.state;
    }

    void decodes()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QStringList, trace);
        QFETCH(QString, state);

        const Receiver receiver = byteByByte(stream);
        QCOMPARE(receiver.trace, trace);
        QCOMPARE(receiver.stateText(), state);
    }

    void decodesInOneBlockAndAtEverySplit_data() { decodes_data(); }
    void decodesInOneBlockAndAtEverySplit()
    {
        QFETCH(QByteArray, stream);

        const Receiver byByte = byteByByte(stream);
        Receiver whole;
        whole.feed(stream);
        QCOMPARE(whole.trace, byByte.trace);
        QCOMPARE(whole.stateText(), byByte.stateText());

        for (qsizetype split = 1; split < stream.size(); ++split) {
            Receiver twoReads;
            twoReads.feed(stream.first(split));
            twoReads.feed(stream.sliced(split));
            QCOMPARE(twoReads.trace, byByte.trace);
            QCOMPARE(twoReads.stateText(), byByte.stateText());
        }
    }

    // Streams back to back yield each one's packets in turn: nothing of one packet leaks
    // into the next. A stream that stops inside a packet is left out, since it would.
    void decodesStreamsBackToBack()
    {
        QByteArray all;
        QStringList expected;
        for (const Stream &row : streams()) {
            if (row.state.endsWith(QLatin1String("|00 03 06 03 00 00")))
                continue;
            for (const QString &entry : row.trace) {
                const qsizetype space = entry.indexOf(QLatin1Char(' '));
                const int at = entry.mid(1, space - 1).toInt() + int(all.size());
                expected << QStringLiteral("@%1%2").arg(at).arg(entry.mid(space));
            }
            all += row.bytes;
        }
        QCOMPARE(byteByByte(all).trace, expected);
    }

    // The devices' table beside the list: each address once while its entry stands, in the
    // order first seen, its raw bytes found by its text, and nothing left after a reset.
    // Steps: "scan <raw address>" receives a scan response, "inquiry <text>" puts an entry
    // without a raw address in the placeholder's place, "placeholder" puts the list back to
    // the placeholder alone, "reset" is the window's first show.
    void addressTableFollowsTheList_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("raw"); // text=raw bytes, or text= for none

        const QString a = QStringLiteral("00:07:80:1A:2B:3C");
        const QString b = QStringLiteral("06:05:04:03:02:01");
        const QString c = QStringLiteral("00:07:80:11:22:33");
        QTest::newRow("repeats are listed once, in the order first seen")
            << QStringList{"scan 3C2B1A800700", "scan 010203040506", "scan 3C2B1A800700",
                           "scan 332211800700", "scan 010203040506"}
            << QStringList{a, b, c}
            << QStringList{a + "=3c2b1a800700", b + "=010203040506", c + "=332211800700"};
        QTest::newRow("reset forgets every address")
            << QStringList{"scan 3C2B1A800700", "scan 010203040506", "reset", "placeholder",
                           "scan 010203040506"}
            << QStringList{b} << QStringList{a + "=", b + "=010203040506"};
        QTest::newRow("an address whose entry went is recorded again")
            << QStringList{"scan 3C2B1A800700", "scan 010203040506", "placeholder",
                           "scan 010203040506", "scan 3C2B1A800700"}
            << QStringList{a, b, b, a} << QStringList{a + "=3c2b1a800700", b + "=010203040506"};
        QTest::newRow("other entries have no raw address")
            << QStringList{"inquiry " + c, "scan 3C2B1A800700"} << QStringList{a}
            << QStringList{c + "=", "Unknown MAC=", a + "=3c2b1a800700"};
    }

    void addressTableFollowsTheList()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, raw);

        Receiver receiver;
        for (const QString &step : steps) {
            const QString argument = step.section(QLatin1Char(' '), 1);
            if (step.startsWith(QLatin1String("scan ")))
                receiver.feed(hex("80 0B 06 00 C4 00") + QByteArray::fromHex(argument.toLatin1()) +
                              hex("00 FF 00"));
            else if (step.startsWith(QLatin1String("inquiry ")))
                receiver.entries = QStringList{argument}; // it took the placeholder's place
            else if (step == QLatin1String("placeholder"))
                receiver.entries = QStringList{QStringLiteral("Unknown MAC")};
            else if (step == QLatin1String("reset"))
                receiver.state.reset();
            else
                QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
        const ScanAddressList &table = receiver.state.addresses;
        QCOMPARE(table.texts(), texts);
        QCOMPARE(table.bgapi_address_count(), texts.size());
        for (const QString &probe : raw) {
            const QString text = probe.section(QLatin1Char('='), 0, 0);
            const std::optional<RawAddress> found = table.rawAddressOf(text);
            const QByteArray bytes =
                found ? QByteArray(reinterpret_cast<const char *>(found->data()), 6).toHex()
                      : QByteArray();
            QCOMPARE(text + QLatin1Char('=') + QString::fromLatin1(bytes), probe);
        }
    }

    // A packet the loop has not taken yet is not handed on again by the bytes after it.
    void completedPacketIsReportedOnce()
    {
        BgapiState state;
        const QByteArray bytes = hex("00 03 06 03 00 00 05  41 42 43");
        int completed = 0;
        for (const char byte : bytes)
            completed += state.rx.add(quint8(byte)) ? 1 : 0;
        QCOMPARE(completed, 1);
        QCOMPARE(state.rx.bgapi_rx_buffer().toByteArray(), QByteArray("C"));
        QVERIFY(state.rx.takePacketDone());
        QVERIFY(!state.rx.takePacketDone());
    }

    // What bgapi_send empties, and what it keeps.
    void commandSentEmptiesTheBufferOnly()
    {
        BgapiState state;
        for (const char byte : hex("00 03 06 03 00 00 05  80 03 03 04"))
            state.bgapi_decode(quint8(byte));
        state.commandSent();
        QVERIFY(state.rx.bgapi_rx_buffer().isEmpty());
        QCOMPARE(state.bgapi_connection, quint16(5));
        // The rest of the cut-off event no longer makes a packet.
        for (const char byte : hex("00 16 02"))
            QVERIFY(!state.bgapi_decode(quint8(byte)));
        QCOMPARE(state.bgapi_result, 0);
    }
};

QTEST_APPLESS_MAIN(TestBgapiDecoder)
#include "tst_bgapi_decoder.moc"
