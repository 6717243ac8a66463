// The receive line assembly on scripted bytes: display text of each byte, escapes, the
// width wrap, one line end per tick, the byte budget, the hooks, and floods that must
// reach the list whole.
#include "terminal/LineAssembly.h"
#include "terminal/LineStore.h"

#include <QRandomGenerator>
#include <QTest>

using namespace zorvane::terminal;

namespace {

// Plays the port: each chunk arrives once the port has run dry, or earlier, during a read
// that waits (which is how a split escape sequence completes).
class ScriptedPort
{
public:
    enum class ReadWait { None, Timeout };

    explicit ScriptedPort(QByteArrayList chunks) : m_chunks(std::move(chunks)) {}

    int c_getc(ReadWait wait)
    {
        if (m_pos == m_current.size()) {
            if (wait == ReadWait::None || !arriveNext())
                return -1;
            if (m_current.isEmpty())
                return -1;
        }
        return static_cast<unsigned char>(m_current[m_pos++]);
    }

    bool arriveNext()
    {
        if (m_next == m_chunks.size())
            return false;
        m_current = m_chunks[m_next++];
        m_pos = 0;
        return true;
    }

private:
    QByteArrayList m_chunks;
    qsizetype m_next = 0;
    QByteArray m_current;
    qsizetype m_pos = 0;
};

// Records what a tick hands to the rest of the program.
class RecordingHooks : public ReceiveHooks
{
public:
    explicit RecordingHooks(LineStore &lines) : m_lines(lines) {}

    void clearList() override { m_lines.clear(); }
    void inquiryLineDone(QByteArrayView line) override { inquiries << line.toByteArray(); }
    void feedBgapiDecoder(quint8 byte) override
    {
        decoded += char(byte);
        ++m_packetBytes;
    }
    bool takeBgapiPacketDone() override
    {
        if (packetSize == 0 || m_packetBytes < packetSize)
            return false;
        m_packetBytes = 0;
        return true;
    }
    void writeLogLine(QByteArray &text) override
    {
        text.prepend(logStamp);
        logged << text;
    }

    QByteArrayList inquiries;
    QByteArrayList logged;
    QByteArray decoded;
    QByteArray logStamp;
    int packetSize = 0;

private:
    LineStore &m_lines;
    int m_packetBytes = 0;
};

ReceiveOptions optionsFrom(const QString &flags, int width)
{
    ReceiveOptions o;
    o.hexMode = flags.contains(u"hex");
    o.unreadable = flags.contains(u"unreadable");
    o.lineFeedEndsLine = flags.contains(u"lf");
    o.echo = flags.contains(u"echo");
    o.log = flags.contains(u"log");
    o.bgapi = flags.contains(u"bgapi");
    o.wrapChars = width / 8;
    return o;
}

// Runs ticks as the window's timer would until the port has nothing more; returns how many
// ticks found a byte.
int runTicks(ScriptedPort &port, LineAssembly &assembly, LineStore &lines,
             const ReceiveOptions &options, ReceiveHooks &hooks)
{
    int ticks = 0;
    for (;;) {
        const int first = port.c_getc(ScriptedPort::ReadWait::None);
        if (first < 0) {
            if (!port.arriveNext())
                return ticks;
            continue;
        }
        assembly.tick(first, port, lines, options, hooks);
        ++ticks;
    }
}

QStringList textsOf(const LineStore &lines)
{
    QStringList texts;
    for (qsizetype row = 0; row < lines.size(); ++row)
        texts << lines.text(row);
    return texts;
}

QString joined(const LineStore &lines)
{
    return textsOf(lines).join(QString());
}

QString L(const char *latin1, qsizetype size = -1)
{
    return QString::fromLatin1(latin1, size);
}

QByteArray hexOf(const QByteArray &bytes)
{
    return bytes.toHex(' ').toUpper() + ' ';
}

constexpr int kWide = 100000;

} // namespace

class TestLineAssembly : public QObject
{
    Q_OBJECT

private slots:
    void receivedBytes_data()
    {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QString>("flags");
        QTest::addColumn<int>("width");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("ticks"); // -1: not checked

        const QByteArray a300(300, 'a');
        const QByteArray a150 = QByteArray(101, 'a') + QByteArray(49, 'b');
        QByteArrayList fewPerTick;
        for (qsizetype i = 0; i < a150.size(); i += 10)
            fewPerTick << a150.mid(i, 10);

        QTest::newRow("CR ends the line, LF adds nothing")
            << QByteArrayList{"OK\r\n"} << "" << kWide << QStringList{"OK", ""} << 2;
        QTest::newRow("CR LF ends two lines with the LF option")
            << QByteArrayList{"OK\r\n"} << "lf" << kWide << QStringList{"OK", "", ""} << 2;
        QTest::newRow("echo starts every opened line")
            << QByteArrayList{"OK\r\nAB\r"} << "echo" << kWide
            << QStringList{"OK", "RX<= AB", "RX<= "} << -1;
        QTest::newRow("hex mode shows CR and still ends the line")
            << QByteArrayList{"A\r"} << "hex" << kWide << QStringList{"41 0D ", ""} << 1;
        QTest::newRow("hex mode high byte")
            << QByteArrayList{"\xAB"} << "hex" << kWide << QStringList{"AB "} << 1;
        QTest::newRow("hex mode ESC is a plain byte")
            << QByteArrayList{"\x1b[2J"} << "hex" << kWide << QStringList{"1B 5B 32 4A "} << 1;
        QTest::newRow("bell escaped")
            << QByteArrayList{"\a"} << "" << kWide << QStringList{"<07>"} << 1;
        QTest::newRow("bell as itself")
            << QByteArrayList{"\a"} << "unreadable" << kWide << QStringList{L("\a")} << 1;
        QTest::newRow("high byte escaped")
            << QByteArrayList{"\xE9\xFF"} << "" << kWide << QStringList{"<E9><FF>"} << 1;
        QTest::newRow("high byte as Latin-1")
            << QByteArrayList{"\xE9"} << "unreadable" << kWide << QStringList{L("\xE9")} << 1;
        QTest::newRow("DEL as itself")
            << QByteArrayList{"\x7F"} << "" << kWide << QStringList{L("\x7F")} << 1;
        QTest::newRow("tab and NUL escaped")
            << QByteArrayList{QByteArray("\t\0", 2)} << "" << kWide << QStringList{"<09><00>"} << 1;
        QTest::newRow("backspace takes back a pending character")
            << QByteArrayList{"AB\bC"} << "" << kWide << QStringList{"AC"} << 1;
        QTest::newRow("backspace with nothing pending leaves the list")
            << QByteArrayList{"AB", "\bC"} << "" << kWide << QStringList{"ABC"} << 2;
        QTest::newRow("clear screen empties list and pending text")
            << QByteArrayList{"old\r", "x\x1b[2Jnew"} << "" << kWide << QStringList{"new"} << 2;
        QTest::newRow("other escape passes through")
            << QByteArrayList{"a\x1b[1mb"} << "" << kWide << QStringList{L("a\x1b[1mb")} << 1;
        QTest::newRow("split clear screen completes while waiting")
            << QByteArrayList{"a\r", "b\x1b[", "2Jc"} << "" << kWide << QStringList{"c"} << 2;
        QTest::newRow("escape cut short reads 255")
            << QByteArrayList{"a\x1b["} << "" << kWide << QStringList{L("a\x1b[\xFF\xFF")} << 1;
        QTest::newRow("escape holding CR LF shows spaces, ends no line")
            << QByteArrayList{"\x1b\r\nXY"} << "" << kWide << QStringList{L("\x1b  XY")} << 1;
        QTest::newRow("300 bytes take two ticks")
            << QByteArrayList{a300} << "" << kWide << QStringList{QString::fromLatin1(a300)} << 2;
        QTest::newRow("the 257th byte starts the next tick")
            << QByteArrayList{QByteArray(256, 'a') + '\b'} << "" << kWide
            << QStringList{QString(256, u'a')} << 2;
        QTest::newRow("escape reads do not count against the budget")
            << QByteArrayList{QByteArray("\x1b[1m").repeated(256) + 'z'} << "" << kWide
            << QStringList{QString::fromLatin1(QByteArray("\x1b[1m").repeated(256) + 'z')} << 2;
        QTest::newRow("burst wraps after the 101st character at 800 pixels")
            << QByteArrayList{a150} << "" << 800
            << QStringList{QString(101, u'a'), QString(49, u'b')} << 1;
        QTest::newRow("same bytes a few per tick never wrap")
            << fewPerTick << "" << 800 << QStringList{QString::fromLatin1(a150)} << 15;
        QTest::newRow("hex text wraps by its shown length")
            << QByteArrayList{"ABCDEFG"} << "hex" << 80 << QStringList{"41 42 43 44 ", "45 46 47 "}
            << 1;
        QTest::newRow("one line end per tick")
            << QByteArrayList{"a\rb\rc\r"} << "" << kWide << QStringList{"a", "b", "c", ""} << 3;
        QTest::newRow("line end with nothing pending opens a line")
            << QByteArrayList{"\r"} << "echo" << kWide << QStringList{"", "RX<= "} << 1;
    }

    void receivedBytes()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QString, flags);
        QFETCH(int, width);
        QFETCH(QStringList, lines);
        QFETCH(int, ticks);

        LineStore store;
        RecordingHooks hooks(store);
        LineAssembly assembly;
        ScriptedPort port(chunks);
        const int ran = runTicks(port, assembly, store, optionsFrom(flags, width), hooks);
        QCOMPARE(textsOf(store), lines);
        if (ticks >= 0)
            QCOMPARE(ran, ticks);
    }

    void stylesAndEarlierText()
    {
        // Received text joins whatever line is last.
        LineStore store;
        store.addLine(u"TX=> AT");
        RecordingHooks hooks(store);
        LineAssembly assembly;
        ScriptedPort port({"OK\r"});
        runTicks(port, assembly, store, optionsFrom("", kWide), hooks);
        QCOMPARE(textsOf(store), (QStringList{"TX=> ATOK", ""}));
    }

    void inquiryAndLog()
    {
        LineStore store;
        RecordingHooks hooks(store);
        hooks.logStamp = "[12:00] ";
        LineAssembly assembly;
        ScriptedPort port({"INQUIRY 00:07:80:12:34:56 20080\r", "INQUIRY 2\r", "x:y\r"});
        runTicks(port, assembly, store, optionsFrom("log", kWide), hooks);
        // The stamp goes to the log only: the line was shown before it was logged.
        QCOMPARE(textsOf(store),
                 (QStringList{"INQUIRY 00:07:80:12:34:56 20080", "INQUIRY 2", "x:y", ""}));
        QCOMPARE(hooks.inquiries, QByteArrayList{"INQUIRY 00:07:80:12:34:56 20080"});
        QCOMPARE(hooks.logged, (QByteArrayList{"[12:00] INQUIRY 00:07:80:12:34:56 20080",
                                               "[12:00] INQUIRY 2", "[12:00] x:y"}));
    }

    // A line that reaches the port in pieces, one tick each, is logged and scanned whole.
    void lineInPieces_data()
    {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<int>("width");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QByteArrayList>("logged");
        QTest::addColumn<QByteArrayList>("inquiries");
        QTest::newRow("three pieces") << QByteArrayList{"INQ", "UIRY 00:07:8", "0:12:34:56 x\r"}
                                      << kWide << QStringList{"INQUIRY 00:07:80:12:34:56 x", ""}
                                      << QByteArrayList{"[t]INQUIRY 00:07:80:12:34:56 x"}
                                      << QByteArrayList{"INQUIRY 00:07:80:12:34:56 x"};
        QTest::newRow("byte by byte, an escape shown as the list shows it")
            << QByteArrayList{"a", "\x07", "\x1b", "[1m", "\r", "\n", "b", "\r"} << kWide
            << QStringList{"a<07>\x1b[1m", "b", ""} << QByteArrayList{"[t]a<07>\x1b[1m", "[t]b"}
            << QByteArrayList{};
        // The list lost the line's start with the clear-screen sequence.
        QTest::newRow("clear screen")
            << QByteArrayList{"old", "\x1b[2Jnew\r"} << kWide << QStringList{"new", ""}
            << QByteArrayList{"[t]new"} << QByteArrayList{};
        // The cut piece is logged whole; its stamp cannot lead a line already on screen.
        QTest::newRow("cut after an earlier piece")
            << QByteArrayList{"ab", "cdefghi\r"} << 48 << QStringList{"abcdefghi", "", ""}
            << QByteArrayList{"[t]abcdefghi", "[t]"} << QByteArrayList{};
    }

    void lineInPieces()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(int, width);
        QFETCH(QStringList, shown);
        QFETCH(QByteArrayList, logged);
        QFETCH(QByteArrayList, inquiries);
        LineStore store;
        RecordingHooks hooks(store);
        hooks.logStamp = "[t]";
        LineAssembly assembly;
        ScriptedPort port(chunks);
        runTicks(port, assembly, store, optionsFrom("log", width), hooks);
        QCOMPARE(textsOf(store), shown);
        QCOMPARE(hooks.logged, logged);
        QCOMPARE(hooks.inquiries, inquiries);
    }

    void wrapLogsBeforeShowing()
    {
        // A wrapped piece is logged first, so its stamp shows on screen as well.
        LineStore store;
        RecordingHooks hooks(store);
        hooks.logStamp = "[t]";
        LineAssembly assembly;
        ScriptedPort port({"abcd"});
        runTicks(port, assembly, store, optionsFrom("log", 16), hooks);
        QCOMPARE(textsOf(store), (QStringList{"[t]abc", "d"}));
        QCOMPARE(hooks.logged, QByteArrayList{"[t]abc"});
    }

    void inquiryAddress_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("address");
        QTest::newRow("inquiry result")
            << QByteArray("INQUIRY 00:07:80:12:34:56 20080 -57") << QByteArray("00:07:80:12:34:56");
        QTest::newRow("address at the end")
            << QByteArray("INQUIRY 00:07:80:12:34:56") << QByteArray("00:07:80:12:34:56");
        QTest::newRow("cut short by the line end")
            << QByteArray("INQUIRY 00:07") << QByteArray("00:07");
        QTest::newRow("colon first") << QByteArray(":INQUIRY") << QByteArray(":INQUIRY");
        QTest::newRow("no colon") << QByteArray("INQUIRY 2") << QByteArray();
    }

    void inquiryAddress()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, address);
        QCOMPARE(LineAssembly::inquiryAddress(line), address);
    }

    void bgapiBytesAndPacketLines()
    {
        LineStore store;
        RecordingHooks hooks(store);
        hooks.packetSize = 3;
        LineAssembly assembly;
        // The bytes an escape takes reach the decoder too, in the order they came.
        ScriptedPort port({"ab\x1b[1mcdefg"});
        runTicks(port, assembly, store, optionsFrom("bgapi", kWide), hooks);
        QCOMPARE(hooks.decoded, QByteArray("ab\x1b[1mcdefg"));
        // Each packet's text starts a line of its own; what follows it joins that line.
        QCOMPARE(textsOf(store), (QStringList{"", L("ab\x1b[1m"), "cdefg"}));
    }

    void floodsReachTheListWhole_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("flags");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("shown");

        QRandomGenerator random(7);
        QByteArray binary(200000, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32 *>(binary.data()), binary.size() / 4);
        QByteArray plain = binary;
        for (char &c : plain) {
            if (c == '\b' || c == '\n' || c == '\r' || c == '\x1b')
                c = 'x';
        }
        const QByteArray escapes(10001, '\x1b');
        const QByteArray endless(1000000, 'q');

        QTest::newRow("binary in hex mode")
            << binary << "hex" << kWide << QString::fromLatin1(hexOf(binary));
        QTest::newRow("binary in hex mode, wrapped")
            << binary << "hex lf" << 800 << QString::fromLatin1(hexOf(binary));
        QTest::newRow("binary as itself, wrapped")
            << plain << "unreadable" << 640 << QString::fromLatin1(plain);
        QTest::newRow("stream of ESC")
            << escapes << "" << kWide
            << QString::fromLatin1(QByteArray(10000, '\x1b') + "\x1b\xFF\xFF\xFF");
        QTest::newRow("line without end") << endless << "" << kWide << QString::fromLatin1(endless);
    }

    void floodsReachTheListWhole()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, flags);
        QFETCH(int, width);
        QFETCH(QString, shown);

        LineStore store;
        RecordingHooks hooks(store);
        LineAssembly assembly;
        // Arriving in uneven pieces, so ticks end at every kind of place.
        QByteArrayList chunks;
        for (qsizetype at = 0, n = 1; at < bytes.size(); at += n, n = n * 7 % 1013 + 1)
            chunks << bytes.mid(at, n);
        ScriptedPort port(chunks);
        const ReceiveOptions options = optionsFrom(flags, width);
        runTicks(port, assembly, store, options, hooks);
        QCOMPARE(joined(store).size(), shown.size());
        QVERIFY(joined(store) == shown);
    }
};

QTEST_APPLESS_MAIN(TestLineAssembly)
#include "tst_line_assembly.moc"
