// Exact sending and the hex dump on bytes: the line ends, reading a text as bytes with its
// errors and their places, how sent bytes are shown, and the hex dump's rows, blocks and
// arrival times as received bytes make them.
#include "terminal/ByteText.h"
#include "terminal/HexDump.h"
#include "terminal/LineAssembly.h"
#include "terminal/LineEnd.h"
#include "terminal/LineStore.h"

#include <QFile>
#include <QTest>

using namespace zorvane::terminal;

namespace {

// Plays the port: hands out its bytes, then nothing.
class BytePort
{
public:
    enum class ReadWait { None, Timeout };
    explicit BytePort(QByteArray bytes) : m_bytes(std::move(bytes)) {}
    int c_getc(ReadWait)
    {
        return m_pos < m_bytes.size() ? static_cast<unsigned char>(m_bytes[m_pos++]) : -1;
    }

private:
    QByteArray m_bytes;
    qsizetype m_pos = 0;
};

class DumpHooks : public ReceiveHooks
{
public:
    void clearList() override { ++clears; }
    void inquiryLineDone(QByteArrayView) override {}
    void feedBgapiDecoder(quint8) override { ++m_packetBytes; }
    bool takeBgapiPacketDone() override
    {
        if (packetSize == 0 || m_packetBytes < packetSize)
            return false;
        m_packetBytes = 0;
        return true;
    }
    void writeLogLine(QByteArray &text) override { logged << text; }

    QByteArrayList logged;
    int packetSize = 0;
    int clears = 0;

private:
    int m_packetBytes = 0;
};

// Everything the port holds, tick after tick, each tick at `nowNs`.
void receive(LineAssembly &assembly, const QByteArray &bytes, LineStore &lines,
             const ReceiveOptions &options, ReceiveHooks &hooks, qint64 nowNs)
{
    BytePort port(bytes);
    for (int first = port.c_getc(BytePort::ReadWait::None); first >= 0;
         first = port.c_getc(BytePort::ReadWait::None)) {
        if (options.hexDump)
            assembly.dumpTime(nowNs, lines, options, hooks);
        assembly.tick(first, port, lines, options, hooks);
    }
}

QStringList textsOf(const LineStore &lines)
{
    QStringList texts;
    for (qsizetype row = 0; row < lines.size(); ++row)
        texts << lines.text(row);
    return texts;
}

QByteArray allValues()
{
    QByteArray bytes(256, '\0');
    for (int i = 0; i < 256; ++i)
        bytes[i] = char(i);
    return bytes;
}

// `hexdump -C` of the 256 values, without the final line that only gives the length.
QStringList hexdumpFixture()
{
    QFile file(QStringLiteral(ZORVANE_TEST_DATA "/all_bytes.hexdump"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList rows = QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'));
    while (!rows.isEmpty() && (rows.last().isEmpty() || !rows.last().contains(QLatin1Char('|'))))
        rows.removeLast();
    return rows;
}

qint64 ms(qint64 n)
{
    return n * 1'000'000;
}

} // namespace

class TestExactBytes : public QObject
{
    Q_OBJECT

private slots:
    void lineEnds()
    {
        QCOMPARE(lineEndNames(), (QStringList{"Module", "CR", "LF", "CR LF", "None"}));
        for (const QString &name : lineEndNames())
            QCOMPARE(lineEndName(*lineEndFromName(name)), name);
        QCOMPARE(lineEndBytes(LineEnd::Module), QByteArray("\r"));
        QCOMPARE(lineEndBytes(LineEnd::CR), QByteArray("\r"));
        QCOMPARE(lineEndBytes(LineEnd::LF), QByteArray("\n"));
        QCOMPARE(lineEndBytes(LineEnd::CRLF), QByteArray("\r\n"));
        QCOMPARE(lineEndBytes(LineEnd::None), QByteArray());
        // An unknown or empty name (an older settings file) is no choice at all.
        QVERIFY(!lineEndFromName(u"CRLF"));
        QVERIFY(!lineEndFromName(u""));
    }

    void readsBytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("mixed") << "01 ff 0x0A \"AT\" 0d"
                               << QByteArray("\x01\xff\x0a"
                                             "AT\r");
        QTest::newRow("pairs run together") << "0d0A00FF" << QByteArray("\r\n\0\xff", 4);
        QTest::newRow("0X and tabs") << "0X41\t0x4243" << QByteArray("ABC");
        QTest::newRow("quotes next to hex") << "\"a\"0a\"b\"" << QByteArray("a\nb");
        QTest::newRow("escaped quote and backslash")
            << "\"say \\\"hi\\\" \\\\ \\n\"" << QByteArray("say \"hi\" \\ \\n");
        QTest::newRow("Latin-1 in quotes")
            << QString::fromUtf8("\"\xc3\xa9\"") << QByteArray("\xe9");
        QTest::newRow("empty quotes") << "\"\" 01" << QByteArray("\x01");
        QTest::newRow("nothing") << "   " << QByteArray();
    }

    void readsBytes()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        const ByteTextResult read = parseByteText(text);
        QVERIFY2(read.ok(), qPrintable(read.ok() ? QString() : read.error->text()));
        QCOMPARE(read.bytes.toHex(' '), bytes.toHex(' '));
    }

    void refusesBadText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("not hex") << "0g"
                                 << "0g: not a hexadecimal byte, at character 1";
        QTest::newRow("later piece") << "01 ff 0g 02"
                                     << "0g: not a hexadecimal byte, at character 7";
        QTest::newRow("odd digit") << "01 abc"
                                   << "abc: an odd number of hexadecimal digits, at character 4";
        QTest::newRow("odd after 0x") << "0x1"
                                      << "0x1: an odd number of hexadecimal digits, at character 1";
        QTest::newRow("bare 0x") << "0x"
                                 << "0x: not a hexadecimal byte, at character 1";
        QTest::newRow("unclosed quote") << "01 \"AT"
                                        << "\"AT: unclosed quote, at character 4";
        QTest::newRow("escaped closing quote") << "\"a\\\""
                                               << "\"a\\\": unclosed quote, at character 1";
        QTest::newRow("beyond one byte")
            << QString::fromUtf8("\"a\xe2\x82\xac\"")
            << QString::fromUtf8("\xe2\x82\xac: not a single byte, at character 3");
    }

    void refusesBadText()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        const ByteTextResult read = parseByteText(text);
        QVERIFY(!read.ok());
        QCOMPARE(read.error->text(), message);
        QVERIFY(read.bytes.isEmpty());
    }

    void everyValueRoundTrips()
    {
        const QByteArray all = allValues();
        QCOMPARE(parseByteText(QString::fromLatin1(all.toHex(' '))).bytes, all);
        QCOMPARE(parseByteText(QString::fromLatin1(all.toHex().toUpper())).bytes, all);
    }

    void showsBytesAsReceivedOnes()
    {
        QCOMPARE(shownBytes(QByteArray("\x01\xff\x0a"
                                       "AT\r\x7f ")),
                 QStringLiteral("<01><FF><0A>AT<0D>\x7f "));
        // UnReadable shows bytes as themselves, but never the controls the list acts on.
        QCOMPARE(shownBytes(QByteArray("\x01\xe9\r\n\x08\x1b"), true),
                 QStringLiteral("\x01\u00e9<0D><0A><08><1B>"));
    }

    void rowsMatchHexdump()
    {
        const QStringList expected = hexdumpFixture();
        QCOMPARE(expected.size(), 16);
        QStringList rows;
        for (const QByteArray &row : HexDump::rows(allValues()))
            rows << QString::fromLatin1(row);
        QCOMPARE(rows, expected);
        // A short last row keeps the ASCII column where a full row has it.
        QCOMPARE(HexDump::row(0, "ABC"),
                 QByteArray("00000000  41 42 43                                          |ABC|"));
        QCOMPARE(HexDump::row(0x1234567890, "\x7f~"),
                 QByteArray("1234567890  7f 7e                                             |.~|"));
    }

    void dumpOfAFlood()
    {
        // 256 values arriving in one go: sixteen rows, each its own line, the partial last row
        // of a longer block shown once the block ends.
        LineStore lines;
        LineAssembly assembly;
        DumpHooks hooks;
        ReceiveOptions options;
        options.hexDump = true;
        options.log = true;
        lines.appendToLast(QByteArrayView("OK")); // text before the dump keeps its line
        receive(assembly, allValues() + "xyz", lines, options, hooks, ms(0));
        QCOMPARE(lines.size(), 17);
        QCOMPARE(textsOf(lines).mid(1), hexdumpFixture());
        QVERIFY(assembly.dumpHoldsBytes());
        QVERIFY(!assembly.dumpGapPassed(ms(19)));
        QVERIFY(assembly.dumpGapPassed(ms(20)));
        assembly.endDumpBlock(lines, options, hooks);
        QCOMPARE(
            lines.text(17),
            QStringLiteral("00000100  78 79 7a                                          |xyz|"));
        QCOMPARE(lines.text(0), QStringLiteral("OK"));
        // Every row reaches the log as it shows.
        QCOMPARE(hooks.logged.size(), 17);
        QCOMPARE(QString::fromLatin1(hooks.logged.first()), hexdumpFixture().first());
        // ESC [ 2 J is data in a dump: nothing is cleared.
        receive(assembly, "\x1b[2J", lines, options, hooks, ms(100));
        QCOMPARE(hooks.clears, 0);
    }

    void blocksEndAfterAPauseOrAPacket_data()
    {
        QTest::addColumn<bool>("bgapi");
        QTest::addColumn<qint64>("pauseMs");
        QTest::addColumn<QStringList>("rows");
        const QString first = "00000000  01 02 03 04 05                                    |.....|";
        QTest::newRow("short pause: one block")
            << false << qint64(19)
            << QStringList{
                   "00000000  01 02 03 04 05 06 07 08  09 0a                    |..........|"};
        QTest::newRow("pause of 20 ms: new block")
            << false << qint64(20)
            << QStringList{first,
                           "00000000  06 07 08 09 0a                                    |.....|"};
        // Packets of five bytes start blocks of their own, however close they come.
        QTest::newRow("packets")
            << true << qint64(0)
            << QStringList{first,
                           "00000000  06 07 08 09 0a                                    |.....|"};
    }

    void blocksEndAfterAPauseOrAPacket()
    {
        QFETCH(bool, bgapi);
        QFETCH(qint64, pauseMs);
        QFETCH(QStringList, rows);
        LineStore lines;
        LineAssembly assembly;
        DumpHooks hooks;
        hooks.packetSize = bgapi ? 5 : 0;
        ReceiveOptions options;
        options.hexDump = true;
        options.bgapi = bgapi;
        receive(assembly, "\x01\x02\x03\x04\x05", lines, options, hooks, ms(1000));
        receive(assembly, "\x06\x07\x08\x09\x0a", lines, options, hooks, ms(1000 + pauseMs));
        assembly.endDumpBlock(lines, options, hooks);
        QCOMPARE(textsOf(lines), rows);
    }

    void textFollowsTheDump()
    {
        LineStore lines;
        LineAssembly assembly;
        DumpHooks hooks;
        ReceiveOptions options;
        options.hexDump = true;
        options.echo = true;
        receive(assembly, "AB", lines, options, hooks, ms(0));
        options.hexDump = false;
        // The held row is shown first, and the text starts a line of its own.
        receive(assembly, "OK\r", lines, options, hooks, ms(1));
        QCOMPARE(textsOf(lines),
                 (QStringList{"00000000  41 42                                             |AB|",
                              "RX<= OK", "RX<= "}));
        // A dump again starts counting afresh, on a line of its own.
        options.hexDump = true;
        receive(assembly, "C", lines, options, hooks, ms(2));
        assembly.endDump(lines, options, hooks);
        QCOMPARE(
            textsOf(lines).mid(2),
            (QStringList{"RX<= ", "00000000  43                                                |C|",
                         "RX<= "}));
    }

    void rowsArriveWithTheirFirstByte()
    {
        LineStore lines;
        LineAssembly assembly;
        DumpHooks hooks;
        ReceiveOptions options;
        options.hexDump = true;
        qint64 readMs = 5000;
        lines.setReadTime(&readMs);
        receive(assembly, QByteArray(10, 'a'), lines, options, hooks, ms(0));
        readMs = 5007;
        receive(assembly, QByteArray(10, 'b'), lines, options, hooks, ms(7));
        lines.setReadTime(nullptr);
        assembly.endDumpBlock(lines, options, hooks);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.arrivalMs(0), qint64(5000));
        QCOMPARE(lines.arrivalMs(1), qint64(5007));
    }
};

QTEST_GUILESS_MAIN(TestExactBytes)
#include "tst_exact_bytes.moc"
