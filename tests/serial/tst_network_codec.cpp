// The network port's codec on bytes: telnet option replies, 0xFF doubling, com-port commands
// and answers split at every byte, and the network port addresses a pin may hold, read from
// real links as written.
#include "serial/network/NetworkTarget.h"
#include "serial/network/Rfc2217Codec.h"

#include "serial/PortNames.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zorvane::serial;
using namespace zorvane::serial::network;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// What ser2net says first on a telnet(rfc2217) accepter.
const QByteArray kSer2netOpening = bytes({255, 251, 3,  255, 253, 3,  255, 251, 1,  255, 254, 1,
                                          255, 253, 0,  255, 251, 0,  255, 253, 44});

} // namespace

using Answers = QList<ComPortAnswer>;
Q_DECLARE_METATYPE(Answers)

class TestNetworkCodec : public QObject
{
    Q_OBJECT

private slots:
    void replies_data();
    void replies();
    void splitAnywhere_data();
    void splitAnywhere();
    void escapeRoundTrip();
    void commands_data();
    void commands();
    void modemInputs_data();
    void modemInputs();
    void targets_data();
    void targets();
    void badTargets_data();
    void badTargets();
    void pins_data();
    void pins();
};

void TestNetworkCodec::replies_data()
{
    QTest::addColumn<QByteArray>("server");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("refused");

    // Binary and the com-port option were asked for in the greeting: their acceptance is not
    // answered again; go-ahead suppression and echo are agreed to, anything else refused.
    QTest::newRow("ser2net") << kSer2netOpening
                             << bytes({255, 253, 3, 255, 251, 3, 255, 253, 1}) << true << false;
    QTest::newRow("unknown options refused")
        << bytes({255, 253, 24, 255, 251, 31}) << bytes({255, 252, 24, 255, 254, 31}) << false
        << false;
    QTest::newRow("com-port refused") << bytes({255, 254, 44}) << QByteArray() << false << true;
    QTest::newRow("agreed then withdrawn")
        << bytes({255, 253, 44, 255, 254, 44}) << bytes({255, 252, 44}) << false << true;
    QTest::newRow("repeated offers answered once")
        << bytes({255, 251, 3, 255, 251, 3}) << bytes({255, 253, 3}) << false << false;
    QTest::newRow("one-byte commands ignored") << bytes({255, 241, 255, 249}) << QByteArray()
                                               << false << false;
}

void TestNetworkCodec::replies()
{
    QFETCH(QByteArray, server);
    QFETCH(QByteArray, reply);
    QFETCH(bool, accepted);
    QFETCH(bool, refused);

    Rfc2217Codec codec;
    QCOMPARE(codec.greeting(), bytes({255, 251, 0, 255, 253, 0, 255, 251, 44}));
    const Decoded decoded = codec.decode(server);
    QCOMPARE(decoded.reply, reply);
    QVERIFY(decoded.data.isEmpty());
    QVERIFY(decoded.sawCommand);
    QCOMPARE(codec.comPortAccepted(), accepted);
    QCOMPARE(codec.comPortRefused(), refused);
}

void TestNetworkCodec::splitAnywhere_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<Answers>("answers");

    QTest::newRow("answers between data")
        << QByteArray("ab") + bytes({255, 250, 44, 101, 0, 1, 194, 0, 255, 240}) + "c" +
               bytes({255, 250, 44, 107, 0x30, 255, 240, 255, 255})
        << QByteArray("abc\xff")
        << Answers{{1, bytes({0, 1, 194, 0})}, {7, bytes({0x30})}};
    QTest::newRow("doubled 0xFF inside an answer")
        << bytes({255, 250, 44, 101, 0, 0, 0, 255, 255, 255, 240, 13, 0, 13, 10})
        << bytes({13, 0, 13, 10}) << Answers{{1, bytes({0, 0, 0, 255})}};
    QTest::newRow("client-numbered and other options dropped")
        << bytes({255, 250, 44, 5, 8, 255, 240, 255, 250, 24, 1, 255, 240, 'x'})
        << QByteArray("x") << Answers{};
    QTest::newRow("command inside a subnegotiation ends it")
        << bytes({255, 250, 44, 101, 0, 255, 241, 'y', 255, 250, 44, 103, 3, 255, 240})
        << QByteArray("y") << Answers{{3, bytes({3})}};
    QTest::newRow("oversized value dropped")
        << bytes({255, 250, 44, 107}) + QByteArray(200, 'z') + bytes({255, 240}) + "after"
        << QByteArray("after") << Answers{};
}

// Every split of the stream into two reads gives what the whole gives.
void TestNetworkCodec::splitAnywhere()
{
    QFETCH(QByteArray, stream);
    QFETCH(QByteArray, data);
    QFETCH(Answers, answers);

    for (qsizetype split = 0; split <= stream.size(); ++split) {
        Rfc2217Codec codec;
        const Decoded first = codec.decode(QByteArrayView(stream).first(split));
        const Decoded second = codec.decode(QByteArrayView(stream).sliced(split));
        QCOMPARE(first.data + second.data, data);
        QCOMPARE(first.answers + second.answers, answers);
    }
}

void TestNetworkCodec::escapeRoundTrip()
{
    QByteArray all;
    for (int v = 0; v < 256; ++v)
        all.append(char(v));
    all += QByteArray(7, char(0xff)) + "\r\n\r" + QByteArray(1, '\0') + QByteArray(1, char(0xff));

    const QByteArray wire = Rfc2217Codec::escape(all);
    QCOMPARE(wire.count(char(0xff)), 2 * all.count(char(0xff)));
    Rfc2217Codec codec;
    QCOMPARE(codec.decode(wire).data, all);
}

void TestNetworkCodec::commands_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("baud 115200")
        << Rfc2217Codec::setBaudRate(115200) << bytes({255, 250, 44, 1, 0, 1, 194, 0, 255, 240});
    QTest::newRow("baud with 0xFF") << Rfc2217Codec::setBaudRate(0xFFFF)
                                    << bytes({255, 250, 44, 1, 0, 0, 255, 255, 255, 255, 255,
                                              240});
    QTest::newRow("7 data bits") << Rfc2217Codec::setDataSize(7)
                                 << bytes({255, 250, 44, 2, 7, 255, 240});
    QTest::newRow("even parity") << Rfc2217Codec::setParity(2)
                                 << bytes({255, 250, 44, 3, 3, 255, 240});
    QTest::newRow("no parity") << Rfc2217Codec::setParity(0)
                               << bytes({255, 250, 44, 3, 1, 255, 240});
    QTest::newRow("two stop bits") << Rfc2217Codec::setStopSize(2)
                                   << bytes({255, 250, 44, 4, 2, 255, 240});
    QTest::newRow("DTR on") << Rfc2217Codec::setControl(comport::kDtrOn)
                            << bytes({255, 250, 44, 5, 8, 255, 240});
    QTest::newRow("RTS off") << Rfc2217Codec::setControl(comport::kRtsOff)
                             << bytes({255, 250, 44, 5, 12, 255, 240});
    QTest::newRow("break on") << Rfc2217Codec::setControl(comport::kBreakOn)
                              << bytes({255, 250, 44, 5, 5, 255, 240});
}

void TestNetworkCodec::commands()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, wire);
    QCOMPARE(built, wire);
}

void TestNetworkCodec::modemInputs_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("cts");
    QTest::addColumn<bool>("dsr");
    QTest::addColumn<bool>("ri");
    QTest::addColumn<bool>("dcd");

    QTest::newRow("none, deltas only") << 0x0f << false << false << false << false;
    QTest::newRow("cts") << 0x11 << true << false << false << false;
    QTest::newRow("dsr") << 0x22 << false << true << false << false;
    QTest::newRow("ri") << 0x40 << false << false << true << false;
    QTest::newRow("dcd") << 0x88 << false << false << false << true;
}

void TestNetworkCodec::modemInputs()
{
    QFETCH(int, state);
    QFETCH(bool, cts);
    QFETCH(bool, dsr);
    QFETCH(bool, ri);
    QFETCH(bool, dcd);
    const ModemInputs inputs = Rfc2217Codec::modemInputs(quint8(state));
    QCOMPARE(inputs.cts, cts);
    QCOMPARE(inputs.dsr, dsr);
    QCOMPARE(inputs.ri, ri);
    QCOMPARE(inputs.dcd, dcd);
}

void TestNetworkCodec::targets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("socket");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("ignoreControl");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<QString>("shown");

    QTest::newRow("rfc2217") << "rfc2217://lab-pi:4001" << false << "lab-pi" << 4001 << false
                             << 3000 << "lab-pi:4001";
    QTest::newRow("socket") << "socket://10.0.0.7:7000" << true << "10.0.0.7" << 7000 << false
                            << 3000 << "10.0.0.7:7000";
    QTest::newRow("ipv6") << "rfc2217://[::1]:4001" << false << "::1" << 4001 << false << 3000
                          << "[::1]:4001";
    QTest::newRow("options") << "rfc2217://lab-pi:4001?ign_set_control&timeout=0.5" << false
                             << "lab-pi" << 4001 << true << 500 << "lab-pi:4001";
    QTest::newRow("socket timeout") << "socket://h:1?timeout=10" << true << "h" << 1 << false
                                    << 10000 << "h:1";
}

void TestNetworkCodec::targets()
{
    QFETCH(QString, text);
    QFETCH(bool, socket);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(bool, ignoreControl);
    QFETCH(int, timeoutMs);
    QFETCH(QString, shown);

    QVERIFY(isNetworkTarget(text));
    QString error;
    const std::optional<NetworkTarget> target = parseNetworkTarget(text, &error);
    QVERIFY2(target, qPrintable(error));
    QCOMPARE(target->scheme == NetworkTarget::Scheme::Socket, socket);
    QCOMPARE(target->host, host);
    QCOMPARE(int(target->port), port);
    QCOMPARE(target->ignoreSetControl, ignoreControl);
    QCOMPARE(target->timeoutMs, timeoutMs);
    QCOMPARE(hostAndPort(*target), shown);
}

void TestNetworkCodec::badTargets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");

    QTest::newRow("device path") << "/dev/ttyUSB0" << "not a network port";
    QTest::newRow("no port") << "rfc2217://lab-pi" << "no port number";
    QTest::newRow("port out of range") << "rfc2217://lab-pi:70000" << "not a valid host";
    QTest::newRow("path") << "socket://lab-pi:4001/x" << "only host:port";
    QTest::newRow("unknown option") << "rfc2217://lab-pi:4001?logging=debug" << "unknown option";
    QTest::newRow("control option on socket") << "socket://h:1?ign_set_control"
                                              << "unknown option";
    QTest::newRow("zero timeout") << "rfc2217://h:1?timeout=0" << "timeout must be";
    QTest::newRow("word timeout") << "rfc2217://h:1?timeout=soon" << "timeout must be";
}

void TestNetworkCodec::badTargets()
{
    QFETCH(QString, text);
    QFETCH(QString, reason);
    QString error;
    QVERIFY(!parseNetworkTarget(text, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
}

void TestNetworkCodec::pins_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("network");

    QTest::newRow("rfc2217") << "rfc2217://lab-pi:4001" << true;
    QTest::newRow("socket, ipv6 and options") << "socket://[::1]:7000?timeout=2" << true;
    QTest::newRow("device") << "/dev/ttyUSB3" << false;
}

// A pin's network address comes back exactly as written, never cleaned as a path.
void TestNetworkCodec::pins()
{
    QFETCH(QString, target);
    QFETCH(bool, network);

    QTemporaryDir docs;
    QVERIFY(docs.isValid());
    const QString folder = docs.path() + QLatin1Char('/');
    QVERIFY(QDir().mkpath(folder + QStringLiteral("ports")));
    QVERIFY(QFile::link(target, overrideLinkPath(folder, 12)));
    QCOMPARE(port_names(12, folder), target);
    QCOMPARE(isNetworkTarget(port_names(12, folder)), network);
}

QTEST_APPLESS_MAIN(TestNetworkCodec)
#include "tst_network_codec.moc"
