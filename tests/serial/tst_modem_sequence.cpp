// The reset-sequence language and the runner that plays line changes, pulses and breaks
// against a link: what each text means, and the order and timing of the calls a link gets.
#include "serial/ModemSequence.h"
#include "serial/ModemSequenceRunner.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace zorvane::serial;

namespace {

// A link that only records the modem-line calls it gets, with when they came: the device
// calls themselves are tested on a real pseudo-terminal elsewhere.
class RecordingLink : public Link
{
public:
    struct Call
    {
        QString what;
        qint64 atMs;
    };

    bool open(const QString &, const LineSettings &) override { return m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool isAlive() const override { return m_open; }
    LinkError lastError() const override { return {}; }
    qint64 bytesAvailable() const override { return 0; }
    QByteArray read(qint64) override { return {}; }
    bool waitForReadyRead(int) override { return false; }
    void write(QByteArrayView) override {}
    void setResting(bool) override {}

    bool setOutputs(const ModemLineChange &change) override
    {
        QString what;
        if (change.dtr)
            what += *change.dtr ? u'D' : u'd';
        if (change.rts)
            what += *change.rts ? u'R' : u'r';
        calls.push_back({what, clock.elapsed()});
        return acceptLines;
    }
    std::optional<ModemOutputs> outputs() const override { return std::nullopt; }
    std::optional<ModemInputs> inputs() const override { return std::nullopt; }
    bool setBreak(bool on) override
    {
        calls.push_back({on ? QStringLiteral("B") : QStringLiteral("b"), clock.elapsed()});
        return true;
    }

    QStringList whats() const
    {
        QStringList l;
        for (const Call &c : calls)
            l << c.what;
        return l;
    }

    QElapsedTimer clock;
    std::vector<Call> calls;
    bool acceptLines = true;
    bool m_open = true;
};

// A step list written as text: "Dr", "50", "B", "b", one entry a step.
QStringList describe(const ModemSteps &steps)
{
    QStringList l;
    for (const ModemStep &s : steps) {
        switch (s.kind) {
        case ModemStep::Kind::Pause:
            l << QString::number(s.ms);
            break;
        case ModemStep::Kind::Break:
            l << (s.breakOn ? QStringLiteral("B") : QStringLiteral("b"));
            break;
        case ModemStep::Kind::Lines: {
            QString t;
            if (s.lines.dtr)
                t += *s.lines.dtr ? u'D' : u'd';
            if (s.lines.rts)
                t += *s.lines.rts ? u'R' : u'r';
            l << t;
        }
        }
    }
    return l;
}

} // namespace

class TestModemSequence : public QObject
{
    Q_OBJECT

private slots:
    void parses_data();
    void parses();
    void refuses_data();
    void refuses();
    void runsInOrderWithTheGap();
    void timedSteps_data();
    void timedSteps();
    void refusedChangeStopsTheRun();
    void closedLinkReleasesBreak();
    void oneRunAtATime();
};

void TestModemSequence::parses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("steps");

    QTest::newRow("example") << "Dr50R" << QStringList{"Dr", "50", "R"};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("spaces separate nothing") << " D r 50 R " << QStringList{"Dr", "50", "R"};
    QTest::newRow("same line twice is two steps") << "Dd" << QStringList{"D", "d"};
    QTest::newRow("third letter joins the second step") << "DRdr" << QStringList{"DR", "dr"};
    QTest::newRow("zero pause splits") << "D0R" << QStringList{"D", "0", "R"};
    QTest::newRow("boot mode") << "dR100r10Dr" << QStringList{"dR", "100", "r", "10", "Dr"};
    QTest::newRow("longest pause") << "60000" << QStringList{"60000"};
    QTest::newRow("leading zeros") << "007" << QStringList{"7"};
}

void TestModemSequence::parses()
{
    QFETCH(QString, text);
    QFETCH(QStringList, steps);
    const ParsedSequence p = parseModemSequence(text);
    QVERIFY2(p.ok(), qPrintable(p.error));
    QCOMPARE(describe(p.steps), steps);
}

void TestModemSequence::refuses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("at");

    QTest::newRow("other letter") << "Dx" << 1;
    QTest::newRow("minus") << "D-5" << 1;
    QTest::newRow("pause too long") << "D60001" << 1;
    QTest::newRow("huge number does not wrap") << "r99999999999999999999" << 1;
    QTest::newRow("unicode digit") << QString::fromUtf8("D\u0665") << 1;
}

void TestModemSequence::refuses()
{
    QFETCH(QString, text);
    QFETCH(int, at);
    const ParsedSequence p = parseModemSequence(text);
    QVERIFY(!p.ok());
    QCOMPARE(p.errorAt, at);
    QVERIFY(!p.error.isEmpty());
}

void TestModemSequence::runsInOrderWithTheGap()
{
    RecordingLink link;
    ModemSequenceRunner runner;
    QSignalSpy done(&runner, &ModemSequenceRunner::finished);
    link.clock.start();
    QVERIFY(runner.start(&link, parseModemSequence(u"Dr50R").steps));
    QVERIFY(runner.isRunning());
    // The first change is made at once; the rest waits for the event loop.
    QCOMPARE(link.whats(), QStringList{"Dr"});
    QVERIFY(done.wait(2000));
    QCOMPARE(done.first().first().toBool(), true);
    QCOMPARE(link.whats(), (QStringList{"Dr", "R"}));
    const qint64 gap = link.calls[1].atMs - link.calls[0].atMs;
    QVERIFY2(gap >= 40 && gap <= 60, qPrintable(QString::number(gap)));
}

void TestModemSequence::timedSteps_data()
{
    QTest::addColumn<int>("kind"); // 0 pulse on DTR from on, 1 pulse on RTS from off, 2 break
    QTest::addColumn<int>("ms");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("default pulse") << 0 << kDefaultPulseMs << QStringList{"d", "D"};
    QTest::newRow("pulse on a low line") << 1 << 150 << QStringList{"R", "r"};
    QTest::newRow("default break") << 2 << kDefaultBreakMs << QStringList{"B", "b"};
    QTest::newRow("break of 400 ms") << 2 << 400 << QStringList{"B", "b"};
}

void TestModemSequence::timedSteps()
{
    QFETCH(int, kind);
    QFETCH(int, ms);
    QFETCH(QStringList, calls);

    ModemSteps steps;
    if (kind == 0)
        steps = pulseSteps(ModemLine::Dtr, true); // the default length
    else if (kind == 1)
        steps = pulseSteps(ModemLine::Rts, false, ms);
    else
        steps = ms == kDefaultBreakMs ? breakSteps() : breakSteps(ms);

    RecordingLink link;
    ModemSequenceRunner runner;
    QSignalSpy done(&runner, &ModemSequenceRunner::finished);
    link.clock.start();
    QVERIFY(runner.start(&link, steps));
    QVERIFY(done.wait(ms + 2000));
    QCOMPARE(link.whats(), calls);
    const qint64 held = link.calls[1].atMs - link.calls[0].atMs;
    QVERIFY2(qAbs(held - ms) <= qMax(ms / 10, 10), qPrintable(QString::number(held)));
}

void TestModemSequence::refusedChangeStopsTheRun()
{
    // A device that cannot drive its lines (a pseudo-terminal) gets the first change only.
    RecordingLink link;
    link.acceptLines = false;
    ModemSequenceRunner runner;
    QSignalSpy done(&runner, &ModemSequenceRunner::finished);
    QVERIFY(runner.start(&link, parseModemSequence(u"D10r10R").steps));
    QCOMPARE(done.size(), 1);
    QCOMPARE(done.first().first().toBool(), false);
    QVERIFY(!runner.isRunning());
    QTest::qWait(40);
    QCOMPARE(link.whats(), QStringList{"D"});
}

void TestModemSequence::closedLinkReleasesBreak()
{
    RecordingLink link;
    ModemSequenceRunner runner;
    QSignalSpy done(&runner, &ModemSequenceRunner::finished);
    QVERIFY(runner.start(&link, breakSteps(100)));
    runner.abort();
    QCOMPARE(link.whats(), (QStringList{"B", "b"}));
    QCOMPARE(done.size(), 1);
    QCOMPARE(done.first().first().toBool(), false);

    // A port closed in the middle of a run ends it without touching the link again.
    link.calls.clear();
    QVERIFY(runner.start(&link, parseModemSequence(u"D20R").steps));
    link.close();
    QVERIFY(done.wait(2000));
    QCOMPARE(done.last().first().toBool(), false);
    QCOMPARE(link.whats(), QStringList{"D"});
    QVERIFY(!runner.start(&link, parseModemSequence(u"D").steps));
}

void TestModemSequence::oneRunAtATime()
{
    RecordingLink link;
    ModemSequenceRunner runner;
    QSignalSpy done(&runner, &ModemSequenceRunner::finished);
    QVERIFY(runner.start(&link, parseModemSequence(u"D30d").steps));
    QVERIFY(!runner.start(&link, parseModemSequence(u"R").steps));
    QVERIFY(done.wait(2000));
    QCOMPARE(link.whats(), (QStringList{"D", "d"}));
    // A runner destroyed in the middle of a break lets go of it.
    {
        ModemSequenceRunner shortLived;
        QVERIFY(shortLived.start(&link, breakSteps(500)));
    }
    QCOMPARE(link.whats(), (QStringList{"D", "d", "B", "b"}));
}

QTEST_GUILESS_MAIN(TestModemSequence)
#include "tst_modem_sequence.moc"
