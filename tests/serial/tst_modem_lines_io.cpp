// The modem-line calls on a real pseudo-terminal, which cannot tell or drive its lines: the
// lines read as unknown, a change is refused without a write, and break still works.
#include "PtyModule.h"
#include "serial/ModemLinesIo.h"

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

QTEST_GUILESS_MAIN(TestModemLinesIo)
#include "tst_modem_lines_io.moc"
