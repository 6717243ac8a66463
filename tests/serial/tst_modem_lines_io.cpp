// The modem-line calls on a real pseudo-terminal, which cannot tell or drive its lines: the
// lines read as unknown, a change is refused without a write, and break still works; the same
// through the local link, and the watch that polls the lines only while the link is open.
#include "PtyModule.h"
#include "serial/LocalSerialLink.h"
#include "serial/ModemLineWatch.h"
#include "serial/ModemLinesIo.h"

#include <QSignalSpy>

#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace zorvane::serial;

class TestModemLinesIo : public QObject
{
    Q_OBJECT

private slots:
    void pseudoTerminalCannotTell();
    void noDeviceAnswersNothing();
    void localLinkAndWatch();
};

void TestModemLinesIo::pseudoTerminalCannotTell()
{
    PtyModule module;
    QVERIFY(module.isValid());
    const int fd = ::open(QFile::encodeName(module.slavePath()).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    const termios before = module.programSideSettings();

    QVERIFY(!modem_io::outputs(fd));
    QVERIFY(!modem_io::inputs(fd));
    ModemLineChange both;
    both.dtr = false;
    both.rts = true;
    QVERIFY(!modem_io::setOutputs(fd, both));
    QVERIFY(modem_io::setBreak(fd, true));
    QVERIFY(modem_io::setBreak(fd, false));

    // Nothing reached the module, and the line settings are as they were.
    QVERIFY(module.readAvailable().isEmpty());
    const termios after = module.programSideSettings();
    QCOMPARE(after.c_cflag, before.c_cflag);
    QCOMPARE(after.c_iflag, before.c_iflag);
    ::close(fd);
}

void TestModemLinesIo::noDeviceAnswersNothing()
{
    // A closed or never opened device: nothing is asked of descriptor -1 or of one just closed.
    PtyModule module;
    const int fd = ::open(QFile::encodeName(module.slavePath()).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    ::close(fd);
    for (int gone : {-1, fd}) {
        QVERIFY(!modem_io::outputs(gone));
        QVERIFY(!modem_io::inputs(gone));
        QVERIFY(!modem_io::setOutputs(gone, ModemLineChange{true, true}));
        QVERIFY(!modem_io::setBreak(gone, true));
    }
}

void TestModemLinesIo::localLinkAndWatch()
{
    PtyModule module;
    LocalSerialLink link;
    ModemLineWatch watch;
    QSignalSpy changed(&watch, &ModemLineWatch::changed);
    watch.setLink(&link);
    QVERIFY(!watch.isPolling()); // closed: no timer at all

    QVERIFY(link.open(module.slavePath(), LineSettings{115200}));
    QVERIFY(!link.outputs() && !link.inputs());
    QVERIFY(!link.setOutputs(ModemLineChange{true, std::nullopt}));
    QVERIFY(link.setBreak(true));
    QVERIFY(link.setBreak(false));
    QVERIFY(module.readAvailable().isEmpty());

    watch.refresh();
    QCOMPARE(changed.size(), 1); // opened, with nothing to tell
    QVERIFY(!watch.inputs() && !watch.outputs());
    // A device that cannot tell its lines is not asked again and again: no timer.
    QVERIFY(!watch.isPolling());
    const int seen = changed.size();
    QTest::qWait(3 * ModemLineWatch::kPollMs);
    QCOMPARE(changed.size(), seen); // nothing changed, nothing told

    // Closed: the next reading tells so, and still nothing polls.
    link.close();
    QVERIFY(!link.setBreak(true));
    watch.refresh();
    QVERIFY(!watch.isPolling());
    QCOMPARE(changed.size(), seen + 1);
}

QTEST_GUILESS_MAIN(TestModemLinesIo)
#include "tst_modem_lines_io.moc"
